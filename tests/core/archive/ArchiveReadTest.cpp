// Reading archives: the failure messages of broken files, hostile structures,
// the tree that is built and how paths are found in it.

#include "ModuleFixtures.h"
#include "RawArchive.h"
#include "TestSupport.h"
#include "archive/ModuleArchive.h"
#include "base/Exceptions.h"

#include <functional>
#include <gtest/gtest.h>

namespace bram {
namespace {

using test::Dir;
using test::File;
using test::kNone;
using test::RawArchive;
using test::RawEntry;
using Patch = std::function<void(std::string&)>;

// ".", "data\" and "data\a.xml", the root first.
RawArchive SmallArchive(std::uint32_t kind = 1, std::uint32_t directoryCompression = 1)
{
    return test::Raw({Dir(".", 1), Dir("data", 2), File("data\\a.xml", "<a/>", kind)}, directoryCompression);
}

RawArchive WithEntry(RawArchive raw, void (*change)(RawEntry&))
{
    change(raw.entries.at(2));
    return raw;
}

// The image of the archive, patched and (unless told not to) with the body
// length and checksum fixed afterwards.
std::string Image(const RawArchive& raw, const Patch& patch = {}, bool fixBody = true)
{
    std::string image = test::BuildRawArchive(raw);
    if (patch) {
        patch(image);
        if (fixBody) {
            test::FixBody(image);
        }
    }
    return image;
}

// Offset of the "mdir" magic in an image.
std::size_t DirectoryMagicOffset(const std::string& image) { return 28 + test::GetU32(image, 24); }

Patch At(std::size_t offset, std::uint32_t value)
{
    return [=](std::string& s) { test::PutU32(s, offset, value); };
}

// A field of the directory section, counted from its "mdir" magic.
Patch AtDirectory(std::size_t offset, std::uint32_t value)
{
    return [=](std::string& s) { test::PutU32(s, DirectoryMagicOffset(s) + offset, value); };
}

std::string OpenError(const std::string& image)
{
    CModuleArchive archive;
    const std::string message = test::ModuleErrorOf([&] { archive.OpenMemory(image); });
    EXPECT_EQ(archive.GetNodeCount(), 1u) << "a failed read leaves an empty archive";
    return message;
}

struct BrokenCase {
    const char* label;
    std::function<std::string()> image;
    const char* message;
};

class BrokenArchiveTest : public testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenArchiveTest, FailsWithItsMessage)
{
    EXPECT_EQ(OpenError(GetParam().image()), GetParam().message);
}

const BrokenCase kBrokenCases[] = {
    {"BadMagicBeforeAnythingElse",
     [] { return Image(SmallArchive(), [](std::string& s) { At(0, 0x4C444F4D)(s), At(4, 7)(s); }); },
     "Header expected (modl)"},
    {"TooShortForMagic", [] { return std::string("mo"); }, "Header expected (modl)"},
    {"Version", [] { return Image(SmallArchive(), At(4, 2)); }, "Unsupported module version (modl)"},
    {"FileCompression", [] { return Image(SmallArchive(), At(8, 2)); }, "Unsupported file compression (modl)"},
    {"OneByteAppended", [] { return Image(SmallArchive()) + "x"; }, "Invalid data length (modl)"},
    {"HeaderOnly", [] { return Image(SmallArchive()).substr(0, 14); }, "Invalid data length (modl)"},
    {"BodyByteChanged", [] { return Image(SmallArchive(), [](std::string& s) { s[30] ^= 1; }, false); },
     "Checksum error (modl)"},
    {"NoFileMagic", [] { return Image(SmallArchive(), At(20, 0x454C4946)); }, "File header expected (file)"},
    {"NoDirectoryMagic", [] { return Image(SmallArchive(), AtDirectory(0, 0x5249444D)); },
     "Directory header expected (mdir)"},
    {"DataLengthBeyondFile", [] { return Image(SmallArchive(), At(24, 0x7FFFFFFF)); },
     "Directory header expected (mdir)"},
    {"UnknownDirectoryCodec", [] { return Image(SmallArchive(1, 7)); }, "Unsupported compression algorithm."},
    {"PlainDirectoryChecksum", [] { return Image(SmallArchive(), AtDirectory(16, 12345)); }, "Checksum error."},
    {"PackedDirectoryChecksum", [] { return Image(SmallArchive(1, 2), AtDirectory(20, 12345)); }, "Checksum error."},
    {"PlainFileChecksum", [] { return Image(WithEntry(SmallArchive(1), [](RawEntry& e) { e.checksum = 1; })); },
     "Checksum error."},
    {"PackedFileChecksum", [] { return Image(WithEntry(SmallArchive(2), [](RawEntry& e) { e.checksum = 1; })); },
     "Checksum error."},
    {"NoRoot", [] { return Image(test::Raw({Dir("x", 1), File("x\\a", "1")})); }, "Main directory not found (mdir)"},
    {"NoEntries", [] { return Image(RawArchive()); }, "Main directory not found (mdir)"},
    {"UnknownFileCodec", [] { return Image(WithEntry(SmallArchive(1), [](RawEntry& e) { e.kind = 9; })); },
     "Unsupported compression method.\n"},
    {"FileNotDeflate",
     [] { return Image(WithEntry(SmallArchive(2), [](RawEntry& e) { e.stored = std::string("not zlib at all"); })); },
     "Could not uncompress data.\n"},
    {"DirectoryNotDeflate",
     [] { return Image(SmallArchive(1, 2), [](std::string& s) { s[DirectoryMagicOffset(s) + 24] ^= 0x55; }); },
     "Could not uncompress data.\n"},
    // Hostile structures.
    {"CountBeyondDirectory",
     [] {
         RawArchive raw = SmallArchive();
         raw.entryCount = 0x10000000;
         return Image(raw);
     },
     "Directory entry count invalid (mdir)"},
    {"NameBeyondDirectory",
     [] {
         // The last entry claims a long name that the directory does not hold.
         return Image(WithEntry(SmallArchive(), [](RawEntry& e) { e.name.clear(); }), [](std::string& s) {
             const std::size_t directory = DirectoryMagicOffset(s) + 20;
             const std::size_t last = directory + 4 + 2 * 46 + 2 + 2 * 4; // after "." and "data"
             test::PutU32(s, last + 20, 5000);
             AtDirectory(16, test::Crc(s.substr(directory)))(s);
         });
     },
     "Directory entry truncated (mdir)"},
    {"ChildIndexOutOfRange", [] { return Image(test::Raw({Dir(".", 5)})); }, "Directory entry index out of range (mdir)"},
    {"LoopThroughSiblings", [] { return Image(test::Raw({Dir(".", 1), File("a", "1", 1, 2), File("b", "2", 1, 1)})); },
     "Directory entry used twice (mdir)"},
    {"ChildIsItsOwnParent", [] { return Image(test::Raw({Dir(".", 1), Dir("a", 1)})); },
     "Directory entry used twice (mdir)"},
    {"RootAsChild", [] { return Image(test::Raw({Dir(".", 0)})); }, "Directory entry used twice (mdir)"},
    {"SharedSubtree", [] { return Image(test::Raw({Dir(".", 1), Dir("a", 3, 2), Dir("b", 3), File("x", "1")})); },
     "Directory entry used twice (mdir)"},
    {"PlainDataOutOfRange", [] { return Image(WithEntry(SmallArchive(1), [](RawEntry& e) { e.offset = 0xFFFFFFF0; })); },
     "File data out of range (file)"},
    {"PlainSizeGigabytes", [] { return Image(WithEntry(SmallArchive(1), [](RawEntry& e) { e.size = 0xC0000000; })); },
     "File data out of range (file)"},
    {"PackedSizeBeyondFile",
     [] { return Image(WithEntry(SmallArchive(2), [](RawEntry& e) { e.packedSize = 0x40000000; })); },
     "File data out of range (file)"},
    {"UnpackedSizeGigabytes", [] { return Image(WithEntry(SmallArchive(2), [](RawEntry& e) { e.size = 0xC0000000; })); },
     "File size does not match its packed size (file)"},
    {"DirectorySizeGigabytes", [] { return Image(SmallArchive(1, 2), AtDirectory(12, 0xC0000000)); },
     "Directory size does not match its packed size (mdir)"},
    {"DirectoryBeyondFile", [] { return Image(SmallArchive(), AtDirectory(12, 0xC0000000)); },
     "Directory section truncated (mdir)"},
    {"TruncatedAfterDirectoryMagic",
     [] { return Image(SmallArchive(), [](std::string& s) { s.resize(DirectoryMagicOffset(s) + 6); }); },
     "Directory section truncated (mdir)"},
    {"RootIsAFile", [] { return Image(test::Raw({File(".", "x")})); }, "Main directory is not a directory (mdir)"},
    {"RootHasSiblings", [] { return Image(test::Raw({Dir(".", kNone, 1), Dir("a")})); },
     "Main directory has siblings (mdir)"},
    {"FileWithChildren",
     [] {
         RawArchive raw = test::Raw({Dir(".", 1), File("a", "1"), File("a\\b", "2")});
         raw.entries[1].firstChild = 2;
         return Image(raw);
     },
     "File entry has children (mdir)"},
};

INSTANTIATE_TEST_SUITE_P(Messages, BrokenArchiveTest, testing::ValuesIn(kBrokenCases),
                         [](const testing::TestParamInfo<BrokenCase>& info) { return std::string(info.param.label); });

TEST(ArchiveOpenTest, FileSystemFailures)
{
    test::CTempDir dir;
    CModuleArchive archive;
    auto message = [&](const std::string& path) { return test::ModuleErrorOf([&] { archive.Open(path); }); };
    EXPECT_EQ(message(dir / "missing.modl"), "Could not open archive file.");
    EXPECT_EQ(message(dir.Path()), "Could not open archive file.");
    test::WriteFile(dir / "empty.modl", "");
    EXPECT_EQ(message(dir / "empty.modl"), "Could not create file mapping object.");
    EXPECT_EQ(archive.GetPath(), dir / "empty.modl");

    test::WriteFile(dir / "good.modl", Image(SmallArchive(2)));
    CModuleArchive fromPath(dir / "good.modl");
    ASSERT_NE(fromPath.Find("data\\a.xml"), nullptr);
    EXPECT_EQ(fromPath.Find("data\\a.xml")->GetDataView(), "<a/>");
    EXPECT_EQ(fromPath.GetPath(), dir / "good.modl");
}

TEST(ArchiveOpenTest, SecondOpenReplacesEverything)
{
    CModuleArchive archive;
    archive.OpenMemory(Image(SmallArchive()), "one");
    archive.OpenMemory(Image(test::Raw({Dir(".", 1), File("b.txt", "b", 2)})), "two");
    EXPECT_EQ(archive.GetNodeCount(), 2u);
    EXPECT_EQ(archive.Find("data"), nullptr);
    EXPECT_EQ(archive.GetPath(), "two");
    EXPECT_EQ(archive.GetCompression(), 1u);
}

TEST(ArchiveTreeTest, OnlyTheRoot)
{
    CModuleArchive archive;
    archive.OpenMemory(Image(test::Raw({Dir(".")})));
    ASSERT_EQ(archive.GetNodeCount(), 1u);
    EXPECT_TRUE(archive.GetRoot()->IsDirectory());
    EXPECT_EQ(archive.GetRoot()->GetFirstChild(), nullptr);
    EXPECT_EQ(archive.GetRoot()->GetParent(), nullptr);
}

TEST(ArchiveTreeTest, RootNeedNotBeFirstAndNodesComeInPreOrder)
{
    // Entries: 0 "b.txt", 1 "sub\c", 2 ".", 3 "sub", 4 "a.txt"; root children: sub, a.txt, b.txt.
    CModuleArchive archive;
    archive.OpenMemory(Image(test::Raw(
        {File("b.txt", "B"), File("sub\\c", "C", 2), Dir(".", 3), Dir("sub", 1, 4), File("a.txt", "", 1, 0)}, 2)));
    EXPECT_EQ(archive.GetCompression(), 2u);
    EXPECT_EQ(test::NodeNames(archive), (std::vector<std::string>{".", "sub", "sub\\c", "a.txt", "b.txt"}));
    EXPECT_EQ(archive.GetNode(99), nullptr);

    const CArchiveNode* sub = archive.Find("sub");
    const CArchiveNode* a = archive.Find("a.txt");
    const CArchiveNode* b = archive.Find("b.txt");
    EXPECT_EQ(sub->GetParent(), archive.GetRoot());
    EXPECT_EQ(sub->GetNextSibling(), a);
    EXPECT_EQ(a->GetPreviousSibling(), sub);
    EXPECT_EQ(b->GetPreviousSibling(), a);
    EXPECT_EQ(archive.Find("sub\\c")->GetParent(), sub);
    EXPECT_EQ(archive.Find("sub\\c")->GetDataView(), "C");

    // A zero-byte file is a file, not a directory.
    EXPECT_FALSE(a->IsDirectory());
    EXPECT_NE(a->GetData(), nullptr);
    EXPECT_EQ(a->GetSize(), 0u);
    EXPECT_TRUE(archive.IsDirectory("SUB"));
    EXPECT_FALSE(archive.IsDirectory("a.txt"));
    EXPECT_EQ(sub->GetData(), nullptr);

    EXPECT_EQ(archive.IndexOf(b), 4u);
    EXPECT_EQ(archive.IndexOf(nullptr), kNone);
    CModuleArchive other;
    EXPECT_EQ(archive.IndexOf(other.GetRoot()), kNone);
}

TEST(ArchiveFindTest, NormalizesCaseAndSeparators)
{
    EXPECT_EQ(CModuleArchive::NormalizePath("Data/Sub\\FILE.Xml"), "data\\sub\\file.xml");
    EXPECT_EQ(CModuleArchive::NormalizePath("ÄÖ/Ü"), "äö\\ü");

    CModuleArchive archive;
    archive.OpenMemory(Image(SmallArchive()));
    const CArchiveNode* file = archive.Find("DATA/A.XML");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->GetName(), "data\\a.xml");
    EXPECT_EQ(archive.Find("data\\a.xml"), file);
    EXPECT_EQ(archive.FindNormalized("DATA\\A.XML"), nullptr) << "the non-normalizing form takes the path as is";
    EXPECT_EQ(archive.FindNormalized("data\\a.xml"), file);
    EXPECT_TRUE(archive.Exists("Data/a.xml"));
    EXPECT_FALSE(archive.ExistsNormalized("Data/a.xml"));
    EXPECT_EQ(archive.Find("."), archive.GetRoot());
    EXPECT_EQ(archive.Find("data\\missing"), nullptr);
    EXPECT_EQ(archive.Find("a.xml", archive.Find("data")), nullptr) << "names are full paths";
    EXPECT_EQ(archive.Find("data\\a.xml", archive.Find("data")), file);

    // Stored names are normalized on read.
    archive.OpenMemory(Image(test::Raw({Dir(".", 1), Dir("Data", 2), File("Data/X.xml", "x")})));
    EXPECT_EQ(archive.GetNode(2)->GetName(), "data\\x.xml");
}

TEST(ArchiveFindTest, PrefixRule)
{
    // "data" is a prefix of "database.xml" but not a directory on its path:
    // the lookup does not get lost in it.
    CModuleArchive archive;
    archive.OpenMemory(Image(
        test::Raw({Dir(".", 1), Dir("data", 3, 2), File("database.xml", "db"), File("data\\x", "x")})));
    ASSERT_NE(archive.Find("database.xml"), nullptr);
    EXPECT_EQ(archive.Find("database.xml")->GetDataView(), "db");
    EXPECT_NE(archive.Find("data\\x"), nullptr);

    // A node whose name leads to the path is entered and its later siblings
    // are not tried: here "a\b" sits beside "a" instead of in it.
    CModuleArchive odd;
    odd.OpenMemory(Image(test::Raw({Dir(".", 1), Dir("a", kNone, 2), File("a\\b", "b")})));
    EXPECT_EQ(odd.GetNodeCount(), 3u);
    EXPECT_EQ(odd.Find("a\\b"), nullptr);
    EXPECT_EQ(odd.Find("a\\b", odd.GetRoot()), nullptr);
}

TEST(ArchiveFindTest, FindRelative)
{
    CModuleArchive archive;
    archive.OpenMemory(Image(test::Raw(
        {Dir(".", 1), Dir("data", 2, 3), File("data\\a.xml", "a"), Dir("scripts", 4), File("scripts\\s.j", "s")})));
    CArchiveNode* data = archive.Find("data");
    CArchiveNode* a = archive.Find("data\\a.xml");
    CArchiveNode* s = archive.Find("scripts\\s.j");
    EXPECT_EQ(data->FindRelative("a.xml"), a);
    EXPECT_EQ(data->FindRelative("A.XML"), a);
    EXPECT_EQ(data->FindRelative(".\\a.xml"), a);
    EXPECT_EQ(data->FindRelative("./a.xml"), a);
    EXPECT_EQ(data->FindRelative("data\\a.xml"), a);
    EXPECT_EQ(data->FindRelative("..\\scripts\\s.j"), s);
    EXPECT_EQ(data->FindRelative("missing"), nullptr);
    EXPECT_EQ(archive.GetRoot()->FindRelative("data\\a.xml"), a);
    EXPECT_EQ(archive.GetRoot()->FindRelative(".\\scripts\\s.j"), s);
    EXPECT_EQ(archive.GetRoot()->FindRelative("..\\data"), nullptr);
}

TEST(ArchiveReadTest, DeepChainsDoNotRecurse)
{
    // 100,000 nested directories; names need not follow the nesting.
    RawArchive raw;
    const std::uint32_t depth = 100000;
    for (std::uint32_t i = 0; i < depth; ++i) {
        raw.entries.push_back(Dir(i == 0 ? "." : "d", i + 1 < depth ? i + 1 : kNone));
    }
    CModuleArchive archive;
    archive.OpenMemory(Image(raw));
    EXPECT_EQ(archive.GetNodeCount(), depth);
    const CModuleArchive copy(archive);
    EXPECT_EQ(copy.GetNodeCount(), depth);
}

} // namespace
} // namespace bram

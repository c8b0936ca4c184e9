// Reading archives: the failure messages of broken files and hostile
// structures (tests/data/archive), the tree that is built and how paths are
// found in it.

#include "ModuleFixtures.h"
#include "RawArchive.h"
#include "TestSupport.h"
#include "archive/ModuleArchive.h"
#include "archive/ZLibCompression.h"
#include "base/Exceptions.h"

#include <gtest/gtest.h>
#include <tuple>

namespace bram {
namespace {

using test::Dir;
using test::File;
using test::kNone;
using test::RawArchive;

// ".", "data\" and "data\a.xml", the root first.
RawArchive SmallArchive(std::uint32_t kind = 1)
{
    return test::Raw({Dir(".", 1), Dir("data", 2), File("data\\a.xml", "<a/>", kind)});
}

std::string Image(const RawArchive& raw) { return test::BuildRawArchive(raw); }

std::string OpenError(const std::string& image)
{
    CModuleArchive archive;
    const std::string message = test::ModuleErrorOf([&] { archive.OpenMemory(image); });
    EXPECT_EQ(archive.GetNodeCount(), 1u) << "a failed read leaves an empty archive";
    return message;
}

// Every broken image of tests/data/archive/broken fails with its message.
TEST(BrokenArchiveTest, FailsWithItsMessage)
{
    for (const test::ExpectedCase& c : test::ExpectedCases("archive/broken.txt")) {
        EXPECT_EQ(OpenError(test::DataFile("archive/broken/" + c.input + ".modl")), c.expected) << c.input;
    }
}

// The body's checksum is combined from those of the entries it checks anyway:
// any changed byte is still a damaged body, also an entry's content changed
// together with the entry's own checksum.
TEST(BrokenArchiveTest, EveryChangedBodyByteIsADamagedBody)
{
    for (const std::uint32_t kind : {1u, 2u}) {
        const std::string image = Image(SmallArchive(kind));
        for (std::size_t i = 20; i < image.size(); ++i) {
            std::string changed = image;
            changed[i] = static_cast<char>(changed[i] ^ 0x40);
            EXPECT_EQ(OpenError(changed), "Checksum error (modl)") << "kind " << kind << ", byte " << i;
        }
    }
    std::string image = Image(SmallArchive(1));
    const CZLibCompression zlib;
    auto u32 = [](std::uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    const std::size_t content = image.find("<a/>");
    const std::size_t checksum = image.find(u32(zlib.Checksum("<a/>", 4, 0)));
    ASSERT_NE(content, std::string::npos);
    ASSERT_NE(checksum, std::string::npos);
    image.replace(content, 4, "<b/>");
    image.replace(checksum, 4, u32(zlib.Checksum("<b/>", 4, 0)));
    EXPECT_EQ(OpenError(image), "Checksum error (modl)");
}

TEST(ArchiveOpenTest, FileSystemFailures)
{
    test::CTempDir dir;
    CModuleArchive archive;
    auto message = [&](const std::string& path) { return test::ModuleErrorOf([&] { archive.Open(path); }); };
    EXPECT_EQ(message(dir / "missing.modl"), "Could not open archive file.");
    EXPECT_EQ(message(dir.Path()), "Could not open archive file.");
    {
        const test::CFifo fifo(dir / "pipe.modl");
        EXPECT_EQ(message(dir / "pipe.modl"), "Archive file is not a regular file.");
        EXPECT_FALSE(fifo.ReaderWaited()) << "refused without waiting for a writer";
    }
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

TEST(ArchiveTreeTest, RootNeedNotBeFirstAndNodesComeInPreOrder)
{
    // Entries: 0 "b.txt", 1 "sub\c", 2 ".", 3 "sub", 4 "a.txt"; root children: sub, a.txt, b.txt.
    CModuleArchive archive;
    archive.OpenMemory(Image(test::Raw(
        {File("b.txt", "B"), File("sub\\c", "C", 2), Dir(".", 3), Dir("sub", 1, 4), File("a.txt", "", 1, 0)}, 2)));
    EXPECT_EQ(archive.GetCompression(), 2u);
    // A zero-byte file is a file, not a directory.
    EXPECT_EQ(test::Tree(archive), "./ sub/ sub\\c=C a.txt= b.txt=B");
    EXPECT_EQ(test::NodeNames(archive), (std::vector<std::string>{".", "sub", "sub\\c", "a.txt", "b.txt"}));
    EXPECT_EQ(archive.GetNode(99), nullptr);
    EXPECT_NE(archive.Find("a.txt")->GetData(), nullptr);
    EXPECT_EQ(archive.Find("sub")->GetData(), nullptr);
    EXPECT_TRUE(archive.IsDirectory("SUB"));
    EXPECT_FALSE(archive.IsDirectory("a.txt"));

    EXPECT_EQ(archive.IndexOf(archive.Find("b.txt")), 4u);
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
    archive.OpenMemory(
        Image(test::Raw({Dir(".", 1), Dir("data", 3, 2), File("database.xml", "db"), File("data\\x", "x")})));
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
    // From, relative path, the node found ("" for none).
    const std::tuple<const char*, const char*, const char*> cases[] = {{"data", "a.xml", "data\\a.xml"},
                                                                       {"data", "A.XML", "data\\a.xml"},
                                                                       {"data", ".\\a.xml", "data\\a.xml"},
                                                                       {"data", "./a.xml", "data\\a.xml"},
                                                                       {"data", "data\\a.xml", "data\\a.xml"},
                                                                       {"data", "..\\scripts\\s.j", "scripts\\s.j"},
                                                                       {"data", "missing", ""},
                                                                       {".", "data\\a.xml", "data\\a.xml"},
                                                                       {".", ".\\scripts\\s.j", "scripts\\s.j"},
                                                                       {".", "..\\data", ""}};
    for (const auto& [from, path, found] : cases) {
        const CArchiveNode* node = archive.Find(from)->FindRelative(path);
        EXPECT_EQ(node != nullptr ? node->GetName() : "", found) << from << " " << path;
    }
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

// Deflate packs a run of zeros about a thousand to one: what the files of one
// archive unpack to has an absolute limit, packed or not.
TEST(ArchiveReadTest, UnpackedSizeHasALimit)
{
    const std::string zeros(600 * 1024, '\0');
    CModuleArchive archive;
    archive.SetCompression(kDeflateCompression);
    archive.AddFile("a.bin", zeros.data(), static_cast<std::uint32_t>(zeros.size()));
    const std::string one = archive.SaveToMemory();
    archive.AddFile("b.bin", zeros.data(), static_cast<std::uint32_t>(zeros.size()));
    const std::string two = archive.SaveToMemory();
    archive.SetCompression(kNoCompression);
    const std::string plain = archive.SaveToMemory();

    auto opens = [](const std::string& image) {
        return test::ModuleErrorOf([&] { CModuleArchive().OpenMemory(image); }).empty();
    };
    SetUnpackedSizeLimit(1 << 20);
    EXPECT_TRUE(opens(one));
    EXPECT_EQ(OpenError(two), "Files exceed the unpacked size limit (file)");
    EXPECT_EQ(OpenError(plain), "Files exceed the unpacked size limit (file)");
    SetUnpackedSizeLimit(kDefaultUnpackedSizeLimit);
    EXPECT_TRUE(opens(two));
}

} // namespace
} // namespace bram

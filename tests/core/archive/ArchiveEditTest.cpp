// Editing archives in memory, saving them and reading them back.

#include "ModuleFixtures.h"
#include "RawArchive.h"
#include "TestSupport.h"
#include "archive/ModuleArchive.h"
#include "base/Exceptions.h"
#include "log/Assertion.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/resource.h>

namespace bram {
namespace {

void Add(CModuleArchive& archive, std::string_view path, std::string_view data)
{
    archive.AddFile(path, data.data(), static_cast<std::uint32_t>(data.size()));
}

using test::NodeNames;

std::vector<std::string> ChildNames(const CArchiveNode* directory)
{
    std::vector<std::string> names;
    for (const CArchiveNode* c = directory->GetFirstChild(); c != nullptr; c = c->GetNextSibling()) {
        names.push_back(c->GetName());
        EXPECT_EQ(c->GetParent(), directory);
        if (c->GetNextSibling() != nullptr) {
            EXPECT_EQ(c->GetNextSibling()->GetPreviousSibling(), c);
        }
    }
    return names;
}

// Runs "verb path [to]" of tests/data/archive/edit-failures.txt: the throwing
// call, or its Try twin giving its result.
bool Edit(CModuleArchive& a, const std::string& command, bool tryIt)
{
    std::istringstream words(command);
    std::string verb, path, to;
    words >> verb >> path >> to;
    const char data[] = "x";
    if (verb == "add") {
        return tryIt ? a.TryAddFile(path, data, 1) : (a.AddFile(path, data, 1), true);
    }
    if (verb == "write") {
        return tryIt ? a.TryWriteFile(path, data, 1) : (a.WriteFile(path, data, 1), true);
    }
    if (verb == "remove") {
        return tryIt ? a.TryRemoveFile(path) : (a.RemoveFile(path), true);
    }
    if (verb == "move") {
        return tryIt ? a.TryMoveFile(path, to) : (a.MoveFile(path, to), true);
    }
    if (verb == "create") {
        return tryIt ? a.TryCreateDirectory(path) : (a.CreateDirectory(path), true);
    }
    if (verb == "destroy") {
        return tryIt ? a.TryDestroyDirectory(path) : (a.DestroyDirectory(path), true);
    }
    if (verb == "set-data") {
        return tryIt ? a.Find(path)->TrySetFileData(data, 1) : (a.Find(path)->SetFileData(data, 1), true);
    }
    EXPECT_EQ(verb, "save");
    return tryIt ? a.TrySave() : (a.Save(), true);
}

// A refused edit changes nothing, whether it throws or returns false.
TEST(ArchiveEditTest, EveryFailureThrowsItsMessageOrReturnsFalse)
{
    for (const test::ExpectedCase& c : test::ExpectedCases("archive/edit-failures.txt")) {
        const std::size_t bar = c.input.find(" | ");
        ASSERT_NE(bar, std::string::npos) << c.input;
        CModuleArchive archive;
        Add(archive, "dir/file", "f");
        archive.CreateDirectory("empty");
        Add(archive, "top", "t");
        const auto before = NodeNames(archive);
        EXPECT_EQ(test::ModuleErrorOf([&] { Edit(archive, c.input.substr(0, bar), false); }), c.expected) << c.input;
        EXPECT_EQ(NodeNames(archive), before) << c.input;
        EXPECT_FALSE(Edit(archive, c.input.substr(bar + 3), true)) << c.input;
        EXPECT_EQ(NodeNames(archive), before) << c.input;
    }
}

TEST(ArchiveEditTest, AddCreatesMissingParentsAndNormalizes)
{
    CModuleArchive archive;
    EXPECT_EQ(archive.GetNodeCount(), 1u);
    EXPECT_EQ(archive.GetPath(), "");
    Add(archive, "Data/Module.XML", "<m/>");
    EXPECT_EQ(NodeNames(archive), (std::vector<std::string>{".", "data", "data\\module.xml"}));
    EXPECT_TRUE(archive.IsDirectory("data"));
    EXPECT_EQ(archive.Find("data\\module.xml")->GetDataView(), "<m/>");

    Add(archive, "a\\b\\c\\deep.txt", "deep");
    EXPECT_TRUE(archive.IsDirectory("a\\b\\c"));
    EXPECT_EQ(archive.Find("a/b/c")->GetParent(), archive.Find("a\\b"));
    EXPECT_EQ(ChildNames(archive.GetRoot()), (std::vector<std::string>{"data", "a"}));
    EXPECT_TRUE(archive.TryAddFile("empty.txt", nullptr, 0));
    EXPECT_FALSE(archive.Find("empty.txt")->IsDirectory());
}

TEST(ArchiveEditTest, RemoveAndDestroy)
{
    CModuleArchive archive;
    archive.CreateDirectory("empty");
    Add(archive, "one\\file", "1");
    Add(archive, "tree\\sub\\a", "a");
    Add(archive, "tree\\sub\\deeper\\b", "b");
    Add(archive, "tree\\c", "c");
    Add(archive, "last", "l");

    archive.RemoveFile("empty");
    EXPECT_EQ(archive.Find("empty"), nullptr);
    archive.RemoveFile("one\\file");
    archive.RemoveFile("one");

    archive.DestroyDirectory("Tree");
    EXPECT_EQ(NodeNames(archive), (std::vector<std::string>{".", "last"}));
    EXPECT_EQ(ChildNames(archive.GetRoot()), (std::vector<std::string>{"last"}));
    EXPECT_EQ(archive.GetRoot()->GetFirstChild()->GetPreviousSibling(), nullptr);

    archive.RemoveFile("last");
    EXPECT_EQ(test::ModuleErrorOf([&] { archive.RemoveFile("."); }),
              "Could not remove file: the main directory cannot be removed.");
    EXPECT_EQ(archive.GetNodeCount(), 1u);
}

TEST(ArchiveEditTest, WriteFileReplacesAndMovesTheNodeToTheEnd)
{
    CModuleArchive archive;
    Add(archive, "d\\first", "1");
    Add(archive, "d\\second", "2");
    archive.WriteFile("D/First", "new", 3);
    EXPECT_EQ(NodeNames(archive), (std::vector<std::string>{".", "d", "d\\second", "d\\first"}));
    EXPECT_EQ(ChildNames(archive.Find("d")), (std::vector<std::string>{"d\\second", "d\\first"}));
    EXPECT_EQ(archive.Find("d\\first")->GetDataView(), "new");
    EXPECT_TRUE(archive.TryWriteFile("d\\third", "3", 1)) << "WriteFile of a new path just adds";
    EXPECT_EQ(archive.Find("d\\third")->GetDataView(), "3");

    CArchiveNode* node = archive.Find("d\\second");
    node->SetFileData("changed", 7);
    EXPECT_EQ(node->GetDataView(), "changed");
    EXPECT_TRUE(node->TrySetFileData(nullptr, 0));
    EXPECT_FALSE(node->IsDirectory());
    EXPECT_EQ(node->GetSize(), 0u);
}

TEST(ArchiveEditTest, MoveFileAndWholeSubtrees)
{
    CModuleArchive archive;
    Add(archive, "src\\a.txt", "a");
    Add(archive, "src\\sub\\b.txt", "b");
    Add(archive, "src\\sub\\deeper\\c.txt", "c");
    archive.CreateDirectory("src\\sub\\emptydir");
    Add(archive, "lone.txt", "l");

    archive.MoveFile("lone.txt", "moved/Lone.txt");
    EXPECT_EQ(archive.Find("lone.txt"), nullptr);
    EXPECT_EQ(archive.Find("moved\\lone.txt")->GetDataView(), "l");

    archive.MoveFile("SRC", "dst\\inner");
    EXPECT_EQ(archive.Find("src"), nullptr);
    EXPECT_EQ(archive.Find("dst\\inner\\a.txt")->GetDataView(), "a");
    EXPECT_EQ(archive.Find("dst\\inner\\sub\\b.txt")->GetDataView(), "b");
    EXPECT_EQ(archive.Find("dst\\inner\\sub\\deeper\\c.txt")->GetDataView(), "c");
    EXPECT_TRUE(archive.IsDirectory("dst\\inner\\sub\\emptydir"));
    for (const std::string& name : NodeNames(archive)) {
        EXPECT_FALSE(name.starts_with("src")) << name;
    }
    EXPECT_EQ(archive.GetNodeCount(), 11u);
}

TEST(ArchiveEditTest, CopyKeepsTreePathCompressionAndLevel)
{
    CModuleArchive archive;
    Add(archive, "b\\x", "x");
    Add(archive, "a", "a");
    Add(archive, "b\\y", "y");
    archive.RemoveFile("b\\x");
    archive.WriteFile("b\\x", "x2", 2);
    archive.SetCompression(2);
    archive.SetCompressionLevel(9);
    const CModuleArchive copy(archive);
    EXPECT_EQ(NodeNames(copy), (std::vector<std::string>{".", "b", "b\\y", "b\\x", "a"})) << "pre-order";
    EXPECT_EQ(copy.Find("b\\x")->GetDataView(), "x2");
    EXPECT_NE(copy.Find("b\\x")->GetData(), archive.Find("b\\x")->GetData());
    EXPECT_EQ(&copy.Find("a")->GetArchive(), &copy);
    EXPECT_EQ(copy.GetCompression(), 2u);
    EXPECT_EQ(copy.GetCompressionLevel(), 9);
    EXPECT_EQ(copy.GetPath(), archive.GetPath());
}

TEST(ArchiveCompressionSettingTest, IdsNamesAndLevels)
{
    CModuleArchive archive;
    EXPECT_EQ(archive.GetCompressions(), (std::vector<std::uint32_t>{1, 2}));
    EXPECT_EQ(archive.GetCompressionName(1), "No compression");
    EXPECT_EQ(archive.GetCompressionName(2), "Deflate");
    EXPECT_EQ(archive.GetCompression(), 1u);
    archive.SetCompressionLevel(5); // ignored without a codec
    EXPECT_EQ(archive.GetCompressionLevel(), -1);
    archive.SetCompression(2);
    EXPECT_EQ(archive.GetCompressionLevel(), -1);
    archive.SetCompressionLevel(5);
    EXPECT_EQ(archive.GetCompressionLevel(), 5);

    const unsigned failures = GetAssertionFailureCount();
    archive.SetCompression(42);
    EXPECT_EQ(GetAssertionFailureCount(), failures + 1);
    EXPECT_EQ(archive.GetCompression(), 2u) << "an unknown id is refused";
    EXPECT_EQ(archive.GetCompressionName(42), "");
    EXPECT_EQ(GetAssertionFailureCount(), failures + 2);
}

// Save and reopen, for both compressions.
class ArchiveRoundTripTest : public testing::TestWithParam<std::uint32_t> {};

TEST_P(ArchiveRoundTripTest, SaveAndReopenGiveTheSameTree)
{
    test::CTempDir dir;
    CModuleArchive archive;
    const std::string big = test::SampleBytes(200000);
    Add(archive, "data/module.xml", "<Module/>");
    Add(archive, "data/big.bin", big);
    Add(archive, "empty.txt", "");
    archive.CreateDirectory("localization/en");
    Add(archive, "scripts/ä.j", "unicode name");
    archive.SetCompression(GetParam());
    archive.Save(dir / "out.modl");
    EXPECT_EQ(archive.GetPath(), dir / "out.modl");

    const CModuleArchive reread(dir / "out.modl");
    EXPECT_EQ(NodeNames(reread), NodeNames(archive));
    EXPECT_EQ(reread.GetCompression(), GetParam());
    for (std::uint32_t i = 0; i < archive.GetNodeCount(); ++i) {
        EXPECT_EQ(reread.GetNode(i)->IsDirectory(), archive.GetNode(i)->IsDirectory());
        EXPECT_EQ(reread.GetNode(i)->GetDataView(), archive.GetNode(i)->GetDataView());
    }
    EXPECT_FALSE(reread.Find("empty.txt")->IsDirectory());

    // Entry fields as written: kind, packed size, links, base name position.
    const std::string image = test::ReadFile(dir / "out.modl");
    EXPECT_EQ(image, archive.SaveToMemory());
    if (GetParam() == 1) {
        const std::size_t mdir = 28 + test::GetU32(image, 24);
        const std::string directory = image.substr(mdir + 20);
        std::size_t entry = 4;
        for (std::uint32_t i = 0; i < archive.GetNodeCount(); ++i) {
            const CArchiveNode* node = archive.GetNode(i);
            EXPECT_EQ(test::GetU32(directory, entry), node->IsDirectory() ? 0u : 1u);
            EXPECT_EQ(test::GetU32(directory, entry + 12), 0u) << "plain entries have no packed size";
            EXPECT_EQ(test::GetU32(directory, entry + 28), archive.IndexOf(node->GetFirstChild()));
            EXPECT_EQ(test::GetU32(directory, entry + 32), archive.IndexOf(node->GetNextSibling()));
            EXPECT_EQ(test::GetU32(directory, entry + 36), archive.IndexOf(node->GetPreviousSibling()));
            EXPECT_EQ(test::GetU32(directory, entry + 40), archive.IndexOf(node->GetParent()));
            const std::size_t slash = node->GetName().rfind('\\');
            EXPECT_EQ(test::GetU32(directory, entry + 24), slash == std::string::npos ? 0u : slash + 1);
            entry += 46 + 2 * test::GetU32(directory, entry + 20);
        }
        EXPECT_EQ(entry, directory.size());
    } else {
        EXPECT_LT(image.size(), big.size() / 2) << "deflate packs the data";
    }
}

INSTANTIATE_TEST_SUITE_P(Compressions, ArchiveRoundTripTest, testing::Values(1u, 2u));

// An empty archive is tests/data/archive/root-only.modl byte by byte: "modl",
// version 1, file compression 1, body length (80), body checksum; "file" with
// no data (L = 0); "mdir", section length, plain directory of 52 bytes
// (4 + 46 + 2) and its checksum; N = 1 entry: the directory "." without
// children, siblings or parent (0xFFFFFFFF).
TEST(ArchiveSaveTest, RootOnlyArchiveLayout)
{
    const std::string image = CModuleArchive().SaveToMemory();
    EXPECT_EQ(image, test::DataFile("archive/root-only.modl"));
    // The checksums of the file are those of what they cover.
    EXPECT_EQ(test::GetU32(image, 16), test::Crc(image.substr(20)));
    EXPECT_EQ(test::GetU32(image, 44), test::Crc(image.substr(48)));
}

TEST(ArchiveSaveTest, ReadAndSaveAgainGivesPreOrderEntries)
{
    // Root not first and children out of entry order on disk.
    CModuleArchive archive;
    archive.OpenMemory(
        test::BuildRawArchive(test::Raw({test::File("b", "B"), test::Dir(".", 2), test::File("a", "A", 1, 0)})));
    CModuleArchive reread;
    reread.OpenMemory(archive.SaveToMemory());
    EXPECT_EQ(NodeNames(reread), (std::vector<std::string>{".", "a", "b"}));
    EXPECT_EQ(reread.SaveToMemory(), archive.SaveToMemory());
}

TEST(ArchiveSaveTest, AFailedSaveLeavesTheOldFileUntouched)
{
    test::CTempDir dir;
    CModuleArchive good;
    Add(good, "keep.txt", "old contents");
    good.Save(dir / "a.modl");
    const std::string before = test::ReadFile(dir / "a.modl");

    // A target that cannot be replaced: a folder is in the way.
    std::filesystem::create_directories(dir / "folder.modl/inside");
    CModuleArchive other;
    const std::string message = test::ModuleErrorOf([&] { other.Save(dir / "folder.modl"); });
    EXPECT_TRUE(message.starts_with("Could not save archive: ")) << message;
    EXPECT_GT(message.size(), std::string("Could not save archive: ").size()) << "the reason is named";
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.modl/inside"));

    // Writing stops part way (the file size limit): the old archive stays.
    CModuleArchive large;
    Add(large, "big.bin", test::SampleBytes(1 << 20));
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 64 * 1024;
    ::setrlimit(RLIMIT_FSIZE, &limited);
    const std::string writeMessage = test::ModuleErrorOf([&] { large.Save(dir / "a.modl"); });
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(writeMessage.starts_with("Could not save archive: ")) << writeMessage;
    EXPECT_EQ(test::ReadFile(dir / "a.modl"), before);
    EXPECT_EQ(CModuleArchive(dir / "a.modl").Find("keep.txt")->GetDataView(), "old contents");

    // Nothing but the archives is left in the folder.
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
        left.push_back(e.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"a.modl", "folder.modl"}));
}

TEST(ArchiveSaveTest, HighlyCompressibleDataStillOpens)
{
    // Zeros pack at close to deflate's best ratio; the reader's size limit
    // must still accept them.
    CModuleArchive archive;
    const std::string zeros(16u << 20, '\0');
    Add(archive, "zeros.bin", zeros);
    archive.SetCompression(2);
    const std::string image = archive.SaveToMemory();
    CModuleArchive reread;
    reread.OpenMemory(image);
    EXPECT_EQ(reread.Find("zeros.bin")->GetSize(), zeros.size());
}

} // namespace
} // namespace bram

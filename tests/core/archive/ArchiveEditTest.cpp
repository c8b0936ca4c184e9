// Editing archives in memory, saving them and reading them back.

#include "ModuleFixtures.h"
#include "RawArchive.h"
#include "TestSupport.h"
#include "archive/ModuleArchive.h"
#include "base/Exceptions.h"
#include "log/Assertion.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

namespace bram {
namespace {

void Add(CModuleArchive& archive, std::string_view path, std::string_view data)
{
    archive.AddFile(path, data.data(), static_cast<std::uint32_t>(data.size()));
}

using test::NodeNames;
using test::Tree;

// Runs "verb path [argument]" of tests/data/archive/edit*.txt: the throwing
// call, or its Try twin giving its result. The argument is where a file
// moves to, or the data written ("x" without one, `""` for none).
bool Edit(CModuleArchive& a, const std::string& command, bool tryIt)
{
    std::istringstream words(command);
    std::string verb, path, argument;
    words >> verb >> path >> argument;
    const std::string text = argument.empty() ? "x" : argument == "\"\"" ? "" : argument;
    const char* data = text.empty() ? nullptr : text.data();
    const auto size = static_cast<std::uint32_t>(text.size());
    if (verb == "add") {
        return tryIt ? a.TryAddFile(path, data, size) : (a.AddFile(path, data, size), true);
    }
    if (verb == "write") {
        return tryIt ? a.TryWriteFile(path, data, size) : (a.WriteFile(path, data, size), true);
    }
    if (verb == "remove") {
        return tryIt ? a.TryRemoveFile(path) : (a.RemoveFile(path), true);
    }
    if (verb == "move") {
        return tryIt ? a.TryMoveFile(path, argument) : (a.MoveFile(path, argument), true);
    }
    if (verb == "create") {
        return tryIt ? a.TryCreateDirectory(path) : (a.CreateDirectory(path), true);
    }
    if (verb == "destroy") {
        return tryIt ? a.TryDestroyDirectory(path) : (a.DestroyDirectory(path), true);
    }
    if (verb == "set-data") {
        return tryIt ? a.Find(path)->TrySetFileData(data, size) : (a.Find(path)->SetFileData(data, size), true);
    }
    EXPECT_EQ(verb, "save");
    return tryIt ? a.TrySave() : (a.Save(), true);
}

// Successful edits, through both forms, and the tree they leave.
TEST(ArchiveEditTest, EditsLeaveTheirTree)
{
    for (const test::ExpectedCase& c : test::ExpectedCases("archive/edits.txt")) {
        for (const bool tryIt : {false, true}) {
            CModuleArchive archive;
            std::istringstream lines(c.input);
            for (std::string line; std::getline(lines, line);) {
                EXPECT_TRUE(Edit(archive, line, tryIt)) << line;
            }
            EXPECT_EQ(Tree(archive), c.expected) << c.input;
        }
    }
    CModuleArchive empty;
    EXPECT_EQ(test::ModuleErrorOf([&] { empty.RemoveFile("."); }),
              "Could not remove file: the main directory cannot be removed.");
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
        const std::string before = Tree(archive);
        EXPECT_EQ(test::ModuleErrorOf([&] { Edit(archive, c.input.substr(0, bar), false); }), c.expected) << c.input;
        EXPECT_EQ(Tree(archive), before) << c.input;
        EXPECT_FALSE(Edit(archive, c.input.substr(bar + 3), true)) << c.input;
        EXPECT_EQ(Tree(archive), before) << c.input;
    }
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
    EXPECT_EQ(Tree(copy), Tree(archive));
    EXPECT_NE(copy.Find("b\\x")->GetData(), archive.Find("b\\x")->GetData());
    EXPECT_EQ(&copy.Find("a")->GetArchive(), &copy);
    EXPECT_EQ(copy.GetCompression(), 2u);
    EXPECT_EQ(copy.GetCompressionLevel(), 9);
    EXPECT_EQ(copy.GetPath(), archive.GetPath());
}

TEST(ArchiveCompressionSettingTest, LevelsNeedACodecAndUnknownIdsAreRefused)
{
    CModuleArchive archive;
    EXPECT_EQ(archive.GetCompression(), 1u);
    archive.SetCompressionLevel(5); // ignored without a codec
    EXPECT_EQ(archive.GetCompressionLevel(), -1);
    archive.SetCompression(2);
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
// children, siblings or parent (0xFFFFFFFF). The checksums are the
// standard CRC-32 of what they cover.
TEST(ArchiveSaveTest, RootOnlyArchiveLayout)
{
    const std::string image = CModuleArchive().SaveToMemory();
    EXPECT_EQ(image, test::DataFile("archive/root-only.modl"));
}

// A save that fails part way (a full disk) is the document's, through the
// same writer: DocumentFiles.ASaveThatCannotWriteEverythingKeepsTheOldFile.
TEST(ArchiveSaveTest, AFailedSaveLeavesTheOldFileUntouched)
{
    test::CTempDir dir;
    // A target that cannot be replaced: a folder is in the way.
    std::filesystem::create_directories(dir / "folder.modl/inside");
    CModuleArchive other;
    const std::string message = test::ModuleErrorOf([&] { other.Save(dir / "folder.modl"); });
    EXPECT_TRUE(message.starts_with("Could not save archive: ")) << message;
    EXPECT_GT(message.size(), std::string("Could not save archive: ").size()) << "the reason is named";
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.modl/inside"));
    EXPECT_EQ(test::FileNames(dir.Path()), std::vector<std::string>{"folder.modl"}) << "no temporary file is left";
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

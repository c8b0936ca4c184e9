// brambleton-cli archive: pack, unpack, list, verify and their errors.

#include "CliRun.h"
#include "ModuleFixtures.h"
#include "TestSupport.h"
#include "archive/ModuleArchive.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <tuple>

namespace bram {
namespace {

namespace fs = std::filesystem;

using test::Quoted;

test::CommandResult Archive(const std::string& args) { return test::RunCli("archive " + args); }

class ArchivePackTest : public testing::TestWithParam<const char*> {};

TEST_P(ArchivePackTest, PackListUnpackGiveTheSameFiles)
{
    test::CTempDir dir;
    test::WriteFile(dir / "src/data/module.xml", "<Module/>");
    test::WriteFile(dir / "src/data/blob.bin", test::SampleBytes(70000));
    test::WriteFile(dir / "src/scripts/main.j", "function main takes nothing returns nothing");
    test::WriteFile(dir / "src/readme.txt", "");
    fs::create_directories(dir / "src/localization/en");

    const std::string compression = GetParam();
    const auto pack = Archive("pack " + Quoted(dir / "src") + " " + Quoted(dir / "out.modl") +
                              (compression.empty() ? "" : " --compression " + compression));
    ASSERT_EQ(pack.status, 0) << pack.err;

    const CModuleArchive archive(dir / "out.modl");
    EXPECT_EQ(archive.GetCompression(), compression == "none" ? 1u : 2u) << "deflate unless told otherwise";

    const auto list = Archive("list " + Quoted(dir / "out.modl"));
    ASSERT_EQ(list.status, 0) << list.err;
    // Read back, the nodes come in tree order.
    EXPECT_EQ(list.out, test::DataFile("cli/packed-listing.txt"));

    const auto unpack = Archive("unpack " + Quoted(dir / "out.modl") + " " + Quoted(dir / "dst"));
    ASSERT_EQ(unpack.status, 0) << unpack.err;
    EXPECT_EQ(test::FilesBelow(dir / "dst"), test::FilesBelow(dir / "src"));

    EXPECT_EQ(Archive("verify " + Quoted(dir / "out.modl")).status, 0);
}

INSTANTIATE_TEST_SUITE_P(Compressions, ArchivePackTest, testing::Values("", "none", "deflate"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return *info.param == '\0' ? std::string("Default") : std::string(info.param);
                         });

// A name must not forge a line of the listing or reach the terminal.
TEST(ArchiveCommandTest, ListEscapesControlCharacters)
{
    test::CTempDir dir;
    CModuleArchive archive;
    const std::string name = "a\x1b]0;owned\x07\nf 9 fake\x7f\xc2\x9b.txt";
    ASSERT_TRUE(archive.TryAddFile(name, "x", 1));
    archive.Save(dir / "o.modl");
    EXPECT_EQ(Archive(("list " + Quoted(dir / "o.modl"))).out,
              "d .\nf 1 a\\x1B]0;owned\\x07\\x0Af 9 fake\\x7F\\u009B.txt\n");
}

TEST(ArchiveCommandTest, FailuresPrintTheArchiveMessage)
{
    test::CTempDir dir;
    CModuleArchive archive;
    archive.AddFile("a.txt", "abc", 3);
    std::string image = archive.SaveToMemory();
    image[30] ^= 1;
    test::WriteFile(dir / "bad.modl", image);
    test::WriteFile(dir / "long.modl", archive.SaveToMemory() + "x");

    for (const auto& [command, file, message] :
         {std::tuple{"verify", "bad.modl", "Checksum error (modl)"},
          std::tuple{"list", "bad.modl", "Checksum error (modl)"},
          std::tuple{"verify", "long.modl", "Invalid data length (modl)"},
          std::tuple{"unpack", "missing.modl", "Could not open archive file."}}) {
        const std::string to = std::string(command) == "unpack" ? " " + Quoted(dir / "d") : "";
        const auto result = Archive(command + (" " + Quoted(dir / file)) + to);
        EXPECT_EQ(result.status, 1) << command;
        EXPECT_EQ(result.err, (dir / file) + ": " + message + "\n");
        EXPECT_EQ(result.out, "");
    }
    EXPECT_FALSE(fs::exists(dir / "d"));
}

TEST(ArchiveCommandTest, UnpackRefusesNamesOutsideTheDestination)
{
    test::CTempDir dir;
    for (const char* name : {"..\\evil.txt", "ok\\..\\..\\evil.txt", "./../evil.txt"}) {
        CModuleArchive archive;
        archive.AddFile("fine.txt", "f", 1);
        ASSERT_TRUE(archive.TryAddFile(name, "e", 1)) << name;
        archive.Save(dir / "evil.modl");
        const auto result = Archive("unpack " + Quoted(dir / "evil.modl") + " " + Quoted(dir / "dst"));
        EXPECT_EQ(result.status, 1) << name;
        EXPECT_NE(result.err.find("Refusing to unpack"), std::string::npos) << result.err;
        EXPECT_FALSE(fs::exists(dir / "evil.txt"));
        EXPECT_FALSE(fs::exists(dir / "dst/fine.txt")) << "nothing is written when a name is refused";
    }

    // A link inside the destination does not lead the tree out of it.
    CModuleArchive linked;
    linked.AddFile("link\\escaped.txt", "e", 1);
    linked.Save(dir / "linked.modl");
    fs::create_directories(dir / "dst2");
    fs::create_directories(dir / "outside");
    fs::create_directory_symlink(dir / "outside", dir / "dst2/link");
    const auto result = Archive("unpack " + Quoted(dir / "linked.modl") + " " + Quoted(dir / "dst2"));
    EXPECT_EQ(result.status, 1);
    EXPECT_FALSE(fs::exists(dir / "outside/escaped.txt"));
}

// Pack reads exactly the entries it lists: a name is never taken as a path,
// and nothing outside the source folder comes in unless asked for.
TEST(ArchiveCommandTest, PackRefusesNamesAndLinksThatWouldReadOtherFiles)
{
    test::CTempDir dir;
    test::WriteFile(dir / "secret/s.txt", "secret");
    test::WriteFile(dir / "src/ok.txt", "ok");
    const std::string out = Quoted(dir / "out.modl");
    auto pack = [&](const std::string& source, const std::string& options = "") {
        return Archive(("pack " + Quoted(source) + " " + out + options));
    };

    test::WriteFile(dir / "src/a/a\\..\\..\\secret\\s.txt", "own content");
    const auto backslash = pack(dir / "src");
    EXPECT_EQ(backslash.status, 1);
    EXPECT_EQ(backslash.err, "Refusing to pack '" + dir.Path() + "src/a/a\\..\\..\\secret\\s.txt': an archive " +
                                 "cannot store the name as it is (\"\\\" separates folders there).\n");
    EXPECT_FALSE(fs::exists(dir / "out.modl"));
    fs::remove_all(dir / "src/a");

    fs::create_symlink(dir / "secret/s.txt", dir / "src/link.txt");
    const auto outside = pack(dir / "src");
    EXPECT_EQ(outside.status, 1);
    EXPECT_NE(outside.err.find("src/link.txt': the symbolic link leads outside the source folder"), std::string::npos)
        << outside.err;
    EXPECT_FALSE(fs::exists(dir / "out.modl"));
    ASSERT_EQ(pack(dir / "src", " --follow-links").status, 0);
    EXPECT_EQ(std::string(CModuleArchive(dir / "out.modl").Find("link.txt")->GetDataView()), "secret");

    // Inside the folder a link is packed as what it leads to; one that leads
    // back up would never end.
    fs::remove(dir / "src/link.txt");
    fs::create_symlink(dir / "src/ok.txt", dir / "src/same.txt");
    ASSERT_EQ(pack(dir / "src").status, 0);
    EXPECT_EQ(std::string(CModuleArchive(dir / "out.modl").Find("same.txt")->GetDataView()), "ok");
    fs::create_directory_symlink(dir / "src", dir / "src/loop");
    const auto loop = pack(dir / "src", " --follow-links");
    EXPECT_EQ(loop.status, 1);
    EXPECT_NE(loop.err.find("src/loop': the symbolic link leads back"), std::string::npos) << loop.err;
}

TEST(ArchiveCommandTest, PackRefusesAFileTooLargeForTheFormatBeforeReadingIt)
{
    test::CTempDir dir;
    fs::create_directories(dir / "src");
    {
        std::ofstream huge(dir / "src/huge.bin");
    }
    fs::resize_file(dir / "src/huge.bin", 0x100000000ull); // sparse: costs no disk
    // Reading it first would take 4 GiB; a bounded address space shows it.
#if defined(__SANITIZE_ADDRESS__)
    const std::string limit;
#else
    const std::string limit = "ulimit -v 1000000; ";
#endif
    const auto result = test::RunCommand(limit + Quoted(BRAMBLETON_CLI_PATH) + " archive pack " + Quoted(dir / "src") +
                                         " " + Quoted(dir / "o.modl"));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "File too large for an archive: " + dir.Path() + "src/huge.bin.\n");
}

TEST(ArchiveCommandTest, PackingAMissingFolderWritesNothing)
{
    test::CTempDir dir;
    const auto result = Archive("pack " + Quoted(dir / "none") + " " + Quoted(dir / "o.modl"));
    EXPECT_EQ(result.status, 1);
    EXPECT_FALSE(fs::exists(dir / "o.modl"));
}

} // namespace
} // namespace bram

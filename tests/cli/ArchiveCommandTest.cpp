// brambleton-cli archive: pack, unpack, list, verify and their errors.

#include "ModuleFixtures.h"
#include "TestSupport.h"
#include "archive/ModuleArchive.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace bram {
namespace {

namespace fs = std::filesystem;

std::string Archive(const std::string& args) { return std::string("'") + BRAMBLETON_CLI_PATH + "' archive " + args; }

std::string Quote(const std::string& path) { return "'" + path + "'"; }

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
    const auto pack = test::RunCommand(Archive("pack " + Quote(dir / "src") + " " + Quote(dir / "out.modl") +
                                               (compression.empty() ? "" : " --compression " + compression)));
    ASSERT_EQ(pack.status, 0) << pack.err;

    const CModuleArchive archive(dir / "out.modl");
    EXPECT_EQ(archive.GetCompression(), compression == "none" ? 1u : 2u) << "deflate unless told otherwise";

    const auto list = test::RunCommand(Archive("list " + Quote(dir / "out.modl")));
    ASSERT_EQ(list.status, 0) << list.err;
    // Read back, the nodes come in tree order.
    EXPECT_EQ(list.out, test::DataFile("cli/packed-listing.txt"));

    const auto unpack = test::RunCommand(Archive("unpack " + Quote(dir / "out.modl") + " " + Quote(dir / "dst")));
    ASSERT_EQ(unpack.status, 0) << unpack.err;
    EXPECT_EQ(test::FilesBelow(dir / "dst"), test::FilesBelow(dir / "src"));

    EXPECT_EQ(test::RunCommand(Archive("verify " + Quote(dir / "out.modl"))).status, 0);
}

INSTANTIATE_TEST_SUITE_P(Compressions, ArchivePackTest, testing::Values("", "none", "deflate"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return *info.param == '\0' ? std::string("Default") : std::string(info.param);
                         });

TEST(ArchiveCommandTest, NamesAreStoredNormalized)
{
    test::CTempDir dir;
    test::WriteFile(dir / "src/Data/Module.XML", "m");
    ASSERT_EQ(test::RunCommand(Archive("pack " + Quote(dir / "src") + " " + Quote(dir / "o.modl"))).status, 0);
    EXPECT_EQ(test::RunCommand(Archive("list " + Quote(dir / "o.modl"))).out, "d .\nd data\nf 1 data\\module.xml\n");
}

// A name must not forge a line of the listing or reach the terminal.
TEST(ArchiveCommandTest, ListEscapesControlCharacters)
{
    test::CTempDir dir;
    CModuleArchive archive;
    const std::string name = "a\x1b]0;owned\x07\nf 9 fake\x7f\xc2\x9b.txt";
    ASSERT_TRUE(archive.TryAddFile(name, "x", 1));
    archive.Save(dir / "o.modl");
    EXPECT_EQ(test::RunCommand(Archive("list " + Quote(dir / "o.modl"))).out,
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

    for (const char* sub : {"verify", "list"}) {
        const auto bad = test::RunCommand(Archive(std::string(sub) + " " + Quote(dir / "bad.modl")));
        EXPECT_EQ(bad.status, 1);
        EXPECT_EQ(bad.err, "Checksum error (modl)\n");
        EXPECT_EQ(bad.out, "");
    }
    const auto longer = test::RunCommand(Archive("verify " + Quote(dir / "long.modl")));
    EXPECT_EQ(longer.status, 1);
    EXPECT_EQ(longer.err, "Invalid data length (modl)\n");
    const auto missing = test::RunCommand(Archive("unpack " + Quote(dir / "missing.modl") + " " + Quote(dir / "d")));
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "Could not open archive file.\n");
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
        const auto result = test::RunCommand(Archive("unpack " + Quote(dir / "evil.modl") + " " + Quote(dir / "dst")));
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
    const auto result = test::RunCommand(Archive("unpack " + Quote(dir / "linked.modl") + " " + Quote(dir / "dst2")));
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
    const std::string out = Quote(dir / "out.modl");
    auto pack = [&](const std::string& source, const std::string& options = "") {
        return test::RunCommand(Archive("pack " + Quote(source) + " " + out + options));
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
    const auto result = test::RunCommand(limit + Archive("pack " + Quote(dir / "src") + " " + Quote(dir / "o.modl")));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "File too large for an archive: " + dir.Path() + "src/huge.bin.\n");
}

TEST(ArchiveCommandTest, UsageAndHelp)
{
    test::CTempDir dir;
    const auto help = test::RunCommand(Archive("--help"));
    EXPECT_EQ(help.status, 0);
    for (const char* sub : {"archive pack SRCDIR OUT.modl [--compression none|deflate]",
                            "archive unpack IN.modl DESTDIR", "archive list IN.modl", "archive verify IN.modl"}) {
        EXPECT_NE(help.out.find(sub), std::string::npos) << sub;
    }
    const auto global = test::RunCommand(std::string("'") + BRAMBLETON_CLI_PATH + "' --help");
    EXPECT_NE(global.out.find("archive pack"), std::string::npos);

    for (const std::string args :
         {"", "nonsense x", "pack", "pack onlyone", "pack a b --compression", "pack a b --compression lzma",
          "pack a b --fast", "unpack x", "list", "verify a b"}) {
        const auto result = test::RunCommand(Archive(args));
        EXPECT_EQ(result.status, 2) << args;
        EXPECT_NE(result.err.find("usage: brambleton-cli"), std::string::npos) << args;
    }
    const auto noSource = test::RunCommand(Archive("pack " + Quote(dir / "none") + " " + Quote(dir / "o.modl")));
    EXPECT_EQ(noSource.status, 1);
    EXPECT_FALSE(fs::exists(dir / "o.modl"));
}

} // namespace
} // namespace bram

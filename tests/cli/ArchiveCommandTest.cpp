// brambleton-cli archive: pack, unpack, list, verify and their errors.

#include "ModuleFixtures.h"
#include "TestSupport.h"
#include "archive/ModuleArchive.h"

#include <filesystem>
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
        EXPECT_EQ(bad.err, (dir / "bad.modl") + ": Checksum error (modl)\n");
        EXPECT_EQ(bad.out, "");
    }
    const auto longer = test::RunCommand(Archive("verify " + Quote(dir / "long.modl")));
    EXPECT_EQ(longer.status, 1);
    EXPECT_EQ(longer.err, (dir / "long.modl") + ": Invalid data length (modl)\n");
    const auto missing = test::RunCommand(Archive("unpack " + Quote(dir / "missing.modl") + " " + Quote(dir / "d")));
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, (dir / "missing.modl") + ": Could not open archive file.\n");
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

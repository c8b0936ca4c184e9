// brambleton-cli archive: pack, unpack, list, verify and their errors.

#include "CliRun.h"
#include "ModuleFixtures.h"
#include "TestSupport.h"
#include "archive/ModuleArchive.h"

#include <filesystem>
#include <gtest/gtest.h>

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
        const auto bad = Archive(std::string(sub) + " " + Quoted(dir / "bad.modl"));
        EXPECT_EQ(bad.status, 1);
        EXPECT_EQ(bad.err, (dir / "bad.modl") + ": Checksum error (modl)\n");
        EXPECT_EQ(bad.out, "");
    }
    const auto longer = Archive("verify " + Quoted(dir / "long.modl"));
    EXPECT_EQ(longer.status, 1);
    EXPECT_EQ(longer.err, (dir / "long.modl") + ": Invalid data length (modl)\n");
    const auto missing = Archive("unpack " + Quoted(dir / "missing.modl") + " " + Quoted(dir / "d"));
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

TEST(ArchiveCommandTest, PackingAMissingFolderWritesNothing)
{
    test::CTempDir dir;
    const auto result = Archive("pack " + Quoted(dir / "none") + " " + Quoted(dir / "o.modl"));
    EXPECT_EQ(result.status, 1);
    EXPECT_FALSE(fs::exists(dir / "o.modl"));
}

} // namespace
} // namespace bram

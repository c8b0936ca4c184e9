// The sample language runs: data files turned into scripts by
// `brambleton-cli generate` (module scripts first, then the preamble, header,
// globals and one function per trigger) are Lua 5.4 programs whose output the
// real interpreter produces as expected (tests/data/examples/lua-runs.txt).

#include "CliRun.h"
#include "TestDataFiles.h"

#include <gtest/gtest.h>

namespace bram {
namespace {

TEST(ExamplesLua, DataFilesRunAsExpected)
{
    const std::vector<test::FieldCase> runs = test::FieldCases("examples/lua-runs.txt");
    ASSERT_EQ(runs.size(), 8u);
    for (const test::FieldCase& run : runs) {
        SCOPED_TRACE(run.name);
        const std::string data = run["data"].starts_with("samples/")
                                     ? std::string(BRAMBLETON_EXAMPLES_DIR) + "/" + run["data"]
                                     : test::DataPath(run["data"]);
        test::CTempDir dir;
        const auto generated = test::RunCli("--workdir " + test::Quoted(BRAMBLETON_EXAMPLES_DIR) + " generate " +
                                            test::Quoted(data) + " -o " + test::Quoted(dir / "script.lua"));
        EXPECT_EQ(generated.status, 0) << generated.err;
        EXPECT_EQ(generated.err, "");
        const auto result = test::RunCommand("lua5.4 " + test::Quoted(dir / "script.lua"));
        if (run["status"] == "nonzero") {
            EXPECT_NE(result.status, 0);
        } else {
            EXPECT_EQ(result.status, std::stoi(run["status"])) << result.err;
        }
        if (run.Has("out") || run.Has("out file")) {
            EXPECT_EQ(result.out, run.Has("out") ? run["out"] : test::DataFile(run["out file"]));
        }
        if (run.Has("err")) {
            EXPECT_EQ(result.err, run["err"]);
        }
        EXPECT_NE(result.err.find(run["err part"]), std::string::npos) << result.err;
    }
}

} // namespace
} // namespace bram

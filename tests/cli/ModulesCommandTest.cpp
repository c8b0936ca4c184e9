#include "CliRun.h"
#include "ModuleFixtures.h"

#include <gtest/gtest.h>

namespace bram {
namespace {

std::string Modules(const std::string& workdir) { return "--workdir " + test::Quoted(workdir) + " modules"; }

TEST(ModulesCommandTest, ListsTheModulesInTheirFinalOrder)
{
    test::CTempDir dir;
    test::WriteWorkspace(dir.Path());
    const auto result = test::RunCli(Modules(dir.Path()));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "flow\t5\ttypes=0 blocks=0 constants=0 structures=1 calls=2 scripts=0\n"
                          "base\t1\ttypes=5 blocks=2 constants=1 structures=0 calls=0 scripts=1\n");
    EXPECT_EQ(result.err, "");
}

// Logging is off in the test workspace: the reasons come from the log
// writes all the same (each start-up failure's message, a cycle of needed
// modules too, is checked in the core's tests; a module's own message:
// StartUpTest.ABrokenModuleEndsWithOneFatalErrorBoxWithTheReasons).
TEST(ModulesCommandTest, AFailedStartUpPrintsItsReasons)
{
    test::CTempDir dir;
    test::WriteWorkspace(dir.Path());
    test::WriteFile(dir / "Data/FunctionDefinition.xml", "<Other/>");
    const auto result = test::RunCli(Modules(dir.Path()));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "Loading Verification failed.\nError message: root element 'FunctionDefinition' expected\n"
                          "Could not initialize program.\n");
}

} // namespace
} // namespace bram

// The generate and resave subcommands on the sample workspace.

#include "CliRun.h"
#include "TestDataFiles.h"

#include <filesystem>
#include <sys/stat.h>
#include <tuple>
#include <utility>

#include <gtest/gtest.h>

namespace bram {
namespace {

const std::string kWorkspace = BRAMBLETON_EXAMPLES_DIR;
const std::string kCountdown = kWorkspace + "/samples/Countdown.bdf";

test::CommandResult Cli(const std::string& arguments)
{
    return test::RunCli("--workdir " + test::Quoted(kWorkspace) + " " + arguments);
}

TEST(DocumentCommands, ResaveWritesTheSameBytesForACurrentFile)
{
    test::CTempDir dir;
    const auto result = Cli("resave '" + kCountdown + "' -o '" + (dir / "out.bdf") + "'");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(test::ReadFile(dir / "out.bdf"), test::ReadFile(kCountdown));
}

TEST(DocumentCommands, GenerateUsesTheEncodingOfTheSettings)
{
    test::CTempDir dir;
    const auto result = Cli("generate '" + kCountdown + "' -o '" + (dir / "out.lua") + "'");
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string script = test::ReadFile(dir / "out.lua");
    // UTF-8 without byte order mark; the runtime of "core" comes first.
    EXPECT_TRUE(script.starts_with("-- Brambleton runtime for Lua 5.4")) << script.substr(0, 40);
    EXPECT_NE(script.find("-- Countdown: a sample of the Brambleton Lua workspace.\n"), std::string::npos);
}

TEST(DocumentCommands, FailuresPrintTheReadersMessage)
{
    test::CTempDir dir;
    test::WriteFile(dir / "keep.lua", "previous");
    for (const auto& [command, file, message] :
         {std::tuple{"generate", "OldVersion.bdf", "Unsupported file version.\n"},
          std::tuple{"resave", "UnloadedModule.bdf", "The module gone wasn't loaded.\n"}}) {
        const std::string data = test::DataPath(std::string("cli/") + file);
        const auto failed = Cli(std::string(command) + " '" + data + "' -o '" + (dir / "keep.lua") + "'");
        EXPECT_EQ(failed.status, 1) << file;
        // The message names the file it is about.
        EXPECT_EQ(failed.err, data + ": " + message);
        EXPECT_EQ(test::ReadFile(dir / "keep.lua"), "previous");
    }
    const auto unwritable = Cli("resave '" + kCountdown + "' -o '" + (dir / "no/such/folder/x.bdf") + "'");
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_TRUE(unwritable.err.starts_with(dir / "no/such/folder/x.bdf: Could not create a temporary file"))
        << unwritable.err;
}

// Output goes through a temporary file renamed over the target: a FIFO there
// would be replaced by it (as root a link to /dev/null replaced /dev/null).
TEST(DocumentCommands, OutputOntoAFifoIsRefused)
{
    test::CTempDir dir;
    const std::string fifo = dir / "out";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const char* command : {"generate", "resave"}) {
        const auto result = Cli(std::string(command) + " '" + kCountdown + "' -o '" + fifo + "'");
        EXPECT_EQ(result.status, 1) << command;
        EXPECT_EQ(result.err, fifo + ": Not a regular file.\n") << command;
        EXPECT_TRUE(std::filesystem::is_fifo(fifo)) << command;
    }
}

// Showcase with an empty parameter, a disabled trigger that others name and
// a global nothing uses.
std::string ShowcaseWithProblems()
{
    std::string data = test::ReadFile(kWorkspace + "/samples/Showcase.bdf");
    auto replace = [&data](const std::string& from, const std::string& to) {
        const std::size_t at = data.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        data.replace(at, from.size(), to);
    };
    replace("empty=\"0\" type=\"64\"><Type><Name>Text</Name><Module>core</Module></Type><Value "
            "bool=\"0\"><![CDATA[helper ran]]></Value></Parameter>",
            "empty=\"1\"><Type><Name>Text</Name><Module>core</Module></Type></Parameter>");
    replace("<Trigger enabled=\"1\" enabledatbeginning=\"0\" bcode=\"0\"><Name><![CDATA[Late]]>",
            "<Trigger enabled=\"0\" enabledatbeginning=\"0\" bcode=\"0\"><Name><![CDATA[Late]]>");
    replace("</Variable></Variables>", "</Variable><Variable><Type><Name>Text</Name><Module>core</Module></Type>"
                                       "<Name><![CDATA[Unused]]></Name></Variable></Variables>");
    return data;
}

TEST(DocumentCommands, CheckListsProblemsAndStrictGenerateWritesNothingWithErrors)
{
    test::CTempDir dir;
    test::WriteFile(dir / "problems.bdf", ShowcaseWithProblems());
    const auto check = Cli("check '" + (dir / "problems.bdf") + "'");
    EXPECT_EQ(check.status, 1) << check.err;
    EXPECT_EQ(check.out, "warning\tDone\tConditions/2\tA parameter names the trigger Late, which is disabled.\n"
                         "warning\tDone\tActions/2\tA parameter names the trigger Late, which is disabled.\n"
                         "error\tHelper\tActions/1\tThe parameter text has no value.\n"
                         "note\t\t\tNo instruction uses the global variable Unused.\n");
    EXPECT_EQ(Cli("check '" + kCountdown + "'").status, 0);

    test::WriteFile(dir / "keep.lua", "previous");
    const auto strict = Cli("generate '" + (dir / "problems.bdf") + "' -o '" + (dir / "keep.lua") + "' --strict");
    EXPECT_EQ(strict.status, 1);
    EXPECT_EQ(strict.err,
              dir / "keep.lua: the script has 1 error(s); nothing was written (see brambleton-cli check).\n");
    EXPECT_EQ(test::ReadFile(dir / "keep.lua"), "previous");
    EXPECT_EQ(Cli("generate '" + (dir / "problems.bdf") + "' -o '" + (dir / "keep.lua") + "'").status, 0);
}

TEST(DocumentCommands, FindListsEveryPlaceThatHoldsTheText)
{
    const std::string showcase = kWorkspace + "/samples/Showcase.bdf";
    const auto late = Cli("find '" + showcase + "' late");
    EXPECT_EQ(late.status, 0) << late.err;
    // Names, comments and instructions, nested calls included; case folded.
    EXPECT_EQ(late.out, "Done\tConditions/2\tnot (Late is enabled)\n"
                        "Done\tActions/2\tEnable Late\n"
                        "Done\tActions/3\tIn 5.00 s fire 'later' ('x')\n"
                        "Late\tname\tLate\n"
                        "Late\tcomment\tWaits for the event \"later\".\n"
                        "Late\tEvents/1\tEvent 'later' fired\n"
                        "Late\tActions/1\tPrint ('late at ' + (text of (elapsed seconds)))\n");
    const auto word = Cli("find '" + showcase + "' Late --case-sensitive --whole-word");
    EXPECT_EQ(word.out, "Done\tConditions/2\tnot (Late is enabled)\n"
                        "Done\tActions/2\tEnable Late\n"
                        "Late\tname\tLate\n");
    EXPECT_EQ(Cli("find '" + showcase + "' 'The sample'").out, "\tpreamble\tThe sample program.\n");
    EXPECT_EQ(Cli("find '" + showcase + "' nowhere-to-be-found").status, 1);
    EXPECT_EQ(Cli("find '" + showcase + "'").status, 2);
}

// Texts and names come out with their control characters escaped, as the
// archive listing shows names: a text can neither add lines or fields nor
// send the terminal a control sequence.
TEST(DocumentCommands, FindAndCheckEscapeControlCharacters)
{
    test::CTempDir dir;
    std::string data = ShowcaseWithProblems();
    for (const auto& [from, to] :
         {std::pair<std::string, std::string>{"Waits for the event \"later\".", "Waits\tfor\x01\n\x1B[2J\xC2\x9B\x7F"
                                                                                "later"},
          std::pair<std::string, std::string>{"[CDATA[Unused]]", "[CDATA[Un\x1Bused]]"}}) {
        const std::size_t at = data.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        data.replace(at, from.size(), to);
    }
    test::WriteFile(dir / "controls.bdf", data);
    const auto find = Cli("find '" + (dir / "controls.bdf") + "' waits");
    EXPECT_EQ(find.out, "Late\tcomment\tWaits\\x09for\\x01\n") << "the line of the match";
    const auto later = Cli("find '" + (dir / "controls.bdf") + "' '[2J'");
    EXPECT_EQ(later.out, "Late\tcomment\t\\x1B[2J\\u009B\\x7Flater\n");
    const auto check = Cli("check '" + (dir / "controls.bdf") + "'");
    EXPECT_NE(check.out.find("note\t\t\tNo instruction uses the global variable Un\\x1Bused.\n"), std::string::npos)
        << check.out;
}

} // namespace
} // namespace bram

// outline, diff and merge on the sample workspace, and merge as the git
// merge driver of a real repository.

#include "CliRun.h"
#include "TestDataFiles.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace bram {
namespace {

const std::string kWorkspace = BRAMBLETON_EXAMPLES_DIR;
const std::string kShowcase = kWorkspace + "/samples/Showcase.bdf";
const std::string kCountdown = kWorkspace + "/samples/Countdown.bdf";

std::string CliCommand() { return test::Quoted(BRAMBLETON_CLI_PATH) + " --workdir " + test::Quoted(kWorkspace); }

test::CommandResult Cli(const std::string& arguments) { return test::RunCommand(CliCommand() + " " + arguments); }

// The sample with one text of it replaced.
std::string Edited(const std::string& what, const std::string& by)
{
    const std::string data = test::ReadFile(kShowcase);
    EXPECT_NE(data.find(what), std::string::npos) << what;
    return test::Replaced(data, what, by);
}

TEST(VersionControlCommands, OutlineOfBothSamplesSurvivesAResave)
{
    test::CTempDir dir;
    for (const std::string& sample : {kShowcase, kCountdown}) {
        const auto outline = Cli("outline " + test::Quoted(sample));
        ASSERT_EQ(outline.status, 0) << outline.err;
        EXPECT_TRUE(outline.out.starts_with("needed modules\n")) << outline.out;
        ASSERT_EQ(Cli("resave " + test::Quoted(sample) + " -o " + test::Quoted(dir / "again.bdf")).status, 0);
        EXPECT_EQ(Cli("outline " + test::Quoted(dir / "again.bdf")).out, outline.out) << sample;
    }
}

// Random edits of the sample's text, some of which resave to the same bytes
// (a third decimal the writer drops): equal outlines exactly for equal files.
TEST(VersionControlCommands, OutlinesOfEditedSamplesDifferExactlyWhereTheirFilesDo)
{
    test::CTempDir dir;
    const std::pair<std::string, std::string> edits[] = {
        {"Says hello.", "Says hi."},
        {"<![CDATA[3.00]]>", "<![CDATA[3.001]]>"},
        {"<![CDATA[3.00]]>", "<![CDATA[3.5]]>"},
        {"enabled=\"1\" enabledatbeginning=\"1\"", "enabled=\"0\" enabledatbeginning=\"1\""},
        {"<SubElement type=\"8\" enabled=\"1\">", "<SubElement type=\"8\" enabled=\"0\">"},
        {"Counts three seconds.", "Counts three seconds.\n"},
    };
    std::mt19937 random(7);
    std::map<std::string, std::string> outlineOfFile;
    std::map<std::string, std::string> fileOfOutline;
    for (int variant = 0; variant < 10; ++variant) {
        std::string data = test::ReadFile(kShowcase);
        for (const auto& [what, by] : edits) {
            const std::size_t at = data.find(what);
            if (random() % 2 == 0 && at != std::string::npos) {
                data.replace(at, what.size(), by);
            }
        }
        test::WriteFile(dir / "edited.bdf", data);
        ASSERT_EQ(Cli("resave " + test::Quoted(dir / "edited.bdf") + " -o " + test::Quoted(dir / "saved.bdf")).status,
                  0);
        const std::string bytes = test::ReadFile(dir / "saved.bdf");
        const auto outline = Cli("outline " + test::Quoted(dir / "edited.bdf"));
        ASSERT_EQ(outline.status, 0) << outline.err;
        EXPECT_EQ(outlineOfFile.emplace(bytes, outline.out).first->second, outline.out) << variant;
        EXPECT_EQ(fileOfOutline.emplace(outline.out, bytes).first->second, bytes) << variant;
    }
    EXPECT_GT(outlineOfFile.size(), 4u);
}

TEST(VersionControlCommands, DiffExitsByWhetherTheDocumentsDiffer)
{
    test::CTempDir dir;
    test::WriteFile(dir / "edited.bdf", Edited("Says hello.", "Says hi."));
    test::WriteFile(dir / "broken.bdf", "<Data");
    const std::string unloaded = test::DataPath("cli/UnloadedModule.bdf");
    struct SCase {
        std::string arguments;
        int status;
        std::string out; // the start of standard output or standard error
    };
    const SCase cases[] = {
        {test::Quoted(kShowcase) + " " + test::Quoted(kShowcase), 0, ""},
        {test::Quoted(kShowcase) + " " + test::Quoted(dir / "edited.bdf"), 1,
         "trigger Greeting\n  comment\n    - Says hello."},
        {test::Quoted(kShowcase) + " " + test::Quoted(dir / "none.bdf"), 2, dir / "none.bdf: "},
        {test::Quoted(dir / "broken.bdf") + " " + test::Quoted(kShowcase), 2, dir / "broken.bdf: "},
        {test::Quoted(unloaded) + " " + test::Quoted(kShowcase), 2, unloaded + ": The module gone wasn't loaded.\n"},
        {test::Quoted(kShowcase), 2, "brambleton-cli diff: missing data file\n"},
    };
    for (const SCase& c : cases) {
        const auto result = Cli("diff " + c.arguments);
        EXPECT_EQ(result.status, c.status) << c.arguments << "\n" << result.out << result.err;
        EXPECT_TRUE((c.status == 2 ? result.err : result.out).starts_with(c.out)) << c.arguments << "\n"
                                                                                  << result.out << result.err;
    }
}

TEST(VersionControlCommands, MergeRefusesInputsThatDoNotReadAndTakesAnEmptyBase)
{
    test::CTempDir dir;
    test::WriteFile(dir / "out.bdf", "previous");
    test::WriteFile(dir / "empty.bdf", "");
    const std::string unloaded = test::DataPath("cli/UnloadedModule.bdf");
    const std::string show = test::Quoted(kShowcase);
    for (const auto& [inputs, message] :
         {std::pair{show + " " + show + " " + test::Quoted(unloaded), unloaded + ": The module gone wasn't loaded.\n"},
          std::pair{show + " " + test::Quoted(dir / "empty.bdf") + " " + show, dir / "empty.bdf: "}}) {
        const auto failed = Cli("merge " + inputs + " -o " + test::Quoted(dir / "out.bdf"));
        EXPECT_EQ(failed.status, 2) << inputs;
        EXPECT_TRUE(failed.err.starts_with(message)) << failed.err;
        EXPECT_EQ(test::ReadFile(dir / "out.bdf"), "previous");
    }
    // Added on both sides alike: no conflict.
    const auto added = Cli("merge " + test::Quoted(dir / "empty.bdf") + " " + show + " " + show + " -o " +
                           test::Quoted(dir / "out.bdf"));
    EXPECT_EQ(added.status, 0) << added.out << added.err;
    EXPECT_EQ(test::ReadFile(dir / "out.bdf"), test::ReadFile(kShowcase));
}

TEST(VersionControlCommands, MergesAsTheGitMergeDriver)
{
    test::CTempDir dir;
    const std::string repo = dir / "repo";
    const auto git = [&](const std::string& arguments) {
        return test::RunCommand("cd " + test::Quoted(repo) + " && git " + arguments);
    };
    const auto commitAs = [&](const std::string& branch, const std::string& data) {
        EXPECT_EQ(git("checkout -q -b " + branch + " base").status, 0);
        test::WriteFile(repo + "/Showcase.bdf", data);
        EXPECT_EQ(git("commit -q -am " + branch).status, 0);
    };
    ASSERT_EQ(test::RunCommand("git init -q -b base " + test::Quoted(repo)).status, 0);
    test::WriteFile(repo + "/.gitattributes", "*.bdf diff=brambleton merge=brambleton\n");
    git("config user.email test@example.org && git config user.name Test");
    git("config diff.brambleton.textconv \"" + CliCommand() + " outline\"");
    git("config merge.brambleton.driver \"" + CliCommand() + " merge %O %A %B -o %A\"");
    test::WriteFile(repo + "/Showcase.bdf", test::ReadFile(kShowcase));
    ASSERT_EQ(git("add -A && git commit -q -m base").status, 0);
    commitAs("greeting", Edited("Says hello.", "Says hi."));
    commitAs("tick", Edited("tick ", "tock "));
    commitAs("other-greeting", Edited("Says hello.", "Says hey."));

    // The history shows instruction-level lines.
    const auto log = git("log -p -1 tick");
    EXPECT_NE(log.out.find("+      2. Print ('tock ' + (text of Count))\n"), std::string::npos) << log.out;

    // Different triggers merge cleanly into what both edits give.
    ASSERT_EQ(git("checkout -q greeting").status, 0);
    const auto clean = git("merge -q --no-edit tick");
    EXPECT_EQ(clean.status, 0) << clean.out << clean.err;
    test::WriteFile(dir / "both.bdf", test::Replaced(Edited("Says hello.", "Says hi."), "tick ", "tock "));
    const auto same = Cli("diff " + test::Quoted(dir / "both.bdf") + " " + test::Quoted(repo + "/Showcase.bdf"));
    EXPECT_EQ(same.status, 0) << same.out << same.err;

    // The same trigger edited on both sides: a conflict, and a file that opens.
    ASSERT_EQ(git("checkout -q -f other-greeting").status, 0);
    const auto conflict = git("merge --no-edit greeting");
    EXPECT_NE(conflict.status, 0);
    EXPECT_NE(conflict.out.find("CONFLICT\ttrigger\tGreeting\tchanged differently on both sides"), std::string::npos)
        << conflict.out << conflict.err;
    const auto outline = Cli("outline " + test::Quoted(repo + "/Showcase.bdf"));
    EXPECT_EQ(outline.status, 0) << outline.err;
    EXPECT_NE(outline.out.find("  trigger Greeting_theirs\n    flags: disabled"), std::string::npos) << outline.out;
    EXPECT_NE(outline.out.find("      | Says hey."), std::string::npos);
}

} // namespace
} // namespace bram

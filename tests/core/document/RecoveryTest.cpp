// Autosave and recovery across editors: a killed editor's recovery file is
// offered to the next one and restores its state; a running editor's file is
// nobody else's; a document saved later than the recovery file wins.

#include "DocumentFixture.h"

#include "code/State.h"
#include "document/Recovery.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bram {
namespace {

namespace fs = std::filesystem;
using RecoveryTest = test::DocumentTest;

// What an editor that is gone left: "<pid>-<name>.bdf" and its ".origin".
void Plant(const std::string& folder, const std::string& stem, std::string_view data, std::string_view origin)
{
    test::WriteFile(folder + "/" + stem + ".bdf", data);
    test::WriteFile(folder + "/" + stem + ".origin", origin);
}

std::vector<std::string> OfferedNames(CRecoveryStore& store)
{
    std::vector<std::string> names;
    for (const auto& found : store.FindRecoverable()) {
        names.push_back(fs::path(found.file).filename());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(RecoveryTest, AKilledEditorsWorkIsOfferedAndRestoredButNeverARunningOnes)
{
    test::CTempDir dir;
    const std::string document = dir / "Work.bdf";
    test::WriteFile(document, ValidFile());
    const std::string folder = dir / "recovery";

    // Another editor: edits, autosaves, then waits until it is killed.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        CRecoveryStore own(folder);
        CApplicationDocument edited;
        const bool ok = edited.OpenDocument(document);
        edited.AddHistoryStep("History/Text_Input");
        edited.GetState()->SetPreamble("typed before the crash");
        const char done = ok && own.Write(edited) ? 'y' : 'n';
        [[maybe_unused]] const auto n = ::write(ready[1], &done, 1);
        ::alarm(30); // never outlives a failed test for long
        ::pause();
        ::_exit(0);
    }
    char done = 0;
    ASSERT_EQ(::read(ready[0], &done, 1), 1);
    ASSERT_EQ(done, 'y');

    CRecoveryStore store(folder);
    EXPECT_TRUE(store.FindRecoverable().empty()) << "a running editor's file is its own";
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);

    const auto offered = store.FindRecoverable();
    ASSERT_EQ(offered.size(), 1u);
    EXPECT_EQ(offered[0].documentPath, document);
    ASSERT_TRUE(store.Restore(m_document, offered[0], true));
    EXPECT_EQ(m_document.GetState()->GetPreamble(), "typed before the crash");
    EXPECT_EQ(m_document.GetPathName(), document);
    EXPECT_TRUE(m_document.IsModified());

    // Saved after the autosave: the file is the newer work.
    const timespec later[2] = {{0, UTIME_OMIT}, {offered[0].written + 5, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, document.c_str(), later, 0), 0);
    EXPECT_TRUE(store.FindRecoverable().empty());
    CRecoveryStore::Discard(offered[0]);
    EXPECT_FALSE(fs::exists(offered[0].file));
}

// The recovery folder gets the log folder's checks, and may not be a link:
// a folder others can change could hand this editor their files.
TEST_F(RecoveryTest, AFolderOthersCouldChangeIsNeitherWrittenNorRead)
{
    const struct {
        const char* name;
        std::function<bool(const std::string& real, const std::string& folder)> make;
        const char* reason;
    } cases[] = {
        {"writable by others",
         [](const std::string& real, const std::string&) { return ::chmod(real.c_str(), 0777) == 0; },
         "is writable by other users"},
        {"another user's",
         [](const std::string& real, const std::string&) { return ::chown(real.c_str(), 4242, 4242) == 0; },
         "belongs to another user"},
        {"a link", [](const std::string&, const std::string& folder) { return ::symlink("real", folder.c_str()) == 0; },
         "is a symbolic link"},
    };
    for (const auto& c : cases) {
        test::CTempDir dir;
        const std::string real = dir / "real";
        ASSERT_EQ(::mkdir(real.c_str(), 0700), 0);
        Plant(real, "99999999-Left", ValidFile(), "");
        const std::string folder = std::string(c.name) == "a link" ? dir / "recovery" : real;
        if (!c.make(real, folder)) {
            continue; // changing the owner needs root
        }
        CRecoveryStore store(folder);
        EXPECT_TRUE(store.FindRecoverable().empty()) << c.name;
        std::string error;
        EXPECT_FALSE(store.Write(m_document, &error)) << c.name;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
        EXPECT_EQ(test::FileNames(real).size(), 2u) << c.name;
    }
}

// Nothing in the folder is read through a link, and an origin names an
// absolute path (or nothing, for an untitled document).
TEST_F(RecoveryTest, ALinkOrAnOriginThatIsNoAbsolutePathIsNotOffered)
{
    test::CTempDir dir;
    const std::string folder = dir / "recovery";
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    test::WriteFile(dir / "outside.bdf", ValidFile());
    test::WriteFile(dir / "outside.origin", "");
    Plant(folder, "11-Fine", ValidFile(), "");
    Plant(folder, "12-Relative", ValidFile(), "Work.bdf");
    Plant(folder, "13-Zero", ValidFile(), std::string_view("/a\0b", 4));
    fs::create_symlink(dir / "outside.bdf", folder + "/14-LinkedData.bdf");
    test::WriteFile(folder + "/14-LinkedData.origin", "");
    test::WriteFile(folder + "/15-LinkedOrigin.bdf", ValidFile());
    fs::create_symlink(dir / "outside.origin", folder + "/15-LinkedOrigin.origin");

    CRecoveryStore store(folder);
    EXPECT_EQ(OfferedNames(store), std::vector<std::string>{"11-Fine.bdf"});
}

// Process ids are reused (each new process namespace starts them again): a
// file an earlier editor left under this editor's id, even under the name this
// editor would write, is offered and kept; the one this editor writes is not offered.
TEST_F(RecoveryTest, AFileLeftUnderThisEditorsProcessIdIsOfferedButNotItsOwn)
{
    test::CTempDir dir;
    const std::string folder = dir / "recovery";
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    const std::string left = std::to_string(::getpid()) + "-Untitled";
    Plant(folder, left, ValidFile(), "");

    CRecoveryStore store(folder);
    EXPECT_EQ(OfferedNames(store), std::vector<std::string>{left + ".bdf"});
    for (int write = 0; write < 2; ++write) {
        ASSERT_TRUE(store.Write(m_document));
    }
    EXPECT_EQ(test::FileNames(folder).size(), 5u) << "its own file, origin and lock beside the left ones";
    EXPECT_EQ(OfferedNames(store), std::vector<std::string>{left + ".bdf"});
    EXPECT_EQ(test::ReadFile(folder + "/" + left + ".bdf"), ValidFile());
}

// A recovery file that does not load (broken, or of a module that is not
// there) costs neither the open document nor the file itself.
TEST_F(RecoveryTest, AFileThatDoesNotLoadLeavesTheDocumentAndTheFile)
{
    test::CTempDir dir;
    const std::string document = dir / "Work.bdf";
    test::WriteFile(document, ValidFile());
    ASSERT_TRUE(m_document.OpenDocument(document));
    const std::string before = m_document.WriteDataFile();
    const std::string folder = dir / "recovery";
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    Plant(folder, "21-Work", ValidFile().substr(0, ValidFile().size() / 2), "");

    CRecoveryStore store(folder);
    const auto offered = store.FindRecoverable();
    ASSERT_EQ(offered.size(), 1u);
    std::string error;
    EXPECT_FALSE(store.Restore(m_document, offered[0], true, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(m_document.GetPathName(), document);
    EXPECT_FALSE(m_document.IsModified());
    EXPECT_EQ(m_document.WriteDataFile(), before);
    EXPECT_TRUE(fs::exists(offered[0].file));
}

// The recovery names hold the document's name; one as long as a file name
// can be still fits, with the temporary name of the write.
TEST_F(RecoveryTest, ADocumentWithTheLongestNameIsAutosaved)
{
    test::CTempDir dir;
    const std::string document = dir / (std::string(251, 'n') + ".bdf");
    m_document.SetRecoveredPath(document);
    const std::string folder = dir / "recovery";
    const pid_t child = ::fork();
    if (child == 0) {
        std::string error;
        const bool written = CRecoveryStore(folder).Write(m_document, &error);
        ::_exit(written ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    CRecoveryStore store(folder);
    const auto offered = store.FindRecoverable();
    ASSERT_EQ(offered.size(), 1u);
    EXPECT_EQ(offered[0].documentPath, document);
}

} // namespace
} // namespace bram

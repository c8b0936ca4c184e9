// Autosave and recovery across editors: a killed editor's recovery file is
// offered to the next one and restores its state; a running editor's file is
// nobody else's; a document saved later than the recovery file wins.

#include "DocumentFixture.h"

#include "code/State.h"
#include "document/Recovery.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bram {
namespace {

namespace fs = std::filesystem;
using RecoveryTest = test::DocumentTest;

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
    ASSERT_TRUE(store.Restore(m_document, offered[0]));
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

} // namespace
} // namespace bram

// Peak memory of the command-line tool on generated files of the sample
// workspace: `resave` and `generate`, each in its own process, measured as
// the process's maximum resident size. Set against the file size (at most
// three times it) and, for `generate`, against the process with the document
// loaded (at most the file size more). Sizes in triggers as arguments,
// 5,000 by default.
//
// Then what undo steps keep on a document of 2,000 triggers: a flag click
// or a rename at most 64 KiB by the history's own count, an instruction
// edit at most twice what its trigger holds (counted, and resident against
// copies of the trigger), 1,000 flag clicks at most 64 MiB resident, and
// deleting a trigger at most twice what it and the triggers calling it hold.

#include "category/CategorySystem.h"
#include "code/Instructions.h"
#include "code/State.h"
#include "document/ApplicationDocument.h"
#include "document/DocumentEdits.h"

#include "BenchSupport.h"
#include "ProcessMemory.h"
#include "SampleDataFile.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <malloc.h>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace bram;

double MiB(double kib) { return kib / 1024.0; }

std::map<std::string, bench::STimes> g_none;

// Runs the tool; returns its peak resident KiB, or -1 when it failed.
long PeakOfCommand(const std::vector<std::string>& arguments)
{
    const pid_t child = ::fork();
    if (child == 0) {
        std::vector<char*> argv;
        for (const std::string& a : arguments) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return -1;
    }
    return usage.ru_maxrss;
}

// The resident KiB of a process that started the workspace and opened the
// file, the file text freed again; -1 on failure.
long ResidentWithDocument(const std::string& path)
{
    int fds[2];
    if (::pipe(fds) != 0) {
        return -1;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        long kib = -1;
        {
            bench::CSampleWorkspace workspace;
            CApplicationDocument document;
            document.NewDocument();
            if (document.OpenDocument(path)) {
                ::malloc_trim(0);
                kib = test::ResidentKiB();
            }
        }
        (void)!::write(fds[1], &kib, sizeof kib);
        ::_exit(0);
    }
    ::close(fds[1]);
    long kib = -1;
    if (::read(fds[0], &kib, sizeof kib) != sizeof kib) {
        kib = -1;
    }
    ::close(fds[0]);
    ::waitpid(child, nullptr, 0);
    return kib;
}

struct SUndoMemory {
    double clickBytes = -1;     // history's count per flag click
    double renameBytes = -1;    // per rename
    double editBytes = -1;      // per instruction edit
    double triggerBytes = -1;   // the edited trigger's own count
    double editResident = -1;   // resident KiB per instruction edit
    double copyResident = -1;   // resident KiB per copy of the trigger
    double clicksResident = -1; // resident KiB that 1,000 flag clicks add
    double deleteBytes = -1;    // per trigger deleted
    double deletedBytes = -1;   // that trigger's count and those of the triggers that call it
};

// Measured in a process of its own.
SUndoMemory UndoMemory(const std::string& path)
{
    int fds[2];
    if (::pipe(fds) != 0) {
        return {};
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        SUndoMemory m;
        {
            bench::CSampleWorkspace workspace;
            CApplicationDocument document;
            document.NewDocument();
            if (document.OpenDocument(path)) {
                const CState& state = *document.GetState();
                // Per step recorded; -1 when none was.
                const auto perStep = [&](int steps, const std::function<void(int)>& edit) {
                    const std::size_t before = document.GetHistoryMemory();
                    const std::size_t count = document.GetUndoCount();
                    for (int i = 0; i < steps; ++i) {
                        edit(i);
                    }
                    const std::size_t recorded = document.GetUndoCount() - count;
                    return recorded == 0 ? -1.0
                                         : static_cast<double>(document.GetHistoryMemory() - before) /
                                               static_cast<double>(recorded);
                };
                const auto click = [&](int i) {
                    const CCodeTrigger* trigger =
                        state.GetTrigger(static_cast<std::size_t>(i * 7) % state.GetTriggerCount());
                    SetTriggerEnabled(document, trigger->GetId(), !trigger->IsEnabled());
                };
                m.clickBytes = perStep(100, click);
                CCategory* category = document.GetCategorySystem().GetCategory(0);
                m.renameBytes = perStep(100, [&](int i) {
                    RenameTrigger(document, category->GetTrigger(0), "Renamed_" + std::to_string(i));
                });
                // An instruction of trigger 5 switched off and on.
                const std::uint32_t id = state.GetTrigger(5)->GetId();
                const auto toggle = [&](int) {
                    const CBlock* actions = state.FindTrigger(id)->GetBlock(2);
                    for (std::size_t i = 0; i < actions->GetChildCount(); ++i) {
                        const CCodeBase* node = actions->GetChild(i);
                        if (node->IsComplete()) {
                            SetInstructionEnabled(document, node, !node->IsEnabled());
                            return;
                        }
                    }
                };
                m.triggerBytes = static_cast<double>(state.FindTrigger(id)->EstimateSize());
                m.editBytes = perStep(100, toggle);
                ::malloc_trim(0);
                long kib = test::ResidentKiB();
                for (int i = 0; i < 200; ++i) {
                    toggle(i);
                }
                m.editResident = static_cast<double>(test::ResidentKiB() - kib) / 200;
                std::vector<std::unique_ptr<CCodeTrigger>> copies;
                kib = test::ResidentKiB();
                for (int i = 0; i < 200; ++i) {
                    copies.push_back(state.FindTrigger(id)->Clone());
                }
                m.copyResident = static_cast<double>(test::ResidentKiB() - kib) / 200;
                copies.clear();
                ::malloc_trim(0);
                kib = test::ResidentKiB();
                for (int i = 0; i < 1000; ++i) {
                    click(i);
                }
                m.clicksResident = static_cast<double>(test::ResidentKiB() - kib);
                // Deleting triggers: the step keeps each and the triggers whose calls of it it empties.
                double deleted = 0;
                m.deleteBytes = perStep(20, [&](int i) {
                    CTriggerEntry* entry =
                        category->GetTrigger(static_cast<std::size_t>(i) * 13 % category->GetTriggerCount());
                    const CCodeTrigger* trigger = state.FindTrigger(entry->GetId());
                    std::set<const CCodeTrigger*> kept{trigger};
                    for (std::size_t v = 0; v < state.GetTriggerVariableCount(); ++v) {
                        if (state.GetTriggerVariable(v)->GetTrigger() == trigger) {
                            for (const CParameter* user : state.GetTriggerVariable(v)->GetUsers()) {
                                kept.insert(user->GetTrigger());
                            }
                        }
                    }
                    for (const CCodeTrigger* one : kept) {
                        deleted += one != nullptr ? static_cast<double>(one->EstimateSize()) : 0;
                    }
                    DeleteTrigger(document, entry);
                });
                m.deletedBytes = deleted / 20;
            }
        }
        (void)!::write(fds[1], &m, sizeof m);
        ::_exit(0);
    }
    ::close(fds[1]);
    SUndoMemory m;
    if (::read(fds[0], &m, sizeof m) != sizeof m) {
        m = {};
    }
    ::close(fds[0]);
    ::waitpid(child, nullptr, 0);
    return m;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) {
        sizes.push_back(std::atoi(argv[i]));
    }
    if (sizes.empty()) {
        sizes.push_back(5000);
    }
    const std::string cli = BRAMBLETON_CLI_PATH;
    const std::string workdir = BRAMBLETON_EXAMPLES_DIR;
    std::string folder = "/tmp/brambleton-memory-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) {
        return 2;
    }
    // The tool's log goes to the private folder too.
    ::setenv("TMPDIR", folder.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    bool ok = true;
    for (const int triggers : sizes) {
        const std::string file = folder + "/sample-" + std::to_string(triggers) + ".bdf";
        std::FILE* out = std::fopen(file.c_str(), "wb");
        if (out == nullptr) {
            return 2;
        }
        const test::SSampleFileSize size = test::WriteSampleDataFile(
            triggers, [out](std::string_view piece) { std::fwrite(piece.data(), 1, piece.size(), out); });
        std::fclose(out);
        const double fileKiB = static_cast<double>(size.bytes) / 1024.0;
        const long resave = PeakOfCommand({cli, "--workdir", workdir, "resave", file, "-o", folder + "/out.bdf"});
        const long generate = PeakOfCommand({cli, "--workdir", workdir, "generate", file, "-o", folder + "/out.lua"});
        const long loaded = ResidentWithDocument(file);
        std::printf("%d triggers, %zu instructions, file %.1f MiB; with the document loaded %.1f MiB\n", triggers,
                    size.instructions, MiB(fileKiB), MiB(static_cast<double>(loaded)));
        std::printf("  resave peak %.1f MiB: %.2f times the file, limit 3\n", MiB(static_cast<double>(resave)),
                    static_cast<double>(resave) / fileKiB);
        std::printf("  generate peak %.1f MiB: %.2f times the file; %.1f MiB over the loaded document, limit the "
                    "file (%.1f MiB)\n",
                    MiB(static_cast<double>(generate)), static_cast<double>(generate) / fileKiB,
                    MiB(static_cast<double>(generate - loaded)), MiB(fileKiB));
        const bool kept = resave > 0 && generate > 0 && loaded > 0 && static_cast<double>(resave) <= 3 * fileKiB &&
                          static_cast<double>(generate) <= 3 * fileKiB &&
                          static_cast<double>(generate - loaded) <= fileKiB;
        if (!kept) {
            std::printf("  MISSED\n");
        }
        ok = ok && kept;
        std::remove(file.c_str());
    }
    {
        const std::string file = folder + "/undo.bdf";
        std::FILE* out = std::fopen(file.c_str(), "wb");
        if (out == nullptr) {
            return 2;
        }
        test::WriteSampleDataFile(2000,
                                  [out](std::string_view piece) { std::fwrite(piece.data(), 1, piece.size(), out); });
        std::fclose(out);
        const SUndoMemory m = UndoMemory(file);
        bench::CTargets targets(g_none);
        targets.Value("undo memory of a flag click (history's count)", m.clickBytes / 1024, 64, "KiB");
        targets.Value("undo memory of a rename (history's count)", m.renameBytes / 1024, 64, "KiB");
        targets.Value("undo memory of an instruction edit against its trigger's (history's count)",
                      m.editBytes / m.triggerBytes, 2, "times");
        targets.Value("resident memory of an instruction edit against a copy of its trigger",
                      m.editResident / std::max(m.copyResident, 1.0), 2, "times");
        targets.Value("resident memory that 1,000 flag clicks on 2,000 triggers add", m.clicksResident / 1024, 64,
                      "MiB");
        targets.Value("undo memory of deleting a trigger against it and the triggers that call it (history's count)",
                      m.deleteBytes / m.deletedBytes, 2, "times");
        ok = ok && targets.Ok() && m.clickBytes >= 0 && m.renameBytes >= 0 && m.editBytes >= 0 && m.deleteBytes >= 0;
    }
    std::filesystem::remove_all(folder);
    return ok ? 0 : 1;
}

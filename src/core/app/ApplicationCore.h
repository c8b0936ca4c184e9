#pragma once
// The widget-free application core: the start-up and shut-down sequence that
// the CLI and the editor both drive. Windows (loading box, main frame) are
// the caller's; this class reports progress through CLoadingProgress.
//
// The program folder is the working folder at start-up; relative paths from
// the settings are taken from it. The process's own working folder is never
// changed, so the CLI's --workdir and tests can point anywhere.

#include "progress/LoadingProgress.h"
#include "settings/ApplicationBase.h"

#include <string>
#include <string_view>
#include <vector>

namespace bram {

// What start-up sets for the whole process before anything else (the
// benchmarks set it too, so that they measure the program as it runs): the
// allocator's settings, and a write beyond the file size limit failing with
// EFBIG instead of SIGXFSZ ending the program.
void PrepareProcess();

struct CStartupOptions {
    // Modules and generation settings; off for commands that need neither.
    bool loadMainData = true;
};

class CApplicationCore : public CIniSettings {
public:
    CApplicationCore();
    ~CApplicationCore() override;
    CApplicationCore(const CApplicationCore&) = delete;
    CApplicationCore& operator=(const CApplicationCore&) = delete;

    // Runs start-up up to (not including) the document. Returns false after a
    // failure, which is logged as "Could not initialize program.\n", followed
    // by the reasons found along the way that the steps do not log
    // themselves (a missing program folder, settings file or modules folder,
    // a settings file that is no text, an empty data path), one line each;
    // the caller shows or prints the fatal error.
    bool InitInstance(const std::string& workingFolder, CLoadingProgress& progress,
                      const CStartupOptions& options = {});
    // The shut-down sequence; safe after a failed start-up and when called twice.
    void ExitInstance();

    // Fills the progress model with the start-up tasks.
    void PrepareLoadingTasks(const std::string& programFolder, CLoadingProgress& progress);

    const std::string& GetProgramFolder() const { return m_programFolder; }
    const std::string& GetModulesFolder() const { return m_modulesFolder; }
    const std::string& GetUserDataFolder() const { return m_userDataFolder; }
    // The user settings file (the recent-file list lives there); empty when not set.
    const std::string& GetUserSettingsFile() const { return m_userSettingsFile; }

    // Releases every module and forgets the generation settings (shut-down,
    // and a failed check of the generation settings).
    static void ReleaseMainData();

    // The ".modl" files of the modules folder, sorted by name so that
    // start-up does the same on every file system. Names that are no regular
    // file (a folder, a pipe, a broken link) go to `skipped` when given.
    static std::vector<std::string> ListModuleFiles(const std::string& modulesFolder,
                                                    std::vector<std::string>* skipped = nullptr);

private:
    void StartUpSteps(const std::string& workingFolder, CLoadingProgress& progress, const CStartupOptions& options);
    void SetUpLogging();
    // Notes what is wrong with brambleton.ini, for the failure it may cause.
    void CheckSettingsFile();
    // Modules and generation settings; a module failure is logged, a failed
    // generation settings check releases the modules again.
    void LoadMainData(CLoadingProgress& progress);

    std::string m_programFolder;
    std::string m_modulesFolder;
    std::string m_userDataFolder;
    std::string m_userSettingsFile;
    std::vector<std::string> m_problems; // reasons a failed start-up reports
    bool m_exited = false;
};

// For a log write made during start-up: the text that tells why start-up
// failed (a module error, a failed check of the generation settings, a file
// that could not be opened or parsed), or an empty text for every other
// line. Lets a front end without a log show the reason.
std::string StartUpFailureReason(std::string_view logText);

} // namespace bram

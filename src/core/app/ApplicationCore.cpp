#include "app/ApplicationCore.h"

#include "archive/ModuleArchive.h"
#include "base/Exceptions.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "generation/GenerationSettings.h"
#include "localization/Localization.h"
#include "log/Diagnostics.h"
#include "log/Log.h"
#include "modules/Module.h"
#include "settings/Environment.h"
#include "settings/UserData.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <malloc.h>
#include <sys/stat.h>

namespace bram {

CApplicationCore::CApplicationCore() { SetApplication(this); }

CApplicationCore::~CApplicationCore()
{
    if (GetApplication() == this) {
        SetApplication(nullptr);
    }
}

void PrepareProcess()
{
    // A document is some millions of small objects. With glibc's fast bins
    // freeing them (closing a document, an undo step dropped, the end)
    // keeps merging the bins again; without them freeing a document of 5,000
    // triggers takes half the time, and allocating is as fast.
    ::mallopt(M_MXFAST, 0);
    ::signal(SIGXFSZ, SIG_IGN);
}

std::vector<std::string> CApplicationCore::ListModuleFiles(const std::string& modulesFolder,
                                                           std::vector<std::string>* skipped)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(ToDiskPath(modulesFolder).c_str());
    if (dir == nullptr) {
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() > 5 && EqualsNoCase(std::string_view(name).substr(name.size() - 5), ".modl")) {
            if (FileExists(modulesFolder + name)) {
                names.push_back(name);
            } else if (skipped != nullptr) {
                skipped->push_back(name);
            }
        }
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    if (skipped != nullptr) {
        std::sort(skipped->begin(), skipped->end());
    }
    return names;
}

void CApplicationCore::PrepareLoadingTasks(const std::string& programFolder, CLoadingProgress& progress)
{
    progress.AddFixedTask(0.01f);
    progress.AddFixedTask(0.07f);
    const std::string dataFolder = ResolveFrom(programFolder, WithTrailingSeparator(GetSettingString("Data", "Path")));
    progress.AddFileTask(dataFolder + ToDiskPath(GetSettingString("Data", "FunctionDefinition")));
    progress.AddFileTask(ResolveFrom(programFolder, GetSettingString("ScriptCreation", "Definitions")));
    for (const std::string& name : ListModuleFiles(m_modulesFolder)) {
        progress.AddFileTask(m_modulesFolder + name);
    }
    progress.AddFixedTask(0.01f);
    progress.AddFixedTask(0.03f);
}

void CApplicationCore::SetUpLogging()
{
    if (GetSettingInt("Logging", "DoLogging", 0) == 0) {
        return;
    }
    const std::string logPath =
        ResolveFrom(m_programFolder, ExpandEnvironmentStrings(GetSettingString("Logging", "LogPath", "Log.log")));
    const std::string dumpPath =
        ResolveFrom(m_programFolder, ExpandEnvironmentStrings(GetSettingString("Logging", "DumpPath", "Dump")));
    PrepareFoldersForPath(logPath);
    PrepareFoldersForPath(dumpPath);
    const bool printAssertions = GetSettingInt("Logging", "PrintAssertions", 0) != 0;
    // Also installs the crash handlers: from here on a crash leaves a report and a dump.
    CDiagnostics::Instance().SetUp(logPath, dumpPath, printAssertions);
}

void CApplicationCore::CheckSettingsFile()
{
    const std::string& path = GetIniPath();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        m_problems.push_back(StringPrintf("The settings file %s does not exist.", path.c_str()));
        return;
    }
    std::string reason;
    const auto text = ReadWholeFile(path, &reason);
    if (!text) {
        m_problems.push_back(StringPrintf(reason.empty() ? "The settings file %s cannot be read."
                                                         : "The settings file %s is not a regular file.",
                                          path.c_str()));
    } else if (text->find('\0') != std::string::npos) {
        // Such as a file saved as UTF-16: no setting can be found in it.
        m_problems.push_back(StringPrintf("The settings file %s is not text.", path.c_str()));
    }
}

void CApplicationCore::LoadMainData(CLoadingProgress& progress)
{
    if (!FolderExists(m_modulesFolder)) {
        m_problems.push_back(StringPrintf("The modules folder %s does not exist.", m_modulesFolder.c_str()));
    }
    const std::string dataPath = GetSettingString("Data", "Path");
    if (dataPath.empty()) {
        if (m_problems.empty()) {
            m_problems.push_back(StringPrintf("The setting Data/Path is empty in %s.", GetIniPath().c_str()));
        }
        throw CUserException();
    }
    const std::string dataFolder = ResolveFrom(m_programFolder, WithTrailingSeparator(dataPath));
    try {
        // Modules are created from their archive paths, so a file name with
        // several dots opens the file it names.
        std::vector<std::string> archives;
        std::vector<std::string> skipped;
        for (const std::string& name : ListModuleFiles(m_modulesFolder, &skipped)) {
            archives.push_back(m_modulesFolder + name);
        }
        for (const std::string& name : skipped) {
            LogPrintf("Skipping %s%s: it is not a regular file.\n", m_modulesFolder.c_str(), name.c_str());
        }
        LoadModules(archives, &progress);
        progress.SetStageText(GetLocalizedString("Loading/LoadMainData"));
        LoadFunctionDefinition(dataFolder, progress);
        LoadScriptCreation(m_programFolder, progress);
    } catch (const CModuleException& e) {
        LogPrintf("A module exception occured. Error message: %s\n.", e.GetErrorMessage().substr(0, 256).c_str());
        throw;
    } catch (const CUserException&) {
        try {
            ReleaseMainData();
        } catch (...) {
        }
        throw;
    }
}

std::string StartUpFailureReason(std::string_view logText)
{
    static constexpr std::string_view kModuleException = "A module exception occured. Error message: ";
    if (StartsWith(logText, kModuleException)) {
        std::string_view message = logText.substr(kModuleException.size());
        if (EndsWith(message, "\n.")) {
            message.remove_suffix(2);
        }
        return std::string(message);
    }
    static constexpr std::string_view kReasons[] = {
        "Loading Verification failed.",
        "Error message: ",
        "Error information:",
        "Failed to open file ",
        "No Script Creations/Definitions file defined.",
        "XML error in line ",
        "Could not initialize program.",
    };
    for (const std::string_view reason : kReasons) {
        if (StartsWith(logText, reason)) {
            return std::string(logText);
        }
    }
    if (StartsWith(logText, "Opening ") && EndsWith(logText, " failed.\n")) {
        return std::string(logText);
    }
    // A needs-cycle explains a declaration that a module then does not find.
    if (StartsWith(logText, "Modules ") && logText.find(" need each other; ") != std::string_view::npos) {
        return std::string(logText);
    }
    return {};
}

void CApplicationCore::ReleaseMainData()
{
    CGenerationSettings::Instance().Clear();
    ReleaseAllModules();
}

void CApplicationCore::StartUpSteps(const std::string& workingFolder, CLoadingProgress& progress,
                                    const CStartupOptions& options)
{
    m_programFolder = WithTrailingSeparator(ToDiskPath(workingFolder));
    if (!FolderExists(m_programFolder)) {
        m_problems.push_back(StringPrintf("The program folder %s does not exist.", m_programFolder.c_str()));
        throw CUserException();
    }
    SetIniPath(m_programFolder + "brambleton.ini");
    CheckSettingsFile();
    m_modulesFolder = WithTrailingSeparator(ResolveFrom(m_programFolder, GetSettingString("Modules", "Path")));
    SetModuleFolders(m_programFolder, m_modulesFolder);
    const unsigned limitMiB = GetSettingInt("Modules", "MaxUnpackedMiB", 0);
    SetUnpackedSizeLimit(limitMiB == 0 ? kDefaultUnpackedSizeLimit : std::uint64_t(limitMiB) << 20);

    PrepareLoadingTasks(m_programFolder, progress);
    progress.SelectTask(0);
    progress.SetStageText("Initialization...");
    progress.SetDetailText("Setup Application...");
    progress.FinishTask();
    progress.SelectTask(1);

    SetUpLogging();

    const std::string localizationPath = GetSettingString("Localization", "Path", "Data\\Temp");
    SetLocalizationPath(ResolveFrom(m_programFolder, localizationPath));
    LogPrintf("Localization path is: %s.\n", localizationPath.c_str());
    SetLanguage(GetSettingString("Localization", "Language", "en"));
    progress.FinishTask();

    if (options.loadMainData) {
        LoadMainData(progress);
    }

    const int n = progress.TaskCount();
    progress.SelectTask(n - 2);
    progress.SetStageText(GetLocalizedString("Loading/Initialization"));
    progress.SetDetailText(GetLocalizedString("Loading/LoadUserData"));
    const CUserDataResult user = LoadUserData(*this, m_programFolder);
    m_userDataFolder = user.folder;
    m_userSettingsFile = user.userSettingsFile;
    if (!user.problem.empty()) {
        // Not fatal: the editor keeps its recent files in its own settings then.
        LogPrintf("%s\n", user.problem.c_str());
        std::fprintf(stderr, "%s\n", user.problem.c_str());
    }
    progress.FinishTask();

    progress.SelectTask(n - 1);
    progress.SetDetailText(GetLocalizedString("Loading/CreateMainWindow"));
}

bool CApplicationCore::InitInstance(const std::string& workingFolder, CLoadingProgress& progress,
                                    const CStartupOptions& options)
{
    PrepareProcess();
    const CLogFlushAtEnd flush;
    m_exited = false;
    m_problems.clear();
    try {
        StartUpSteps(workingFolder, progress, options);
        return true;
    } catch (...) {
        // One write, so that whoever watches the log sees the reasons with it.
        std::string text = "Could not initialize program.\n";
        for (const std::string& problem : m_problems) {
            text += problem + "\n";
        }
        LogWrite(text);
        return false;
    }
}

void CApplicationCore::ExitInstance()
{
    if (m_exited) {
        return;
    }
    m_exited = true;
    ReleaseLocalizationTables();
    ReleaseMainData();
    LogWrite("Program is exiting correctly.\n");
    CDiagnostics::Instance().TearDown();
}

} // namespace bram

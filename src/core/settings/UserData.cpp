#include "settings/UserData.h"

#include "base/Paths.h"
#include "settings/ApplicationBase.h"
#include "settings/Environment.h"
#include "settings/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bram {

CUserDataResult LoadUserData(CApplicationBase& settings, const std::string& workingFolder)
{
    CUserDataResult result;
    result.folder = WithTrailingSeparator(
        ToDiskPath(ExpandEnvironmentStrings(settings.GetSettingString("User", "UserDataDirectory", "%AppData%"))));
    CreateFolderChain(result.folder);

    const std::string iniName = settings.GetSettingString("User", "UserINIFile", "");
    if (iniName.empty()) {
        return result;
    }
    result.userSettingsFile = result.folder + ToDiskPath(iniName);
    // Something there that is no regular file, also after its links (a FIFO
    // would block every open, a dangling link would get its target made), is
    // left alone and not used.
    struct stat st {};
    if (::lstat(result.userSettingsFile.c_str(), &st) == 0 &&
        (::stat(result.userSettingsFile.c_str(), &st) != 0 || !S_ISREG(st.st_mode))) {
        result.problem =
            "The user settings file " + result.userSettingsFile + " is not used: it is not a regular file.";
        result.userSettingsFile.clear();
        return result;
    }

    const std::string copyName = settings.GetSettingString("User", "CopyINIFile", "");
    if (!copyName.empty()) {
        const std::string templatePath = ResolveFrom(workingFolder, copyName);
        if (FileExists(templatePath)) {
            bool copy = true;
            if (FileExists(result.userSettingsFile)) {
                const unsigned templateVersion = CIniFile::Load(templatePath).GetInt("INIFile", "Version", 0);
                const unsigned userVersion = CIniFile::Load(result.userSettingsFile).GetInt("INIFile", "Version", 0);
                copy = templateVersion > userVersion;
            }
            if (copy) {
                if (auto data = ReadWholeFile(templatePath)) {
                    WriteFileAtomically(result.userSettingsFile, *data);
                }
            }
        }
    }
    if (!FileExists(result.userSettingsFile)) {
        // Only a new file: nothing that appeared meanwhile is opened.
        const int fd = ::open(result.userSettingsFile.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
        }
    }
    return result;
}

} // namespace bram

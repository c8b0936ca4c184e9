#include "settings/UserData.h"

#include "base/Paths.h"
#include "settings/ApplicationBase.h"
#include "settings/Environment.h"
#include "settings/IniFile.h"

#include <fcntl.h>
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
        const int fd = ::open(result.userSettingsFile.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
        }
    }
    return result;
}

} // namespace bram

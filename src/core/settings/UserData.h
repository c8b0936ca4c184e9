#pragma once

#include <string>

namespace bram {

class CApplicationBase;

struct CUserDataResult {
    std::string folder;           // the user data folder, with a trailing separator
    std::string userSettingsFile; // empty when UserINIFile is not set or the file is refused
    std::string problem;          // why the user settings file is refused, else empty
};

// The user data step of start-up: prepares the user data folder, refreshes
// the user settings file from its template when the template is newer, and
// creates the file when it is missing. A user settings file that is there but
// no regular file is refused (problem tells why); other failures are silent.
CUserDataResult LoadUserData(CApplicationBase& settings, const std::string& workingFolder);

} // namespace bram

#pragma once

#include <string>

namespace bram {

class CApplicationBase;

struct CUserDataResult {
    std::string folder;           // the user data folder, with a trailing separator
    std::string userSettingsFile; // empty when UserINIFile is not set
};

// The user data step of start-up: prepares the user data folder, refreshes
// the user settings file from its template when the template is newer, and
// creates the file when it is missing. Failures are silent.
CUserDataResult LoadUserData(CApplicationBase& settings, const std::string& workingFolder);

} // namespace bram

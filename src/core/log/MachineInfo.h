#pragma once
// The machine and process facts of the report header. Collecting them and
// formatting them are separate, so the text can be checked for any machine.

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace bram {

struct CProcessorInfo {
    std::string name; // empty when the system names no model
    int mhz = 0;      // 0 when the clock is unknown
};

struct CMachineInfo {
    // The kernel family ("Linux"); empty when uname fails.
    std::string system;
    // The distribution's PRETTY_NAME (or NAME) from /etc/os-release.
    std::string productName;
    std::string kernelRelease;
    std::string kernelVersion;
    std::vector<CProcessorInfo> processors;
    std::uint64_t totalMemoryBytes = 0;
};

CMachineInfo CollectMachineInfo();
// Parses the text of /proc/cpuinfo; one entry per "processor" block.
std::vector<CProcessorInfo> ParseCpuInfo(const std::string& text);
// Parses the text of /etc/os-release: PRETTY_NAME, else NAME, unquoted.
std::string ParseOsReleaseName(const std::string& text);

// "----Operating System----" up to and including the closing blank line.
std::string FormatSystemSection(const CMachineInfo& machine);
// " 1000 MHz" up to 1000 MHz, " 1.00 GHz" above.
std::string FormatProcessorClock(int mhz);

// "<name>: a.b.c.d\n"; the name is the executable's file name without folder
// and extension. Empty when the path is empty.
std::string FormatVersionLine(const std::string& executablePath, int major, int minor, int patch, int tweak);
std::string ExecutablePath();

// The line that names the stack-trace library, as the report writes it.
std::string StackTraceLibraryLine();

// "0x" and the address with as many digits as a pointer has.
std::string HexAddress(std::uintptr_t address);
constexpr int kAddressDigits = static_cast<int>(sizeof(void*) * 2);

struct CLoadedModule {
    std::string path;
    std::uintptr_t base = 0;
    std::uintptr_t end = 0;
    // Modification time of the file, the nearest Linux has to a link time stamp;
    // -1 when unknown.
    std::int64_t timeStamp = -1;
    std::string buildId; // raw bytes of the GNU build id note, may be empty
};

// Every shared object the dynamic linker has loaded, the executable first.
std::vector<CLoadedModule> ListLoadedModules();
// One module line of the report (the form without a version record).
std::string FormatModuleLine(const CLoadedModule& module);

} // namespace bram

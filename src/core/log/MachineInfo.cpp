#include "log/MachineInfo.h"

#include "base/Paths.h"
#include "base/Text.h"

#include <cinttypes>
#include <cmath>
#include <cstring>
#include <elfutils/libdwfl.h>
#include <fstream>
#include <link.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace bram {

namespace {

std::string ReadTextFile(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Unquote(std::string value)
{
    value = Trim(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

} // namespace

std::string HexAddress(std::uintptr_t address) { return StringPrintf("0x%0*" PRIxPTR, kAddressDigits, address); }

std::vector<CProcessorInfo> ParseCpuInfo(const std::string& text)
{
    std::vector<CProcessorInfo> processors;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const auto colon = line.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        const std::string key = Trim(std::string_view(line).substr(0, colon));
        const std::string value = Trim(std::string_view(line).substr(colon + 1));
        if (key == "processor") {
            processors.emplace_back();
        } else if (processors.empty()) {
            continue;
        } else if (key == "model name" || (key == "Processor" && processors.back().name.empty())) {
            processors.back().name = value;
        } else if (key == "cpu MHz") {
            processors.back().mhz = static_cast<int>(std::lround(std::strtod(value.c_str(), nullptr)));
        }
    }
    return processors;
}

std::string ParseOsReleaseName(const std::string& text)
{
    std::string pretty;
    std::string name;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (StartsWith(line, "PRETTY_NAME=")) {
            pretty = Unquote(line.substr(12));
        } else if (StartsWith(line, "NAME=")) {
            name = Unquote(line.substr(5));
        }
    }
    return pretty.empty() ? name : pretty;
}

CMachineInfo CollectMachineInfo()
{
    CMachineInfo machine;
    utsname uts{};
    if (::uname(&uts) == 0) {
        machine.system = uts.sysname;
        machine.kernelRelease = uts.release;
        machine.kernelVersion = uts.version;
    }
    std::string osRelease = ReadTextFile("/etc/os-release");
    if (osRelease.empty()) {
        osRelease = ReadTextFile("/usr/lib/os-release");
    }
    machine.productName = ParseOsReleaseName(osRelease);
    machine.processors = ParseCpuInfo(ReadTextFile("/proc/cpuinfo"));
    if (machine.processors.empty()) {
        const long count = ::sysconf(_SC_NPROCESSORS_ONLN);
        machine.processors.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
    }
    struct sysinfo info {};
    if (::sysinfo(&info) == 0) {
        machine.totalMemoryBytes = static_cast<std::uint64_t>(info.totalram) * info.mem_unit;
    }
    return machine;
}

std::string FormatProcessorClock(int mhz)
{
    if (mhz > 1000) {
        return StringPrintf(" %.2f GHz", mhz / 1000.0);
    }
    return StringPrintf(" %d MHz", mhz);
}

std::string FormatSystemSection(const CMachineInfo& machine)
{
    // The OS line names the kernel family; below it the distribution, the
    // kernel release and its build text.
    std::string text = "----Operating System----\nOS:\t";
    text += (machine.system.empty() ? std::string("Unknown") : machine.system) + " system\n\t";
    text += machine.productName;
    if (!machine.kernelRelease.empty()) {
        text += " " + machine.kernelRelease;
    }
    if (!machine.kernelVersion.empty()) {
        text += " " + machine.kernelVersion;
    }
    text += StringPrintf("\nProcessor:\t%d processor(s):", static_cast<int>(machine.processors.size()));
    for (const CProcessorInfo& processor : machine.processors) {
        text += "\n" + processor.name;
        if (processor.mhz > 0) {
            text += FormatProcessorClock(processor.mhz);
        }
    }
    text += StringPrintf("\nMemory: %d MiB RAM\n\n", static_cast<int>(machine.totalMemoryBytes >> 20));
    return text;
}

std::string ExecutablePath()
{
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

std::string FormatVersionLine(const std::string& executablePath, int major, int minor, int patch, int tweak)
{
    if (executablePath.empty()) {
        return {};
    }
    std::string name = FileNamePart(executablePath);
    if (const auto dot = name.rfind('.'); dot != std::string::npos) {
        name.resize(dot);
    }
    return StringPrintf("%s: %d.%d.%d.%d\n", name.c_str(), major, minor, patch, tweak);
}

std::string StackTraceLibraryLine()
{
    // Stacks are walked by the unwinder and resolved by backward-cpp on libdw;
    // libdw is the part that carries a version.
    const char* version = ::dwfl_version(nullptr);
    return StringPrintf("backward-cpp with libdw: %s\n", version != nullptr ? version : "unknown");
}

namespace {

std::string BuildIdOf(const dl_phdr_info* info)
{
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& ph = info->dlpi_phdr[i];
        if (ph.p_type != PT_NOTE) {
            continue;
        }
        const char* p = reinterpret_cast<const char*>(info->dlpi_addr + ph.p_vaddr);
        const char* end = p + ph.p_memsz;
        while (p + sizeof(ElfW(Nhdr)) <= end) {
            const auto* note = reinterpret_cast<const ElfW(Nhdr)*>(p);
            const char* name = p + sizeof(ElfW(Nhdr));
            const char* desc = name + ((note->n_namesz + 3) & ~3u);
            const char* next = desc + ((note->n_descsz + 3) & ~3u);
            if (next > end) {
                break;
            }
            if (note->n_type == NT_GNU_BUILD_ID && note->n_namesz == 4 && std::memcmp(name, "GNU", 4) == 0) {
                return std::string(desc, note->n_descsz);
            }
            p = next;
        }
    }
    return {};
}

int AddModule(dl_phdr_info* info, std::size_t, void* data)
{
    auto& modules = *static_cast<std::vector<CLoadedModule>*>(data);
    CLoadedModule module;
    bool any = false;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& ph = info->dlpi_phdr[i];
        if (ph.p_type != PT_LOAD) {
            continue;
        }
        const std::uintptr_t start = info->dlpi_addr + ph.p_vaddr;
        const std::uintptr_t stop = start + ph.p_memsz;
        if (!any || start < module.base) {
            module.base = start;
        }
        if (!any || stop > module.end) {
            module.end = stop;
        }
        any = true;
    }
    if (!any) {
        return 0;
    }
    // The dynamic linker names the executable with an empty string.
    module.path = (info->dlpi_name != nullptr && info->dlpi_name[0] != '\0') ? info->dlpi_name : ExecutablePath();
    struct stat st {};
    if (!module.path.empty() && ::stat(module.path.c_str(), &st) == 0) {
        module.timeStamp = st.st_mtime;
    }
    module.buildId = BuildIdOf(info);
    modules.push_back(std::move(module));
    return 0;
}

} // namespace

std::vector<CLoadedModule> ListLoadedModules()
{
    std::vector<CLoadedModule> modules;
    ::dl_iterate_phdr(&AddModule, &modules);
    return modules;
}

std::string FormatModuleLine(const CLoadedModule& module)
{
    const std::time_t stamp = module.timeStamp >= 0 ? static_cast<std::time_t>(module.timeStamp) : 0;
    char timeText[64] = "";
    std::tm local{};
    if (::localtime_r(&stamp, &local) != nullptr) {
        // ctime's form, without its line break.
        std::strftime(timeText, sizeof timeText, "%a %b %e %H:%M:%S %Y", &local);
    }
    return StringPrintf("%s\t(%s, %s, %lld, %s)\n", module.path.c_str(), HexAddress(module.base).c_str(),
                        HexAddress(module.end).c_str(), static_cast<long long>(stamp), timeText);
}

} // namespace bram

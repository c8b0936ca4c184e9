#pragma once
// A small writer of the standard minidump file format ("MDMP"), so that the
// usual minidump readers (debuggers, stack walkers) can open our crash dumps.
// Building the bytes is separate from collecting the process state.

#include <csignal>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <ucontext.h>

namespace bram {

namespace minidump {
// Stream types of the format.
constexpr std::uint32_t kThreadList = 3;
constexpr std::uint32_t kModuleList = 4;
constexpr std::uint32_t kMemoryList = 5;
constexpr std::uint32_t kException = 6;
constexpr std::uint32_t kSystemInfo = 7;
constexpr std::uint32_t kCommentW = 11;
// Linux streams as the common Linux writers define them.
constexpr std::uint32_t kLinuxProcStatus = 0x47670004;
constexpr std::uint32_t kLinuxMaps = 0x47670009;

constexpr std::uint32_t kSignature = 0x504d444d; // "MDMP"
constexpr std::uint32_t kVersion = 0xa793;
constexpr std::uint32_t kPlatformLinux = 0x8201;
constexpr std::uint16_t kArchitectureAmd64 = 9;
constexpr std::uint16_t kArchitectureArm64 = 12;
constexpr std::uint16_t kArchitectureUnknown = 0xffff;
constexpr std::uint32_t kElfBuildIdSignature = 0x4270454c; // "LEpB" code view record
// The AMD64 thread context record and where its stack and program pointers sit.
constexpr std::size_t kAmd64ContextSize = 0x4d0;
constexpr std::size_t kAmd64RspOffset = 0x98;
constexpr std::size_t kAmd64RipOffset = 0xf8;
} // namespace minidump

struct CMiniDumpSystem {
    std::uint16_t architecture = minidump::kArchitectureUnknown;
    std::uint16_t processorLevel = 0;
    std::uint16_t processorRevision = 0;
    std::uint8_t processorCount = 0;
    std::uint32_t majorVersion = 0;
    std::uint32_t minorVersion = 0;
    std::uint32_t buildNumber = 0;
    std::string description; // the CSD version text: the full uname
    std::uint32_t vendorId[3] = {0, 0, 0};
    std::uint32_t versionInformation = 0;
    std::uint32_t featureInformation = 0;
};

struct CMiniDumpThread {
    std::uint32_t threadId = 0;
    std::string context; // the thread context record in the format's CPU layout
    std::uint64_t stackStart = 0;
    std::string stackMemory;
};

struct CMiniDumpModule {
    std::uint64_t base = 0;
    std::uint32_t size = 0;
    std::uint32_t timeStamp = 0;
    std::string name;
    std::string buildId;
};

struct CMiniDumpException {
    // Linux writers store the signal number, its si_code and the fault address.
    std::uint32_t code = 0;
    std::uint32_t flags = 0;
    std::uint64_t address = 0;
};

struct CMiniDumpContent {
    std::uint32_t timeStamp = 0;
    CMiniDumpSystem system;
    CMiniDumpThread thread;
    std::vector<CMiniDumpModule> modules;
    std::optional<CMiniDumpException> exception;
    std::string comment; // UTF-8; stored as a wide comment stream when not empty
    std::string procStatus;
    std::string maps;
};

// The file bytes.
std::string BuildMiniDump(const CMiniDumpContent& content);

// "<prefix>_<day>-<month>-<year>_<hour>-<minute>-<second>.dmp", no leading zeros.
std::string MiniDumpFileName(const std::string& prefix, const std::tm& utc);

// The thread context record of a signal context (AMD64 layout; empty elsewhere).
std::string BuildContextRecord(const ucontext_t& context);

// Collects the calling thread's state: registers from `context`, the stack
// around its stack pointer, the loaded modules and the system facts.
CMiniDumpContent CollectMiniDump(const ucontext_t& context, const siginfo_t* signal);

// Writes all bytes, going on after interrupted writes; only write(2) is used,
// so crash handlers may call it too.
bool WriteFully(int fd, std::string_view bytes);

// Creates the file `name` in the folder (a descriptor): readable only by this
// user, never through a link; an existing file of that name is never replaced.
enum class EDumpWrite { Written, Exists, Failed };
EDumpWrite WriteMiniDumpFile(int folder, const std::string& name, const std::string& bytes);

} // namespace bram

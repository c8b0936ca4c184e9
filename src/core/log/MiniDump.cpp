#include "log/MiniDump.h"

#include "base/Paths.h"
#include "base/Text.h"
#include "log/CallStack.h"
#include "log/MachineInfo.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <unistd.h>
#if defined(__x86_64__)
#include <cpuid.h>
#endif

namespace bram {

namespace {

// Bytes kept below the stack pointer (the red zone) and above it.
constexpr std::uintptr_t kRedZone = 128;
constexpr std::size_t kStackBytes = 64 * 1024;

class CWriter {
public:
    std::size_t Offset() const { return m_data.size(); }
    void Put8(std::uint8_t v) { m_data.push_back(static_cast<char>(v)); }
    void Put16(std::uint16_t v) { PutLittle(v, 2); }
    void Put32(std::uint32_t v) { PutLittle(v, 4); }
    void Put64(std::uint64_t v) { PutLittle(v, 8); }
    void PutBytes(const std::string& bytes) { m_data += bytes; }
    void PutZeros(std::size_t n) { m_data.append(n, '\0'); }
    void Align(std::size_t n)
    {
        while (m_data.size() % n != 0) {
            m_data.push_back('\0');
        }
    }
    void Patch32(std::size_t at, std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i) {
            m_data[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xff);
        }
    }
    std::uint32_t Rva() const { return static_cast<std::uint32_t>(m_data.size()); }
    // A length-prefixed UTF-16 string with its terminator; returns its position.
    std::uint32_t PutString(const std::string& utf8)
    {
        Align(4);
        const std::uint32_t rva = Rva();
        const std::string wide = Utf8ToUtf16LEBytes(utf8);
        Put32(static_cast<std::uint32_t>(wide.size()));
        PutBytes(wide);
        Put16(0);
        return rva;
    }
    // A block of bytes; returns its position.
    std::uint32_t PutBlock(const std::string& bytes)
    {
        Align(8);
        const std::uint32_t rva = Rva();
        PutBytes(bytes);
        return rva;
    }
    std::string Take() { return std::move(m_data); }

private:
    void PutLittle(std::uint64_t v, int n)
    {
        for (int i = 0; i < n; ++i) {
            m_data.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
        }
    }
    std::string m_data;
};

struct CStreamEntry {
    std::uint32_t type;
    std::uint32_t size;
    std::uint32_t rva;
};

// The stream that starts at 'at' and ends where the writer is now.
CStreamEntry StreamFrom(std::uint32_t type, const CWriter& w, std::size_t at)
{
    return {type, static_cast<std::uint32_t>(w.Offset() - at), static_cast<std::uint32_t>(at)};
}

CStreamEntry PutSystemInfo(CWriter& w, const CMiniDumpSystem& s)
{
    w.Align(8);
    const std::size_t at = w.Offset();
    w.Put16(s.architecture);
    w.Put16(s.processorLevel);
    w.Put16(s.processorRevision);
    w.Put8(s.processorCount);
    w.Put8(0); // product type
    w.Put32(s.majorVersion);
    w.Put32(s.minorVersion);
    w.Put32(s.buildNumber);
    w.Put32(minidump::kPlatformLinux);
    const std::size_t csdField = w.Offset();
    w.Put32(0);
    w.Put16(0); // suite mask
    w.Put16(0);
    for (std::uint32_t v : s.vendorId) {
        w.Put32(v);
    }
    w.Put32(s.versionInformation);
    w.Put32(s.featureInformation);
    w.Put32(0); // extended AMD features
    const CStreamEntry entry = StreamFrom(minidump::kSystemInfo, w, at);
    w.Patch32(csdField, w.PutString(s.description));
    return entry;
}

CStreamEntry PutThreadList(CWriter& w, const CMiniDumpThread& t, std::uint32_t contextRva, std::uint32_t stackRva)
{
    w.Align(8);
    const std::size_t at = w.Offset();
    w.Put32(1);
    w.Put32(t.threadId);
    w.Put32(0); // suspend count
    w.Put32(0); // priority class
    w.Put32(0); // priority
    w.Put64(0); // thread environment block
    w.Put64(t.stackStart);
    w.Put32(static_cast<std::uint32_t>(t.stackMemory.size()));
    w.Put32(stackRva);
    w.Put32(static_cast<std::uint32_t>(t.context.size()));
    w.Put32(contextRva);
    return StreamFrom(minidump::kThreadList, w, at);
}

// Readers that look memory up by address find the stack here too.
CStreamEntry PutMemoryList(CWriter& w, const CMiniDumpThread& t, std::uint32_t stackRva)
{
    w.Align(8);
    const std::size_t at = w.Offset();
    w.Put32(1);
    w.Put64(t.stackStart);
    w.Put32(static_cast<std::uint32_t>(t.stackMemory.size()));
    w.Put32(stackRva);
    return StreamFrom(minidump::kMemoryList, w, at);
}

// Names and build ids first, then the list that points at them.
CStreamEntry PutModuleList(CWriter& w, const std::vector<CMiniDumpModule>& modules)
{
    std::vector<std::uint32_t> nameRvas;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> cvRecords;
    for (const CMiniDumpModule& m : modules) {
        nameRvas.push_back(w.PutString(m.name));
        if (m.buildId.empty()) {
            cvRecords.emplace_back(0, 0);
            continue;
        }
        w.Align(4);
        const std::uint32_t rva = w.Rva();
        w.Put32(minidump::kElfBuildIdSignature);
        w.PutBytes(m.buildId);
        cvRecords.emplace_back(static_cast<std::uint32_t>(4 + m.buildId.size()), rva);
    }
    w.Align(8);
    const std::size_t at = w.Offset();
    w.Put32(static_cast<std::uint32_t>(modules.size()));
    for (std::size_t i = 0; i < modules.size(); ++i) {
        const CMiniDumpModule& m = modules[i];
        w.Put64(m.base);
        w.Put32(m.size);
        w.Put32(0); // checksum
        w.Put32(m.timeStamp);
        w.Put32(nameRvas[i]);
        w.PutZeros(13 * 4); // no version record
        w.Put32(cvRecords[i].first);
        w.Put32(cvRecords[i].second);
        w.Put32(0); // misc record
        w.Put32(0);
        w.Put64(0);
        w.Put64(0);
    }
    return StreamFrom(minidump::kModuleList, w, at);
}

CStreamEntry PutException(CWriter& w, const CMiniDumpException& e, const CMiniDumpThread& t, std::uint32_t contextRva)
{
    w.Align(8);
    const std::size_t at = w.Offset();
    w.Put32(t.threadId);
    w.Put32(0);
    w.Put32(e.code);
    w.Put32(e.flags);
    w.Put64(0); // no nested record
    w.Put64(e.address);
    w.Put32(0); // parameters
    w.Put32(0);
    w.PutZeros(15 * 8);
    w.Put32(static_cast<std::uint32_t>(t.context.size()));
    w.Put32(contextRva);
    return StreamFrom(minidump::kException, w, at);
}

// The comment and the Linux text streams, those that are not empty.
void PutTextStreams(CWriter& w, const CMiniDumpContent& content, std::vector<CStreamEntry>& streams)
{
    if (!content.comment.empty()) {
        std::string wide = Utf8ToUtf16LEBytes(content.comment);
        wide.append(2, '\0');
        const std::uint32_t rva = w.PutBlock(wide);
        streams.push_back({minidump::kCommentW, static_cast<std::uint32_t>(wide.size()), rva});
    }
    if (!content.procStatus.empty()) {
        streams.push_back({minidump::kLinuxProcStatus, static_cast<std::uint32_t>(content.procStatus.size()),
                           w.PutBlock(content.procStatus)});
    }
    if (!content.maps.empty()) {
        streams.push_back(
            {minidump::kLinuxMaps, static_cast<std::uint32_t>(content.maps.size()), w.PutBlock(content.maps)});
    }
}

} // namespace

std::string BuildMiniDump(const CMiniDumpContent& content)
{
    std::uint32_t streamCount = 4; // system, threads, memory, modules
    streamCount += content.exception ? 1 : 0;
    streamCount += content.comment.empty() ? 0 : 1;
    streamCount += content.procStatus.empty() ? 0 : 1;
    streamCount += content.maps.empty() ? 0 : 1;

    CWriter w;
    w.Put32(minidump::kSignature);
    w.Put32(minidump::kVersion);
    w.Put32(streamCount);
    w.Put32(32); // the directory follows the header
    w.Put32(0);  // checksum
    w.Put32(content.timeStamp);
    w.Put64(0); // flags: a normal dump
    const std::size_t directory = w.Offset();
    w.PutZeros(streamCount * 12);

    std::vector<CStreamEntry> streams;
    streams.push_back(PutSystemInfo(w, content.system));
    const CMiniDumpThread& t = content.thread;
    const std::uint32_t contextRva = w.PutBlock(t.context);
    const std::uint32_t stackRva = w.PutBlock(t.stackMemory);
    streams.push_back(PutThreadList(w, t, contextRva, stackRva));
    streams.push_back(PutMemoryList(w, t, stackRva));
    streams.push_back(PutModuleList(w, content.modules));
    if (content.exception) {
        streams.push_back(PutException(w, *content.exception, t, contextRva));
    }
    PutTextStreams(w, content, streams);

    for (std::size_t i = 0; i < streams.size(); ++i) {
        w.Patch32(directory + i * 12, streams[i].type);
        w.Patch32(directory + i * 12 + 4, streams[i].size);
        w.Patch32(directory + i * 12 + 8, streams[i].rva);
    }
    return w.Take();
}

bool WriteFully(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string MiniDumpFileName(const std::string& prefix, const std::tm& utc)
{
    return StringPrintf("%s_%d-%d-%d_%d-%d-%d.dmp", prefix.c_str(), utc.tm_mday, utc.tm_mon + 1, utc.tm_year + 1900,
                        utc.tm_hour, utc.tm_min, utc.tm_sec);
}

std::string BuildContextRecord(const ucontext_t& context)
{
#if defined(__x86_64__)
    std::string record(minidump::kAmd64ContextSize, '\0');
    auto put = [&](std::size_t at, std::uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            record[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xff);
        }
    };
    const greg_t* g = context.uc_mcontext.gregs;
    auto reg = [&](int index) { return static_cast<std::uint64_t>(g[index]); };
    // Control, integer and segment registers; floating point when saved.
    std::uint32_t flags = 0x00100007;
    put(0x38, reg(REG_CSGSFS) & 0xffff, 2);         // SegCs
    put(0x40, (reg(REG_CSGSFS) >> 16) & 0xffff, 2); // SegGs
    put(0x3e, (reg(REG_CSGSFS) >> 32) & 0xffff, 2); // SegFs
    put(0x42, (reg(REG_CSGSFS) >> 48) & 0xffff, 2); // SegSs
    put(0x44, reg(REG_EFL), 4);
    const int order[] = {REG_RAX, REG_RCX, REG_RDX, REG_RBX, REG_RSP, REG_RBP, REG_RSI, REG_RDI,
                         REG_R8,  REG_R9,  REG_R10, REG_R11, REG_R12, REG_R13, REG_R14, REG_R15};
    for (std::size_t i = 0; i < std::size(order); ++i) {
        put(0x78 + i * 8, reg(order[i]), 8);
    }
    put(minidump::kAmd64RipOffset, reg(REG_RIP), 8);
    if (context.uc_mcontext.fpregs != nullptr) {
        flags |= 0x8;
        std::memcpy(record.data() + 0x100, context.uc_mcontext.fpregs, 512);
        put(0x34, context.uc_mcontext.fpregs->mxcsr, 4);
    }
    put(0x30, flags, 4);
    return record;
#else
    (void)context;
    return {};
#endif
}

namespace {

std::string ReadProcFile(const char* path)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return text;
}

CMiniDumpSystem CollectSystem()
{
    CMiniDumpSystem s;
#if defined(__x86_64__)
    s.architecture = minidump::kArchitectureAmd64;
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(0, &a, &b, &c, &d) != 0) {
        s.vendorId[0] = b;
        s.vendorId[1] = d;
        s.vendorId[2] = c;
    }
    if (__get_cpuid(1, &a, &b, &c, &d) != 0) {
        s.versionInformation = a;
        s.featureInformation = d;
        unsigned family = (a >> 8) & 0xf;
        unsigned model = (a >> 4) & 0xf;
        if (family == 0xf) {
            family += (a >> 20) & 0xff;
        }
        if (family == 0x6 || family >= 0xf) {
            model |= ((a >> 16) & 0xf) << 4;
        }
        s.processorLevel = static_cast<std::uint16_t>(family);
        s.processorRevision = static_cast<std::uint16_t>((model << 8) | (a & 0xf));
    }
#elif defined(__aarch64__)
    s.architecture = minidump::kArchitectureArm64;
#endif
    const long count = ::sysconf(_SC_NPROCESSORS_ONLN);
    s.processorCount = static_cast<std::uint8_t>(std::clamp(count, 0L, 255L));
    utsname uts{};
    if (::uname(&uts) == 0) {
        unsigned major = 0, minor = 0, build = 0;
        std::sscanf(uts.release, "%u.%u.%u", &major, &minor, &build);
        s.majorVersion = major;
        s.minorVersion = minor;
        s.buildNumber = build;
        s.description =
            StringPrintf("%s %s %s %s %s", uts.sysname, uts.nodename, uts.release, uts.version, uts.machine);
    }
    return s;
}

} // namespace

CMiniDumpContent CollectMiniDump(const ucontext_t& context, const siginfo_t* signal)
{
    CMiniDumpContent content;
    content.timeStamp = static_cast<std::uint32_t>(std::time(nullptr));
    content.system = CollectSystem();

    CMiniDumpThread& thread = content.thread;
    thread.threadId = static_cast<std::uint32_t>(::syscall(SYS_gettid));
    thread.context = BuildContextRecord(context);
    const std::uintptr_t sp = ContextPointers(context).stackPointer;
    if (sp != 0) {
        // Start at the red zone; when that is not readable (a stack overflow
        // leaves the pointer at the guard page) start at the first readable page.
        std::string memory(kStackBytes, '\0');
        const std::uintptr_t page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
        std::uintptr_t start = sp > kRedZone ? sp - kRedZone : sp;
        std::size_t got = ReadMemorySafely(start, memory.data(), memory.size());
        for (int tries = 0; got == 0 && tries < 4; ++tries) {
            start = (start / page + 1) * page;
            got = ReadMemorySafely(start, memory.data(), memory.size());
        }
        memory.resize(got);
        thread.stackStart = start;
        thread.stackMemory = std::move(memory);
    }

    for (const CLoadedModule& m : ListLoadedModules()) {
        CMiniDumpModule module;
        module.base = m.base;
        module.size = static_cast<std::uint32_t>(m.end - m.base);
        module.timeStamp = m.timeStamp > 0 ? static_cast<std::uint32_t>(m.timeStamp) : 0;
        module.name = m.path;
        module.buildId = m.buildId;
        content.modules.push_back(std::move(module));
    }
    if (signal != nullptr) {
        CMiniDumpException exception;
        exception.code = static_cast<std::uint32_t>(signal->si_signo);
        exception.flags = static_cast<std::uint32_t>(signal->si_code);
        exception.address = reinterpret_cast<std::uintptr_t>(signal->si_addr);
        content.exception = exception;
    }
    content.procStatus = ReadProcFile("/proc/self/status");
    content.maps = ReadProcFile("/proc/self/maps");
    return content;
}

EDumpWrite WriteMiniDumpFile(int folder, const std::string& name, const std::string& bytes)
{
    const int fd = ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        return errno == EEXIST ? EDumpWrite::Exists : EDumpWrite::Failed;
    }
    const bool written = WriteFully(fd, bytes);
    return (::close(fd) == 0 && written) ? EDumpWrite::Written : EDumpWrite::Failed;
}

} // namespace bram

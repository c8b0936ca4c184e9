#include "log/CallStack.h"

#include "base/Paths.h"
#include "base/Text.h"
#include "log/MachineInfo.h"

#include <cerrno>
#include <cinttypes>
#include <cstdlib>
#include <cxxabi.h>
#include <elfutils/libdwfl.h>
#include <fcntl.h>
#include <memory>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>
#include <unwind.h>

#define BACKWARD_HAS_DW 1
#include <backward.hpp>

namespace bram {

namespace {

constexpr std::size_t kMaxFrames = 64;
constexpr int kArgumentWords = 10;

struct CWalk {
    std::vector<CStackFrame> frames;
    std::uintptr_t startAt = 0; // 0: keep every frame
    bool started = true;
    std::size_t searched = 0;
};

_Unwind_Reason_Code CollectFrame(_Unwind_Context* context, void* data)
{
    auto& walk = *static_cast<CWalk*>(data);
    int beforeInstruction = 0;
    const std::uintptr_t ip = _Unwind_GetIPInfo(context, &beforeInstruction);
    if (ip == 0) {
        return _URC_END_OF_STACK;
    }
    if (!walk.started) {
        if (ip != walk.startAt) {
            // Frames of the handler and the signal trampoline; a walk that never
            // meets the faulting address gives up after a bounded search.
            return ++walk.searched < kMaxFrames ? _URC_NO_REASON : _URC_END_OF_STACK;
        }
        walk.started = true;
    }
    CStackFrame frame;
    frame.address = ip;
    frame.frameTop = _Unwind_GetCFA(context);
    frame.returnAddress = beforeInstruction == 0;
    walk.frames.push_back(frame);
    return walk.frames.size() >= kMaxFrames ? _URC_END_OF_STACK : _URC_NO_REASON;
}

// The address whose symbol and line describe a frame.
std::uintptr_t LookupAddress(const CStackFrame& frame)
{
    // A return address points behind its call, maybe into the next line or
    // function; the call itself is the place.
    return (frame.returnAddress && frame.address != 0) ? frame.address - 1 : frame.address;
}

void ReadArguments(CStackFrame& frame)
{
    frame.arguments.clear();
    if (frame.frameTop == 0) {
        return;
    }
    for (int i = 0; i < kArgumentWords; ++i) {
        const auto word = ReadWordSafely(frame.frameTop + static_cast<std::uintptr_t>(i) * sizeof(std::uintptr_t));
        if (!word) {
            continue;
        }
        frame.arguments.push_back({*word, ReadWordSafely(*word)});
    }
}

std::string Demangle(const char* name)
{
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(name, nullptr, nullptr, &status), std::free);
    return (status == 0 && demangled) ? std::string(demangled.get()) : std::string(name);
}

struct DwflDeleter {
    void operator()(Dwfl* dwfl) const { ::dwfl_end(dwfl); }
};

} // namespace

namespace {

// Pieces never cross a page, so a fault ends the copy at the readable prefix.
std::size_t PieceAt(std::uintptr_t at, std::size_t left)
{
    static const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return std::min(left, page - (at % page));
}

bool g_processReadRefused = false;

} // namespace

std::size_t ReadMemoryThroughPipe(std::uintptr_t address, void* buffer, std::size_t size)
{
    // The kernel copies through the pipe and reports an unreadable source as
    // an error instead of a fault. Raw system calls: the sanitizers' wrappers
    // would check the source range themselves.
    static int fds[2] = {-1, -1};
    if (fds[0] < 0 && ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        fds[0] = -1;
        return 0;
    }
    std::size_t done = 0;
    while (done < size) {
        const std::size_t piece = PieceAt(address + done, size - done);
        const long written = ::syscall(SYS_write, fds[1], address + done, piece);
        if (written <= 0) {
            break;
        }
        std::size_t got = 0;
        while (got < static_cast<std::size_t>(written)) {
            const long n = ::syscall(SYS_read, fds[0], static_cast<char*>(buffer) + done + got,
                                     static_cast<std::size_t>(written) - got);
            if (n <= 0) {
                return done + got;
            }
            got += static_cast<std::size_t>(n);
        }
        done += got;
        if (got < piece) {
            break;
        }
    }
    return done;
}

std::size_t ReadMemorySafely(std::uintptr_t address, void* buffer, std::size_t size)
{
    if (g_processReadRefused) {
        return ReadMemoryThroughPipe(address, buffer, size);
    }
    // process_vm_readv stops at the first unreadable iovec element, so page
    // sized pieces give the readable prefix instead of all or nothing.
    std::size_t done = 0;
    while (done < size) {
        iovec local[16];
        iovec remote[16];
        int count = 0;
        std::size_t planned = done;
        while (count < 16 && planned < size) {
            const std::uintptr_t at = address + planned;
            const std::size_t chunk = PieceAt(at, size - planned);
            local[count] = {static_cast<char*>(buffer) + planned, chunk};
            remote[count] = {reinterpret_cast<void*>(at), chunk};
            planned += chunk;
            ++count;
        }
        const ssize_t n = ::process_vm_readv(::getpid(), local, static_cast<unsigned long>(count), remote,
                                             static_cast<unsigned long>(count), 0);
        if (n < 0 && errno != EFAULT && done == 0) {
            // Refused by a sandbox (seccomp) or an old kernel: use the pipe from now on.
            g_processReadRefused = true;
            return ReadMemoryThroughPipe(address, buffer, size);
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
        if (done < planned) {
            break;
        }
    }
    return done;
}

std::optional<std::uintptr_t> ReadWordSafely(std::uintptr_t address)
{
    std::uintptr_t word = 0;
    if (ReadMemorySafely(address, &word, sizeof word) != sizeof word) {
        return std::nullopt;
    }
    return word;
}

CContextPointers ContextPointers(const ucontext_t& context)
{
#if defined(__x86_64__)
    const greg_t* g = context.uc_mcontext.gregs;
    return {static_cast<std::uintptr_t>(g[REG_RIP]), static_cast<std::uintptr_t>(g[REG_RSP]),
            static_cast<std::uintptr_t>(g[REG_RBP])};
#elif defined(__aarch64__)
    const auto& m = context.uc_mcontext;
    return {static_cast<std::uintptr_t>(m.pc), static_cast<std::uintptr_t>(m.sp),
            static_cast<std::uintptr_t>(m.regs[29])};
#else
    (void)context;
    return {};
#endif
}

[[gnu::noinline]] static std::vector<CStackFrame> Walk(std::uintptr_t startAt, int skip)
{
    CWalk walk;
    walk.startAt = startAt;
    walk.started = startAt == 0;
    _Unwind_Backtrace(&CollectFrame, &walk);
    if (!walk.started) {
        return {};
    }
    // Drop this function's own frame and the requested ones.
    const std::size_t drop = std::min(walk.frames.size(), static_cast<std::size_t>(skip) + (startAt == 0 ? 1 : 0));
    walk.frames.erase(walk.frames.begin(), walk.frames.begin() + static_cast<long>(drop));
    for (CStackFrame& frame : walk.frames) {
        ReadArguments(frame);
    }
    return walk.frames;
}

[[gnu::noinline]] std::vector<CStackFrame> CaptureCallStack(int skip)
{
    // One more for this function.
    auto frames = Walk(0, skip + 1);
    asm volatile("" ::: "memory"); // keeps the call above from becoming a tail call
    return frames;
}

std::vector<CStackFrame> CaptureCallStackFromSignal(const ucontext_t& context)
{
    const std::uintptr_t pc = ContextPointers(context).programCounter;
    if (pc == 0) {
        return {};
    }
    return Walk(pc, 0);
}

void ResolveCallStack(std::vector<CStackFrame>& frames)
{
    if (frames.empty()) {
        return;
    }
    static const Dwfl_Callbacks callbacks = {
        &dwfl_linux_proc_find_elf,
        &dwfl_standard_find_debuginfo,
        nullptr,
        nullptr,
    };
    std::unique_ptr<Dwfl, DwflDeleter> dwfl(::dwfl_begin(&callbacks));
    if (dwfl) {
        ::dwfl_report_begin(dwfl.get());
        const int failed = ::dwfl_linux_proc_report(dwfl.get(), ::getpid());
        ::dwfl_report_end(dwfl.get(), nullptr, nullptr);
        if (failed != 0) {
            dwfl.reset();
        }
    }
    backward::TraceResolver resolver;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        CStackFrame& frame = frames[i];
        const std::uintptr_t lookup = LookupAddress(frame);
        Dwfl_Module* module = dwfl ? ::dwfl_addrmodule(dwfl.get(), lookup) : nullptr;
        if (module != nullptr) {
            if (const char* name =
                    ::dwfl_module_info(module, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr)) {
                frame.module = name;
            }
            GElf_Off offset = 0;
            GElf_Sym symbol{};
            if (const char* name =
                    ::dwfl_module_addrinfo(module, lookup, &offset, &symbol, nullptr, nullptr, nullptr)) {
                frame.symbol = Demangle(name);
                frame.displacement = static_cast<std::uintptr_t>(offset) + (lookup != frame.address ? 1 : 0);
            } else {
                Dwarf_Addr relative = lookup;
                Dwarf_Addr bias = 0;
                if (Elf_Scn* section = ::dwfl_module_address_section(module, &relative, &bias)) {
                    frame.section = static_cast<int>(::elf_ndxscn(section));
                    frame.sectionOffset = static_cast<std::uintptr_t>(relative);
                }
            }
            if (Dwfl_Line* line = ::dwfl_module_getsrc(module, lookup)) {
                Dwarf_Addr lineAddress = 0;
                int lineNumber = 0;
                if (const char* file = ::dwfl_lineinfo(line, &lineAddress, &lineNumber, nullptr, nullptr, nullptr)) {
                    frame.sourceFile = file;
                    frame.line = lineNumber;
                    frame.lineDisplacement = static_cast<std::uintptr_t>(frame.address - lineAddress);
                }
            }
        }
        // backward-cpp fills what libdw's plain tables missed (it also finds
        // functions of units without address ranges).
        backward::ResolvedTrace trace;
        trace.addr = reinterpret_cast<void*>(lookup);
        trace.idx = i;
        trace = resolver.resolve(trace);
        if (frame.module.empty() && !trace.object_filename.empty()) {
            frame.module = trace.object_filename;
        }
        if (frame.symbol.empty() && !trace.object_function.empty()) {
            frame.symbol = trace.object_function;
        }
        if (frame.sourceFile.empty() && !trace.source.filename.empty() && trace.source.line > 0) {
            frame.sourceFile = trace.source.filename;
            frame.line = static_cast<int>(trace.source.line);
        }
    }
}

std::string FormatStackFrame(const CStackFrame& frame)
{
    std::string text = "\t";
    text += frame.module.empty() ? std::string("(Unknown module)") : FileNamePart(frame.module);
    text += "!";
    if (!frame.symbol.empty()) {
        text += StringPrintf("%s + 0x%" PRIxPTR, frame.symbol.c_str(), frame.displacement);
    } else if (frame.section > 0) {
        text += StringPrintf("%04x:%0*" PRIxPTR " (%s)", static_cast<unsigned>(frame.section), kAddressDigits,
                             frame.sectionOffset, HexAddress(frame.address).c_str());
    } else {
        text += "(unknown function: " + HexAddress(frame.address) + ")";
    }
    text += " (\t";
    for (const CStackWord& word : frame.arguments) {
        text += HexAddress(word.value) + " [" + (word.target ? HexAddress(*word.target) : std::string("invalidptr")) +
                "]\t";
    }
    text += ")";
    if (!frame.sourceFile.empty() && frame.line > 0) {
        text += StringPrintf(" (file: %s, line %d + 0x%" PRIxPTR ")", frame.sourceFile.c_str(), frame.line,
                             frame.lineDisplacement);
    }
    return text + "\n";
}

std::string FormatCallStack(const std::vector<CStackFrame>& frames)
{
    if (frames.empty()) {
        return "Unknown!Unknown\n";
    }
    std::string text = "Callstack:\n";
    for (const CStackFrame& frame : frames) {
        text += FormatStackFrame(frame);
    }
    return text + "\n";
}

} // namespace bram

#include "log/CrashHandler.h"

#include "base/Paths.h"
#include "base/Text.h"
#include "log/CallStack.h"
#include "log/Diagnostics.h"
#include "log/MachineInfo.h"
#include "log/MiniDump.h"

#include <cerrno>
#include <cinttypes>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <exception>
#include <new>
#include <sys/wait.h>
#include <typeinfo>
#include <unistd.h>

namespace bram {

const char* const kPureVirtualCallText =
    "A critical error occured. Please send feedback to the program author.\nError information after OK.\n"
    "You will find the debug files in your personal folder (for example %AppData%/brambleton)";

namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT};
constexpr std::size_t kSignalCount = std::size(kFatalSignals);
// The handler resolves symbols with libdw, which needs far more than the
// usual minimum signal stack.
constexpr std::size_t kAlternateStackSize = 256 * 1024;
// The report may find the process too broken to finish (a heap lock held by
// the failed code, say); rather than hang, the process ends after this long.
constexpr unsigned kReportSeconds = 30;
// A fault this close to the stack pointer is the stack running into its guard.
constexpr std::uintptr_t kStackOverflowReach = 64 * 1024;

struct CHandlerState {
    bool installed = false;
    struct sigaction previous[kSignalCount];
    stack_t previousStack{};
    bool stackChanged = false;
    std::terminate_handler previousTerminate = nullptr;
    // The helper command with two free places for title and text and the end mark.
    std::vector<std::string> command;
    std::vector<char*> argv;
    bool toStandardError = false;
};

CHandlerState& State()
{
    static CHandlerState state;
    return state;
}

alignas(16) char g_alternateStack[kAlternateStackSize];
volatile std::sig_atomic_t g_handling = 0;

// Only fork, exec, write and wait: nothing here may need the state of the
// crashed process.
void ShowFatalError(const std::string& text)
{
    // The user may take their time with the box; the report is done.
    ::alarm(0);
    static const char title[] = "Fatal Error";
    CHandlerState& state = State();
    if (state.toStandardError) {
        WriteFully(STDERR_FILENO, title);
        WriteFully(STDERR_FILENO, ": ");
        WriteFully(STDERR_FILENO, text);
        WriteFully(STDERR_FILENO, "\n");
    }
    if (state.argv.size() < 3) {
        return;
    }
    const std::size_t n = state.argv.size();
    state.argv[n - 3] = const_cast<char*>(title);
    state.argv[n - 2] = const_cast<char*>(text.c_str());
    const pid_t child = ::fork();
    if (child == 0) {
        ::execv(state.argv[0], state.argv.data());
        ::_exit(127);
    }
    if (child > 0) {
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

// The module and symbol of the faulting instruction when the stack cannot be walked.
CStackFrame PlaceOf(std::uintptr_t address)
{
    std::vector<CStackFrame> frames(1);
    frames[0].address = address;
    frames[0].returnAddress = false;
    ResolveCallStack(frames);
    return frames[0];
}

// " in <module> at <symbol> + <displacement> ", each part when known.
void WritePlace(const CStackFrame& place)
{
    CDiagnostics& diagnostics = CDiagnostics::Instance();
    if (!place.module.empty()) {
        diagnostics.Write(" in " + FileNamePart(place.module));
    }
    if (!place.symbol.empty()) {
        diagnostics.Write(StringPrintf(" at %s + %d ", place.symbol.c_str(), static_cast<int>(place.displacement)));
    }
}

// The first frame outside the C++ runtime: where an uncaught exception came from.
const CStackFrame* FirstOwnFrame(const std::vector<CStackFrame>& frames)
{
    for (const CStackFrame& frame : frames) {
        const std::string name = FileNamePart(frame.module);
        if (!StartsWith(name, "libstdc++") && !StartsWith(name, "libgcc_s") && !StartsWith(name, "libc.") &&
            !StartsWith(name, "libc++")) {
            return &frame;
        }
    }
    return nullptr;
}

std::string DescribeCurrentException()
{
    const std::type_info* type = abi::__cxa_current_exception_type();
    if (type == nullptr) {
        return {};
    }
    int status = 0;
    char* demangled = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
    std::string text = "Uncaught exception of type ";
    text += (status == 0 && demangled != nullptr) ? demangled : type->name();
    std::free(demangled);
    try {
        throw;
    } catch (const std::exception& e) {
        text += std::string(": ") + e.what();
    } catch (...) {
    }
    return text + "\n\n";
}

// Ends the process the way the failure would have without us, so that the
// parent sees a crash and not a success.
[[noreturn]] void EndProcess(int signal)
{
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(signal);
    ::_exit(128 + signal);
}

// Every report starts here. A failure while reporting a failure gives up at once.
void BeginReport(int signal)
{
    if (g_handling != 0) {
        EndProcess(signal);
    }
    g_handling = 1;
    // Every line before the report is on disk before the report begins,
    // and each part of the report as soon as it is written.
    const int savedErrno = errno;
    CDiagnostics::Instance().WriteUnbuffered();
    errno = savedErrno;
    ::alarm(kReportSeconds);
}

[[noreturn]] void FinishReport(const std::string& message, int signal)
{
    ShowFatalError(message);
    CDiagnostics::Instance().TearDown();
    EndProcess(signal);
}

void OnFatalSignal(int signal, siginfo_t* info, void* raw)
{
    BeginReport(signal);
    const ucontext_t& context = *static_cast<const ucontext_t*>(raw);
    const CContextPointers pointers = ContextPointers(context);
    const std::uintptr_t pc = pointers.programCounter;
    const char* name =
        ExceptionNameOf(signal, info->si_code, reinterpret_cast<std::uintptr_t>(info->si_addr), pointers.stackPointer);
    CDiagnostics& diagnostics = CDiagnostics::Instance();
    diagnostics.Write(StringPrintf("An %s occured", name));
    // One walk serves the place and the call stack.
    std::vector<CStackFrame> frames = CaptureCallStackFromSignal(context);
    ResolveCallStack(frames);
    WritePlace(!frames.empty() ? frames.front() : PlaceOf(pc));
    diagnostics.Write(FormatRegisterBlock(context));
    diagnostics.Write(FormatCallStack(frames));
    diagnostics.WriteMiniDump(&context, info);
    FinishReport(FatalErrorText(name), signal);
}

// The name of what ended the program through the terminate handler: an
// allocation that failed says so, anything else is unknown.
const char* TerminateName()
{
    if (abi::__cxa_current_exception_type() == nullptr) {
        return "EXCEPTION_UNKNOWN";
    }
    try {
        throw;
    } catch (const std::bad_array_new_length&) {
        return "EXCEPTION_UNKNOWN"; // a size computed wrong, not memory running out
    } catch (const std::bad_alloc&) {
        return "EXCEPTION_OUT_OF_MEMORY";
    } catch (...) {
        return "EXCEPTION_UNKNOWN";
    }
}

[[gnu::noinline, noreturn]] void OnTerminate()
{
    BeginReport(SIGABRT);
    ucontext_t context{};
    ::getcontext(&context);
    const char* name = TerminateName();
    CDiagnostics& diagnostics = CDiagnostics::Instance();
    diagnostics.Write(StringPrintf("An %s occured", name));
    std::vector<CStackFrame> frames = CaptureCallStack(1);
    ResolveCallStack(frames);
    if (const CStackFrame* place = FirstOwnFrame(frames)) {
        WritePlace(*place);
    }
    diagnostics.Write(FormatRegisterBlock(context));
    diagnostics.Write(DescribeCurrentException());
    diagnostics.Write(FormatCallStack(frames));
    diagnostics.WriteMiniDump(&context);
    FinishReport(FatalErrorText(name), SIGABRT);
}

[[gnu::noinline, noreturn]] void ReportPureVirtualCall()
{
    BeginReport(SIGABRT);
    ucontext_t context{};
    ::getcontext(&context);
    CDiagnostics& diagnostics = CDiagnostics::Instance();
    diagnostics.Write("An EXCEPTION_PURE_VIRTUAL_FUNCTION_CALL occured");
    std::vector<CStackFrame> frames = CaptureCallStack(0);
    ResolveCallStack(frames);
    // The stack starts at the place of the call: without this function and
    // the runtime's entry point.
    while (!frames.empty() && (frames.front().symbol.find("ReportPureVirtualCall") != std::string::npos ||
                               frames.front().symbol.find("__cxa_pure_virtual") != std::string::npos)) {
        frames.erase(frames.begin());
    }
    if (!frames.empty()) {
        const CStackFrame& place = frames.front();
        if (!place.module.empty()) {
            diagnostics.Write(" in module " + FileNamePart(place.module));
        }
        if (!place.symbol.empty()) {
            diagnostics.Write(StringPrintf(" at %s + 0x%" PRIxPTR " (%s)", place.symbol.c_str(), place.displacement,
                                           HexAddress(place.address).c_str()));
        } else if (place.section > 0) {
            diagnostics.Write(StringPrintf(" at %04x:%0*" PRIxPTR " (%s)", static_cast<unsigned>(place.section),
                                           kAddressDigits, place.sectionOffset, HexAddress(place.address).c_str()));
        }
    }
    const CContextPointers pointers = ContextPointers(context);
#if defined(__x86_64__)
    const char* names[] = {"RIP", "RSP", "RBP"};
#elif defined(__aarch64__)
    const char* names[] = {"PC", "SP", "FP"};
#else
    const char* names[] = {"EIP", "ESP", "EBP"};
#endif
    diagnostics.Write(
        StringPrintf("\n%s: %s, %s: %s, %s: %s\n\n", names[0], HexAddress(pointers.programCounter).c_str(), names[1],
                     HexAddress(pointers.stackPointer).c_str(), names[2], HexAddress(pointers.framePointer).c_str()));
    diagnostics.Write(FormatCallStack(frames));
    diagnostics.WriteMiniDump(&context);
    FinishReport(kPureVirtualCallText, SIGABRT);
}

} // namespace

const char* ExceptionNameOf(int signal, int code, std::uintptr_t faultAddress, std::uintptr_t stackPointer)
{
    switch (signal) {
    case SIGSEGV:
        if (stackPointer != 0 && faultAddress < stackPointer + 4096 &&
            faultAddress + kStackOverflowReach > stackPointer) {
            return "EXCEPTION_STACK_OVERFLOW";
        }
        return "EXCEPTION_ACCESS_VIOLATION";
    case SIGBUS:
        // A misaligned access, else a mapped file whose pages are gone.
        return code == BUS_ADRALN ? "EXCEPTION_DATATYPE_MISALIGNMENT" : "EXCEPTION_IN_PAGE_ERROR";
    case SIGFPE:
        switch (code) {
        case FPE_INTDIV: return "EXCEPTION_INT_DIVIDE_BY_ZERO";
        case FPE_INTOVF: return "EXCEPTION_INT_OVERFLOW";
        case FPE_FLTDIV: return "EXCEPTION_FLT_DIVIDE_BY_ZERO";
        case FPE_FLTOVF: return "EXCEPTION_FLT_OVERFLOW";
        case FPE_FLTUND: return "EXCEPTION_FLT_UNDERFLOW";
        case FPE_FLTRES: return "EXCEPTION_FLT_INEXACT_RESULT";
        case FPE_FLTINV: return "EXCEPTION_FLT_INVALID_OPERATION";
        case FPE_FLTSUB: return "EXCEPTION_ARRAY_BOUNDS_EXCEEDED";
        default: return "EXCEPTION_UNKNOWN";
        }
    case SIGILL:
        return (code == ILL_PRVOPC || code == ILL_PRVREG) ? "EXCEPTION_PRIV_INSTRUCTION"
                                                          : "EXCEPTION_ILLEGAL_INSTRUCTION";
    case SIGTRAP: return code == TRAP_TRACE ? "EXCEPTION_SINGLE_STEP" : "EXCEPTION_BREAKPOINT";
    default: return "EXCEPTION_UNKNOWN";
    }
}

std::string FormatRegisterBlock(const ucontext_t& context)
{
#if defined(__x86_64__)
    const greg_t* g = context.uc_mcontext.gregs;
    auto r = [&](int index) { return HexAddress(static_cast<std::uintptr_t>(g[index])); };
    const auto csgsfs = static_cast<std::uint64_t>(g[REG_CSGSFS]);
    return "\nRAX: " + r(REG_RAX) + "\tRBX: " + r(REG_RBX) + "\tRCX: " + r(REG_RCX) + "\nRDX: " + r(REG_RDX) +
           "\tRBP: " + r(REG_RBP) + "\tRIP: " + r(REG_RIP) + "\nRSP: " + r(REG_RSP) + "\tRDI: " + r(REG_RDI) +
           "\tRSI: " + r(REG_RSI) + "\nR8: " + r(REG_R8) + "\tR9: " + r(REG_R9) + "\tR10: " + r(REG_R10) +
           "\nR11: " + r(REG_R11) + "\tR12: " + r(REG_R12) + "\tR13: " + r(REG_R13) + "\nR14: " + r(REG_R14) +
           "\tR15: " + r(REG_R15) +
           StringPrintf("\nEFlags: 0x%08x\tSegCs: 0x%08x\tSegSs: 0x%08x\n\n", static_cast<unsigned>(g[REG_EFL]),
                        static_cast<unsigned>(csgsfs & 0xffff), static_cast<unsigned>((csgsfs >> 48) & 0xffff));
#elif defined(__aarch64__)
    std::string text;
    for (int i = 0; i < 31; ++i) {
        text += StringPrintf("%sX%d: %s", i % 3 == 0 ? "\n" : "\t", i,
                             HexAddress(static_cast<std::uintptr_t>(context.uc_mcontext.regs[i])).c_str());
    }
    return text + "\nSP: " + HexAddress(context.uc_mcontext.sp) + "\tPC: " + HexAddress(context.uc_mcontext.pc) +
           StringPrintf("\tPState: 0x%08x\n\n", static_cast<unsigned>(context.uc_mcontext.pstate));
#else
    (void)context;
    return "\n\n";
#endif
}

std::string FatalErrorText(const char* exceptionName)
{
    return StringPrintf("A critical error occured. Please send feedback to the program author.\n"
                        "Additional information: %s.\nYou will find the debug files in your personal program "
                        "folder (for example %%AppData%%/brambleton).",
                        exceptionName);
}

void SetFatalErrorCommand(std::vector<std::string> command)
{
    CHandlerState& state = State();
    state.command = std::move(command);
    state.argv.clear();
    if (state.command.empty()) {
        return;
    }
    for (std::string& part : state.command) {
        state.argv.push_back(part.data());
    }
    state.argv.insert(state.argv.end(), {nullptr, nullptr, nullptr});
}

void SetFatalErrorToStandardError(bool on) { State().toStandardError = on; }

bool CrashHandlersInstalled() { return State().installed; }

void InstallCrashHandlers()
{
    CHandlerState& state = State();
    if (state.installed) {
        return;
    }
    stack_t stack{};
    stack.ss_sp = g_alternateStack;
    stack.ss_size = sizeof g_alternateStack;
    state.stackChanged = ::sigaltstack(&stack, &state.previousStack) == 0;
    for (std::size_t i = 0; i < kSignalCount; ++i) {
        struct sigaction action {};
        action.sa_sigaction = &OnFatalSignal;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        ::sigaction(kFatalSignals[i], &action, &state.previous[i]);
    }
    state.previousTerminate = std::set_terminate(&OnTerminate);
    g_handling = 0;
    state.installed = true;
}

void RemoveCrashHandlers()
{
    CHandlerState& state = State();
    if (!state.installed) {
        return;
    }
    for (std::size_t i = 0; i < kSignalCount; ++i) {
        ::sigaction(kFatalSignals[i], &state.previous[i], nullptr);
    }
    if (state.stackChanged) {
        // Keep a stack another owner installed meanwhile; drop only ours.
        stack_t current{};
        if (::sigaltstack(nullptr, &current) == 0 && current.ss_sp == g_alternateStack &&
            (current.ss_flags & SS_ONSTACK) == 0) {
            stack_t restore = state.previousStack;
            if (restore.ss_sp == nullptr) {
                restore.ss_flags = SS_DISABLE;
            }
            ::sigaltstack(&restore, nullptr);
        }
    }
    std::set_terminate(state.previousTerminate);
    state.installed = false;
}

} // namespace bram

// Not marked noreturn: the C++ runtime header declares it without, and clang
// refuses the attribute on a later declaration.
extern "C" void __cxa_pure_virtual()
{
    if (!bram::CrashHandlersInstalled()) {
        static const char text[] = "pure virtual method called\n";
        bram::WriteFully(STDERR_FILENO, text);
        std::terminate();
    }
    bram::ReportPureVirtualCall();
}

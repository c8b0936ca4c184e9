#include "MiniDumpReader.h"
#include "TestSupport.h"

#include "base/Text.h"
#include "log/CrashHandler.h"
#include "log/Diagnostics.h"
#include "log/MachineInfo.h"
#include "log/MiniDump.h"

#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <new>
#include <regex>
#include <stdexcept>
#include <sys/wait.h>
#include <tuple>

#if defined(__SANITIZE_ADDRESS__)
#define BRAMBLETON_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BRAMBLETON_UNDER_ASAN 1
#endif
#endif

#if defined(BRAMBLETON_UNDER_ASAN)
#include <sanitizer/asan_interface.h>
#endif

namespace bram {

// Outside the anonymous namespace: with the whole class tree known, the
// compiler would turn the pure call into a call of the only override.
namespace crashtest {
struct CPureBase;
void CallRunOf(CPureBase* object);
struct CPureBase {
    CPureBase() { CallRunOf(this); }
    virtual ~CPureBase() = default;
    virtual void Run() = 0;
};
struct CPureDerived : CPureBase {
    void Run() override {}
};
[[gnu::noinline]] void CallRunOf(CPureBase* object)
{
    object->Run();
    asm volatile("" ::: "memory"); // no tail call: this is the place of the call
}
} // namespace crashtest

namespace {
using crashtest::CPureDerived;

// One crash per way into the report: a fault signal (other signals take the
// same path under another name), the stack overflow on the alternate stack,
// the terminate handler and the pure virtual call handler. Each lives in its
// own function so that the report must name it.
volatile std::uintptr_t g_badAddress = 16;
volatile int g_keepGoing = 1;

[[gnu::noinline]] void CrashWithAccessFault() { *reinterpret_cast<volatile int*>(g_badAddress) = 1; }

[[gnu::noinline]] void ThrowSomething() { throw std::runtime_error("nobody catches this"); }

// noexcept ends the unwinding here, so the exception is uncaught although
// the test framework would catch it further up.
[[gnu::noinline]] void CrashWithUncaughtException() noexcept { ThrowSomething(); }

// What a failed allocation throws; the report says the memory ran out.
[[gnu::noinline]] void RunOutOfMemory() { throw std::bad_alloc(); }
[[gnu::noinline]] void CrashWithOutOfMemory() noexcept { RunOutOfMemory(); }

[[gnu::noinline]] void CrashWithPureVirtualCall() { CPureDerived object; }

[[gnu::noinline]] int CrashWithStackOverflow(int depth)
{
    volatile char buffer[512];
    buffer[0] = static_cast<char>(depth);
    if (g_keepGoing == 0) {
        return 0;
    }
    return CrashWithStackOverflow(depth + 1) + buffer[0];
}

struct CCrashCase {
    const char* name;
    void (*crash)();
    int signal;
    const char* exceptionName;
    const char* function;
    bool hasExceptionStream;
    const char* place = nullptr; // the function named as the place, when not `function`
};

const CCrashCase kCrashes[] = {
    {"AccessFault", &CrashWithAccessFault, SIGSEGV, "EXCEPTION_ACCESS_VIOLATION", "CrashWithAccessFault", true},
    {"UncaughtException", &CrashWithUncaughtException, SIGABRT, "EXCEPTION_UNKNOWN", "CrashWithUncaughtException",
     false, "ThrowSomething"},
    {"OutOfMemory", &CrashWithOutOfMemory, SIGABRT, "EXCEPTION_OUT_OF_MEMORY", "CrashWithOutOfMemory", false,
     "RunOutOfMemory"},
    {"PureVirtualCall", &CrashWithPureVirtualCall, SIGABRT, "EXCEPTION_PURE_VIRTUAL_FUNCTION_CALL",
     "CrashWithPureVirtualCall", false, "CallRunOf"},
    {"StackOverflow", [] { CrashWithStackOverflow(0); }, SIGSEGV, "EXCEPTION_STACK_OVERFLOW", "CrashWithStackOverflow",
     true},
};

class CrashTest : public ::testing::TestWithParam<CCrashCase> {
protected:
    void TearDown() override { test::ResetProcessState(); }
    test::CTempDir m_dir;
};

// The child ends by the signal of its failure, not as a success.
bool EndedBy(int status, int signal) { return WIFSIGNALED(status) && WTERMSIG(status) == signal; }

TEST_P(CrashTest, LeavesReportAndDump)
{
    const CCrashCase& c = GetParam();
#if defined(BRAMBLETON_UNDER_ASAN)
    if (std::string(c.name) == "StackOverflow" && __asan_get_current_fake_stack() != nullptr) {
        GTEST_SKIP() << "with detect_stack_use_after_return the frames live on the heap and never overflow";
    }
#endif
    const std::string dir = m_dir.Path();
    const std::string helperOut = m_dir / "box.txt";
    EXPECT_EXIT(
        {
            // The GUI's way (a helper process shows the box) and the CLI's way
            // (standard error) at once.
            SetFatalErrorCommand({"/bin/sh", "-c", "printf '%s|%s' \"$1\" \"$2\" > '" + helperOut + "'", "sh"});
            SetFatalErrorToStandardError(true);
            CDiagnostics::Instance().SetUp(dir + "Log.log", dir + "Dump", false);
            // Still in the log's buffer when the crash comes.
            CDiagnostics::Instance().Write("Last line before the crash.\n");
            c.crash();
            std::_Exit(0);
        },
        [&](int status) { return EndedBy(status, c.signal); }, "Fatal Error: A critical error occured\\.");

    const std::string log = test::ReadLog(m_dir / "Log.log");
    const std::string occured = std::string("An ") + c.exceptionName + " occured";
    const auto at = log.find(occured);
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_EQ(log.rfind("Last line before the crash.\n", at), at - 28) << "the line right before the report";
    const std::string report = log.substr(at);
    const std::regex placeForm(std::string(" in (module )?brambleton-core-tests at [^\\n]*") +
                               (c.place != nullptr ? c.place : c.function));
    EXPECT_TRUE(std::regex_search(report, placeForm)) << report.substr(0, 4000);
    const auto stack = report.find("Callstack:\n");
    ASSERT_NE(stack, std::string::npos) << report;
    EXPECT_NE(report.find(std::string("brambleton-core-tests!bram::(anonymous namespace)::") + c.function, stack),
              std::string::npos)
        << report.substr(stack, 2000);
    EXPECT_NE(report.find("SP: 0x"), std::string::npos) << "register block";

    const std::string box = test::ReadFile(helperOut);
    EXPECT_EQ(box.rfind("Fatal Error|A critical error occured. Please send feedback to the program author.\n", 0), 0u)
        << box;
    if (std::string(c.name) != "PureVirtualCall") {
        EXPECT_NE(box.find(std::string("Additional information: ") + c.exceptionName +
                           ".\nYou will find the debug files in your personal program folder (for example "
                           "%AppData%/brambleton)."),
                  std::string::npos)
            << box;
    } else {
        EXPECT_EQ(box, std::string("Fatal Error|") + kPureVirtualCallText);
    }

    const auto dumps = test::ListDumpFiles(dir);
    ASSERT_EQ(dumps.size(), 1u);
    const test::CReadDump dump = test::ReadMiniDump(test::ReadFile(dumps[0]));
    ASSERT_EQ(dump.error, "");
    EXPECT_EQ(dump.threadCount, 1u);
    EXPECT_NE(std::find(dump.moduleNames.begin(), dump.moduleNames.end(), ExecutablePath()), dump.moduleNames.end());
    EXPECT_EQ(dump.exceptionCode, c.hasExceptionStream ? std::optional<std::uint32_t>(c.signal) : std::nullopt);
    EXPECT_TRUE(dump.comment.empty());
    test::ExpectStackPointerInSavedStack(dump, std::string(c.name) == "StackOverflow" ? 4096 : 0);
}

INSTANTIATE_TEST_SUITE_P(Crashes, CrashTest, ::testing::ValuesIn(kCrashes),
                         [](const ::testing::TestParamInfo<CCrashCase>& info) { return info.param.name; });

TEST(CrashHandlerTest, SignalsAreNamedByMeaning)
{
    const std::uintptr_t sp = 0x7ffd00010000;
    // Signal, code, fault address, name.
    const std::tuple<int, int, std::uintptr_t, const char*> cases[] = {
        // A fault within reach below the stack pointer is the stack running out.
        {SIGSEGV, SEGV_MAPERR, 0, "EXCEPTION_ACCESS_VIOLATION"},
        {SIGSEGV, SEGV_MAPERR, sp - 8, "EXCEPTION_STACK_OVERFLOW"},
        {SIGSEGV, SEGV_MAPERR, sp - 70000, "EXCEPTION_ACCESS_VIOLATION"},
        {SIGBUS, BUS_ADRALN, 0x1001, "EXCEPTION_DATATYPE_MISALIGNMENT"},
        {SIGBUS, BUS_ADRERR, 0x1000, "EXCEPTION_IN_PAGE_ERROR"},
        {SIGFPE, 0, 0, "EXCEPTION_UNKNOWN"},
        {SIGABRT, SI_TKILL, 0, "EXCEPTION_UNKNOWN"},
    };
    for (const auto& [signal, code, address, name] : cases) {
        EXPECT_STREQ(ExceptionNameOf(signal, code, address, sp), name) << signal << "/" << code;
    }
}

TEST(CrashHandlerTest, TearDownRemovesTheHandlers)
{
    test::CTempDir dir;
    struct sigaction before {};
    ::sigaction(SIGSEGV, nullptr, &before);
    CDiagnostics::Instance().SetUp(dir / "Log.log", dir / "Dump", false);
    EXPECT_TRUE(CrashHandlersInstalled());
    struct sigaction during {};
    ::sigaction(SIGSEGV, nullptr, &during);
    EXPECT_NE(during.sa_flags & SA_ONSTACK, 0) << "runs on the alternate stack";
    stack_t stack{};
    ::sigaltstack(nullptr, &stack);
    EXPECT_EQ(stack.ss_flags & SS_DISABLE, 0);
    CDiagnostics::Instance().TearDown();
    EXPECT_FALSE(CrashHandlersInstalled());
    struct sigaction after {};
    ::sigaction(SIGSEGV, nullptr, &after);
    EXPECT_EQ(reinterpret_cast<void*>(after.sa_sigaction), reinterpret_cast<void*>(before.sa_sigaction));
}

TEST(CrashHandlerTest, WithoutSetUpAPureVirtualCallEndsTheUsualWay)
{
    EXPECT_DEATH(CrashWithPureVirtualCall(), "pure virtual method called");
}

} // namespace
} // namespace bram

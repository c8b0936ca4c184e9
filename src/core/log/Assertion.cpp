#include "log/Assertion.h"

#include "base/Text.h"
#include "log/Diagnostics.h"
#include "log/Log.h"

#include <unistd.h>

namespace bram {

namespace {
AssertionQuestionHook& QuestionHook()
{
    static AssertionQuestionHook hook;
    return hook;
}
unsigned g_failureCount = 0;
} // namespace

void SetAssertionQuestionHook(AssertionQuestionHook hook) { QuestionHook() = std::move(hook); }

unsigned GetAssertionFailureCount() { return g_failureCount; }

[[gnu::noinline]] int AssertionFailed(const char* file, int line)
{
    ++g_failureCount;
    CDiagnostics& diagnostics = CDiagnostics::Instance();
    bool shutDown = false;
    if (diagnostics.GetPrintAssertions() && QuestionHook()) {
        shutDown = QuestionHook()(
            StringPrintf("An internal program assertion failed.\r\n\r\nAdditional information: file %s, line %d.\r\n"
                         "Shall program shut down?\r\nNOTE: The editor will probably be instable.\r\n"
                         "Please send also information to the program author.",
                         file, line));
    }
    LogPrintfA("Assertion at: file %s, line %d.\n", file, line);
    // One frame skipped, the stack writer's own: the stack starts here.
    diagnostics.WriteCallStack(1);
    // The lines up to here are on disk before the dump is written.
    diagnostics.Flush();
    diagnostics.WriteMiniDump(nullptr, nullptr, StringPrintf("Assertion at: file %s, line %d.", file, line));
    if (shutDown) {
        diagnostics.TearDown();
        ::_exit(1);
    }
    return 1;
}

} // namespace bram

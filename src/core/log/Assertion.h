#pragma once
// The assertion routine that guards internal consistency checks. Execution
// goes on after a failed check unless the user chooses to shut down.

#include <functional>
#include <string>
#include <string_view>

namespace bram {

// Asks the user whether to shut down; true means Yes. The GUI installs a
// message box; without a hook the answer is No.
using AssertionQuestionHook = std::function<bool(const std::string& message)>;
void SetAssertionQuestionHook(AssertionQuestionHook hook);

// Returns 1 when the program goes on.
int AssertionFailed(const char* file, int line);

// How often the routine ran in this process; lets tests see a failed check.
unsigned GetAssertionFailureCount();

constexpr const char* SourceFileName(const char* path)
{
    const char* name = path;
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '/' || *p == '\\') {
            name = p + 1;
        }
    }
    return name;
}

} // namespace bram

#define BRAMBLETON_ASSERT(cond)                                                                                        \
    ((cond) ? static_cast<void>(0)                                                                                     \
            : static_cast<void>(::bram::AssertionFailed(::bram::SourceFileName(__FILE__), __LINE__)))

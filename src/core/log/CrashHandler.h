#pragma once
// Crash handling: fatal signals (on an alternate stack, so that a stack
// overflow is reported too), uncaught C++ exceptions and pure virtual calls
// are described in the report with registers and call stack, a minidump is
// written, the user is told, and the process ends.

#include <cstdint>
#include <string>
#include <vector>

#include <ucontext.h>

namespace bram {

void InstallCrashHandlers();
void RemoveCrashHandlers();
bool CrashHandlersInstalled();

// How the user learns of a crash. A signal handler cannot run window code, so
// the GUI names a helper command (program path and arguments) that is started
// with fork/exec and shows the "Fatal Error" box; it gets the title and the
// text as two more arguments and the handler waits for it. The CLI writes the
// text to standard error instead. Both may be set; neither means silence.
void SetFatalErrorCommand(std::vector<std::string> command);
void SetFatalErrorToStandardError(bool on);

// The report's name of a fatal signal, by its meaning.
const char* ExceptionNameOf(int signal, int code, std::uintptr_t faultAddress, std::uintptr_t stackPointer);
// The register block after "An ... occured ...".
std::string FormatRegisterBlock(const ucontext_t& context);
// The "Fatal Error" text for a named exception.
std::string FatalErrorText(const char* exceptionName);
extern const char* const kPureVirtualCallText;

} // namespace bram

#pragma once
// The subcommands of brambleton-cli. Each one registers itself here; main
// parses the global options and dispatches.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace bram::cli {

enum ExitCode { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

struct CCliContext {
    std::string workdir;    // stands for the program folder
    std::string invocation; // the original working folder, for relative arguments
};

struct CCliCommand {
    std::string name;
    std::string usage;       // the argument synopsis after the name
    std::string description; // shown by --help
    std::function<int(const CCliContext&, const std::vector<std::string>& args)> run;
};

std::vector<CCliCommand>& Commands();
// The registered command of that name, or null.
const CCliCommand* CommandNamed(const std::string& name);

struct CCliCommandRegistration {
    explicit CCliCommandRegistration(CCliCommand command) { Commands().push_back(std::move(command)); }
};

// Prints "usage: ..." for the command on stderr and returns kExitUsage.
int UsageError(const CCliCommand& command, const std::string& problem);

// An argument path taken from the caller's working folder.
std::string ArgumentPath(const CCliContext& context, const std::string& path);

// A name or text as printed: control characters (C0, DEL and C1) become
// escapes, so that it can neither forge lines or fields nor send terminal
// controls.
std::string Printable(std::string_view text);

} // namespace bram::cli

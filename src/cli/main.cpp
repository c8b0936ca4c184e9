#include "CliCommand.h"
#include "StartUp.h"

#include "Version.h"
#include "app/ApplicationCore.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "log/CrashHandler.h"

#include <cstdio>
#include <iostream>
#include <unistd.h>

namespace bram::cli {

std::vector<CCliCommand>& Commands()
{
    static std::vector<CCliCommand> commands;
    return commands;
}

const CCliCommand* CommandNamed(const std::string& name)
{
    for (const CCliCommand& c : Commands()) {
        if (c.name == name) {
            return &c;
        }
    }
    return nullptr;
}

int UsageError(const CCliCommand& command, const std::string& problem)
{
    std::cerr << "brambleton-cli " << command.name << ": " << problem << "\n"
              << "usage: brambleton-cli [--workdir DIR] " << command.name << " " << command.usage << "\n";
    return kExitUsage;
}

std::string ArgumentPath(const CCliContext& context, const std::string& path)
{
    return ResolveFrom(context.invocation, path);
}

std::string Printable(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) {
            out += StringPrintf("\\x%02X", c);
        } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0 &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80) {
            out += StringPrintf("\\u%04X", static_cast<unsigned char>(text[++i]));
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace bram::cli

namespace {

using namespace bram;
using namespace bram::cli;

void PrintHelp(std::FILE* out)
{
    std::fprintf(out,
                 "brambleton-cli %s - the headless tool of the Brambleton script editor\n\n"
                 "usage: brambleton-cli [--workdir DIR] [--help] [--version] COMMAND [ARGS...]\n\n"
                 "  --workdir DIR  the program folder (holds brambleton.ini); default: the working folder\n"
                 "  --help         show this text\n"
                 "  --version      run the start-up in the program folder and print the version\n",
                 BRAMBLETON_VERSION_STRING);
    if (!Commands().empty()) {
        std::fprintf(out, "\ncommands:\n");
        for (const CCliCommand& c : Commands()) {
            std::fprintf(out, "  %s %s\n      %s\n", c.name.c_str(), c.usage.c_str(), c.description.c_str());
        }
    }
    std::fprintf(out, "\nexit status: 0 success, 1 failure, 2 usage error\n");
}

std::string CurrentFolder()
{
    char buf[4096];
    return ::getcwd(buf, sizeof buf) != nullptr ? std::string(buf) : std::string(".");
}

int Version(const CCliContext& context)
{
    CStartupOptions options;
    options.loadMainData = false;
    bool ok = false;
    {
        const CCliStartUp startUp(context, options); // prints why it failed
        ok = startUp.Succeeded();
    }
    if (!ok) {
        std::fprintf(stderr, "Error while initializing application.\n");
        return kExitFailure;
    }
    std::printf("brambleton-cli %s\n", BRAMBLETON_VERSION_STRING);
    return kExitOk;
}

} // namespace

int main(int argc, char** argv)
{
    // No window to show a crash in: the "Fatal Error" text goes to standard error.
    SetFatalErrorToStandardError(true);
    CCliContext context;
    context.invocation = CurrentFolder();
    context.workdir = context.invocation;
    std::vector<std::string> args(argv + 1, argv + argc);
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            PrintHelp(stdout);
            return kExitOk;
        }
        if (a == "--version") {
            return Version(context);
        }
        if (a == "--workdir") {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "brambleton-cli: --workdir needs a folder\n");
                return kExitUsage;
            }
            context.workdir = ResolveFrom(context.invocation, args[++i]);
            continue;
        }
        break;
    }
    if (i >= args.size()) {
        PrintHelp(stderr);
        return kExitUsage;
    }
    for (const CCliCommand& command : Commands()) {
        if (command.name == args[i]) {
            return command.run(context, std::vector<std::string>(args.begin() + static_cast<long>(i) + 1, args.end()));
        }
    }
    std::fprintf(stderr, "brambleton-cli: unknown command '%s'\n", args[i].c_str());
    PrintHelp(stderr);
    return kExitUsage;
}

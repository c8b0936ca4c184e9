// brambleton-cli run: generates a data file's script to a temporary file and
// runs it as the [Run] settings say; the script's output passes through,
// error lines that name a line of a trigger are reported with its place.

#include "CliCommand.h"
#include "StartUp.h"
#include "base/ChildProcess.h"
#include "code/State.h"
#include "document/ApplicationDocument.h"
#include "document/ScriptRun.h"
#include "generation/GenerationSettings.h"

#include <cstdio>
#include <cstdlib>

namespace bram::cli {
namespace {

constexpr int kExitTimeout = 124;

void PrintPlace(const SRunPlace& where)
{
    std::fprintf(stderr, "%s\t%s", Printable(where.trigger).c_str(), Printable(where.place).c_str());
}

// The child's streams as they arrive: output passed through, error lines
// mapped to their place, the trace counted.
class CRunOutput {
public:
    CRunOutput(const CRunErrorMapper& mapper, const CState& state) : m_mapper(mapper), m_state(state) {}

    void Take(CChildProcess::EStream stream, std::string_view data)
    {
        switch (stream) {
        case CChildProcess::EStream::Output:
            std::fwrite(data.data(), 1, data.size(), stdout);
            std::fflush(stdout);
            break;
        case CChildProcess::EStream::Error:
            for (const char c : data) {
                if (c == '\n') {
                    EmitError();
                } else {
                    m_errorLine += c;
                }
            }
            break;
        case CChildProcess::EStream::Extra: m_trace.Feed(data); break;
        }
    }
    // A last error line without a line break.
    void FinishErrors()
    {
        if (!m_errorLine.empty()) {
            EmitError();
        }
    }
    void PrintTrace()
    {
        m_trace.Finish();
        for (const auto& [where, count] : m_trace.CountsInOrder(m_state)) {
            std::fprintf(stderr, "%llu\t", static_cast<unsigned long long>(count));
            PrintPlace(where);
            std::fprintf(stderr, "\n");
        }
    }

private:
    void EmitError()
    {
        if (const auto mapped = m_mapper.Map(m_errorLine, m_state)) {
            PrintPlace(mapped->where);
            std::fprintf(stderr, "\t%s\n", mapped->message.c_str());
        } else {
            std::fprintf(stderr, "%s\n", m_errorLine.c_str());
        }
        m_errorLine.clear();
    }

    const CRunErrorMapper& m_mapper;
    const CState& m_state;
    std::string m_errorLine;
    CTraceCollector m_trace;
};

struct SRunArguments {
    std::string dataFile;
    bool trace = false;
    double timeout = -1; // none given
};

// kExitOk, or the usage error's exit code after printing it.
int ParseRunArguments(const CCliContext& context, const std::vector<std::string>& args, SRunArguments& out)
{
    const CCliCommand& command = *CommandNamed("run");
    std::string& dataFile = out.dataFile;
    bool& trace = out.trace;
    double& timeout = out.timeout;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--trace") {
            trace = true;
        } else if (args[i] == "--timeout") {
            if (i + 1 >= args.size()) {
                return UsageError(command, "--timeout needs a number of seconds");
            }
            char* end = nullptr;
            timeout = std::strtod(args[++i].c_str(), &end);
            if (end == args[i].c_str() || *end != '\0' || !(timeout > 0)) {
                return UsageError(command, "--timeout needs a number of seconds above 0, not '" + args[i] + "'");
            }
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            return UsageError(command, "unknown option '" + args[i] + "'");
        } else if (dataFile.empty()) {
            dataFile = ArgumentPath(context, args[i]);
        } else {
            return UsageError(command, "unexpected argument '" + args[i] + "'");
        }
    }
    if (dataFile.empty()) {
        return UsageError(command, "a data file is needed");
    }
    return kExitOk;
}

int RunRun(const CCliContext& context, const std::vector<std::string>& args)
{
    SRunArguments arguments;
    if (const int usage = ParseRunArguments(context, args, arguments); usage != kExitOk) {
        return usage;
    }
    const std::string& dataFile = arguments.dataFile;
    const bool trace = arguments.trace;
    CCliStartUp startUp(context);
    if (!startUp.Succeeded()) {
        return kExitFailure;
    }
    SRunSettings settings = ReadRunSettings();
    if (settings.command.empty()) {
        std::fprintf(stderr,
                     "brambleton-cli run: the program settings (brambleton.ini) have no [Run] section with a Command, "
                     "so there is no way to run a script.\n");
        return kExitUsage;
    }
    if (trace && !CGenerationSettings::Instance().HasTrace()) {
        std::fprintf(stderr, "brambleton-cli run: the function definition file has no TraceStatement, so a run "
                             "cannot be traced.\n");
        return kExitUsage;
    }
    if (arguments.timeout > 0) {
        settings.timeout = arguments.timeout;
    }
    CApplicationDocument document;
    document.NewDocument();
    std::string error;
    if (!document.OpenDocument(dataFile, &error)) {
        std::fprintf(stderr, "%s: %s\n", dataFile.c_str(), error.c_str());
        return kExitFailure;
    }
    CRunFiles files;
    if (!files.Create(document, trace, &error)) {
        std::fprintf(stderr, "brambleton-cli run: cannot write the script: %s\n", error.c_str());
        return kExitFailure;
    }
    const CRunErrorMapper mapper(settings.errorLine, files.GetLines(), files.GetLineOffset());
    if (!settings.errorLine.empty() && !mapper.IsValid()) {
        std::fprintf(stderr, "brambleton-cli run: [Run] ErrorLine: %s; errors are shown unmapped.\n",
                     mapper.GetError().c_str());
    }
    const CState& state = *document.GetState();
    CRunOutput output(mapper, state);
    const std::vector<std::string> argv = SplitCommandLine(settings.command, files.GetScriptPath());
    std::vector<std::pair<std::string, std::string>> environment;
    if (trace) {
        environment.emplace_back(kTraceVariable, files.GetTracePath());
    }
    const SChildResult result =
        RunChildProcess(argv, environment, files.GetTracePath(), settings.timeout,
                        [&](CChildProcess::EStream stream, std::string_view data) { output.Take(stream, data); });
    if (!result.started) {
        std::fprintf(stderr, "brambleton-cli run: [Run] Command '%s': %s\n", settings.command.c_str(),
                     result.error.c_str());
        return kExitFailure;
    }
    output.FinishErrors();
    if (result.timedOut) {
        std::fprintf(stderr, "brambleton-cli run: stopped after %g seconds.\n", settings.timeout);
    }
    output.PrintTrace();
    return result.exitCode;
}

CCliCommandRegistration reg({"run", "DATAFILE [--trace] [--timeout S]",
                             "generate the data file's script to a temporary file and run it as the [Run] settings "
                             "say; error lines name the trigger and instruction (TRIGGER<TAB>PATH<TAB>MESSAGE on "
                             "stderr), --trace adds COUNT<TAB>TRIGGER<TAB>PATH per traced place; the exit code is "
                             "the script's, 124 at the timeout",
                             RunRun});

} // namespace
} // namespace bram::cli

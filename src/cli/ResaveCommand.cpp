// brambleton-cli resave: reads a data file and writes it again in the
// current format.

#include "DocumentCommands.h"
#include "StartUp.h"
#include "document/ApplicationDocument.h"

#include <cstdio>

namespace bram::cli {

bool ParseDocumentArguments(const std::string& commandName, const CCliContext& context,
                            const std::vector<std::string>& args, CDocumentArguments& out, int* exitCode)
{
    const CCliCommand* command = CommandNamed(commandName);
    auto usage = [&](const std::string& problem) {
        *exitCode = command != nullptr ? UsageError(*command, problem) : kExitUsage;
        return false;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o") {
            if (i + 1 >= args.size()) {
                return usage("-o needs a file name");
            }
            if (!out.outputFile.empty()) {
                return usage("-o given twice");
            }
            out.outputFile = ArgumentPath(context, args[++i]);
        } else if (args[i] == "--strict" && commandName == "generate") {
            out.strict = true;
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            return usage("unknown option '" + args[i] + "'");
        } else if (out.dataFile.empty()) {
            out.dataFile = ArgumentPath(context, args[i]);
        } else {
            return usage("unexpected argument '" + args[i] + "'");
        }
    }
    if (out.dataFile.empty()) {
        return usage("a data file is needed");
    }
    if (commandName == "check" && !out.outputFile.empty()) {
        return usage("unknown option '-o'");
    }
    if (commandName != "check" && out.outputFile.empty()) {
        return usage("-o OUTFILE is needed");
    }
    return true;
}

int RunWithDocument(const CCliContext& context, const CDocumentArguments& arguments, const DocumentWork& work)
{
    CCliStartUp startUp(context);
    if (!startUp.Succeeded()) {
        return kExitFailure;
    }
    CApplicationDocument document;
    document.NewDocument();
    std::string error;
    // Each message names the file it is about: "PATH: message".
    if (!document.OpenDocument(arguments.dataFile, &error)) {
        std::fprintf(stderr, "%s: %s\n", arguments.dataFile.c_str(), error.c_str());
        return kExitFailure;
    }
    if (!work(document, arguments.outputFile, error)) {
        std::fprintf(stderr, "%s: %s\n", arguments.outputFile.c_str(), error.c_str());
        return kExitFailure;
    }
    return kExitOk;
}

namespace {

int RunResave(const CCliContext& context, const std::vector<std::string>& args)
{
    CDocumentArguments arguments;
    int exitCode = kExitUsage;
    if (!ParseDocumentArguments("resave", context, args, arguments, &exitCode)) {
        return exitCode;
    }
    return RunWithDocument(context, arguments,
                           [](CApplicationDocument& document, const std::string& output, std::string& error) {
                               return document.SaveDocument(output, &error);
                           });
}

CCliCommandRegistration reg({"resave", "DATAFILE -o OUTFILE",
                             "load the modules, read the data file and write it again in the current format",
                             RunResave});

} // namespace
} // namespace bram::cli

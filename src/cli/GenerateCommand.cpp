// brambleton-cli generate: reads a data file and writes its script with the
// encoding settings of the program settings file.

#include "DocumentCommands.h"
#include "document/ApplicationDocument.h"
#include "document/Problems.h"

namespace bram::cli {
namespace {

int RunGenerate(const CCliContext& context, const std::vector<std::string>& args)
{
    CDocumentArguments arguments;
    int exitCode = kExitUsage;
    if (!ParseDocumentArguments("generate", context, args, arguments, &exitCode)) {
        return exitCode;
    }
    return RunWithDocument(context, arguments,
                           [&](CApplicationDocument& document, const std::string& output, std::string& error) {
                               if (arguments.strict) {
                                   const std::size_t errors = CountErrors(FindProblems(*document.GetState()));
                                   if (errors > 0) {
                                       error = "the script has " + std::to_string(errors) +
                                               " error(s); nothing was written (see brambleton-cli check).";
                                       return false;
                                   }
                               }
                               return document.GenerateScript(output, &error);
                           });
}

CCliCommandRegistration reg({"generate", "DATAFILE -o SCRIPTFILE [--strict]",
                             "load the modules, read the data file and write its script (encoding and byte order mark "
                             "from the settings); with --strict, write nothing when check finds errors",
                             RunGenerate});

} // namespace
} // namespace bram::cli

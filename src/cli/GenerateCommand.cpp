// brambleton-cli generate: reads a data file and writes its script with the
// encoding settings of the program settings file.

#include "DocumentCommands.h"
#include "document/ApplicationDocument.h"

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
                           [](CApplicationDocument& document, const std::string& output, std::string& error) {
                               return document.GenerateScript(output, &error);
                           });
}

CCliCommandRegistration reg({"generate", "DATAFILE -o SCRIPTFILE",
                             "load the modules, read the data file and write its script (encoding and byte order mark "
                             "from the settings)",
                             RunGenerate});

} // namespace
} // namespace bram::cli

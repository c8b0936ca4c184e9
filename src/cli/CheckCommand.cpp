// brambleton-cli check: lists what would make a data file's script wrong or
// surprising, one line a problem: LEVEL<TAB>TRIGGER<TAB>PATH<TAB>MESSAGE.

#include "DocumentCommands.h"
#include "document/ApplicationDocument.h"
#include "document/Problems.h"

#include <cstdio>

namespace bram::cli {
namespace {

int RunCheck(const CCliContext& context, const std::vector<std::string>& args)
{
    CDocumentArguments arguments;
    int exitCode = kExitUsage;
    if (!ParseDocumentArguments("check", context, args, arguments, &exitCode)) {
        return exitCode;
    }
    std::size_t errors = 0;
    const int status =
        RunWithDocument(context, arguments, [&](CApplicationDocument& document, const std::string&, std::string&) {
            const std::vector<SProblem> problems = FindProblems(*document.GetState());
            for (const SProblem& p : problems) {
                std::printf("%s\t%s\t%s\t%s\n", std::string(ProblemLevelName(p.level)).c_str(),
                            Printable(p.trigger).c_str(), Printable(p.place).c_str(),
                            Printable(DescribeProblem(p)).c_str());
            }
            errors = CountErrors(problems);
            return true;
        });
    return status != kExitOk ? status : (errors > 0 ? kExitFailure : kExitOk);
}

CCliCommandRegistration reg({"check", "DATAFILE",
                             "load the modules, read the data file and list its problems (exit 1 with errors)",
                             RunCheck});

} // namespace
} // namespace bram::cli

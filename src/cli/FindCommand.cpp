// brambleton-cli find: the places of a data file that hold a text, one line
// a match: TRIGGER<TAB>PATH<TAB>TEXT.

#include "DocumentCommands.h"
#include "document/ApplicationDocument.h"
#include "document/Search.h"

#include <cstdio>

namespace bram::cli {
namespace {

int RunFind(const CCliContext& context, const std::vector<std::string>& args);

CCliCommandRegistration reg({"find", "DATAFILE TEXT [--case-sensitive] [--whole-word]",
                             "load the modules, read the data file and list the places that hold the text "
                             "(exit 1 when there are none)",
                             RunFind});

int RunFind(const CCliContext& context, const std::vector<std::string>& args)
{
    const CCliCommand& command = *CommandNamed("find");
    SSearchOptions options;
    std::vector<std::string> positional;
    for (const std::string& arg : args) {
        if (arg == "--case-sensitive") {
            options.caseSensitive = true;
        } else if (arg == "--whole-word") {
            options.wholeWord = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError(command, "unknown option '" + arg + "'");
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) {
        return UsageError(command, positional.size() < 2 ? "a data file and a text are needed"
                                                         : "unexpected argument '" + positional[2] + "'");
    }
    if (positional[1].empty()) {
        return UsageError(command, "the text is empty");
    }
    CDocumentArguments arguments;
    arguments.dataFile = ArgumentPath(context, positional[0]);
    std::size_t found = 0;
    const int status =
        RunWithDocument(context, arguments, [&](CApplicationDocument& document, const std::string&, std::string&) {
            for (const SMatch& match : FindInState(*document.GetState(), positional[1], options)) {
                std::printf("%s\t%s\t%s\n", Printable(match.trigger).c_str(), Printable(MatchPlaceText(match)).c_str(),
                            Printable(match.text).c_str());
                ++found;
            }
            return true;
        });
    return status != kExitOk ? status : (found > 0 ? kExitOk : kExitFailure);
}

} // namespace
} // namespace bram::cli

#pragma once
// What would make the generated script wrong or surprising, found in a state
// without generating it: the editor's problems list and `brambleton-cli
// check` show the same list.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bram {

class CState;

enum class EProblemLevel { Error, Warning, Note };

enum class EProblemKind {
    IncompleteParameter, // error: the instruction cannot be written as meant
    MissingTrigger,      // error: a parameter names a trigger the document no longer has
    DisabledTrigger,     // warning: a parameter names a disabled trigger
    UnusedGlobal,        // note: no parameter uses the global variable
    RunError,            // error: the last run failed here (subject: the script's message)
};

struct SProblem {
    EProblemLevel level;
    EProblemKind kind;
    // The trigger and the instruction's place in it (child indexes from the
    // root block, as CCodeTrigger::GetNodePath); none for a global.
    bool hasTrigger = false;
    std::uint32_t triggerId = 0;
    std::string trigger{};
    std::vector<std::size_t> path{};
    // The place as the user reads it: "Actions/2/Then/1".
    std::string place{};
    // The parameter, trigger or variable the problem is about.
    std::string subject{};
};

// In trigger order, each trigger's instructions in tree order, then the globals.
std::vector<SProblem> FindProblems(const CState& state);
std::size_t CountErrors(const std::vector<SProblem>& problems);
// "error", "warning", "note".
std::string_view ProblemLevelName(EProblemLevel level);
// One English sentence for the command-line tool and the log.
std::string DescribeProblem(const SProblem& problem);

} // namespace bram

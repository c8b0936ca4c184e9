#include "document/Problems.h"

#include "code/CodeTrigger.h"
#include "code/Instructions.h"
#include "code/Records.h"
#include "code/State.h"
#include "code/Variables.h"
#include "document/NodeWalk.h"

#include <algorithm>

namespace bram {

namespace {

class CProblemFinder {
public:
    explicit CProblemFinder(const CState& state) : m_state(state) {}

    std::vector<SProblem> Find()
    {
        for (std::size_t i = 0; i < m_state.GetTriggerCount(); ++i) {
            const CCodeTrigger* trigger = m_state.GetTrigger(i);
            if (trigger->IsCode()) {
                continue; // its text is the user's own
            }
            m_trigger = trigger;
            ForEachInstruction(*trigger,
                               [this](const CCodeBase& instruction, const std::vector<std::size_t>& path,
                                      const std::string& place) { CheckParameters(instruction, path, place); });
        }
        for (const auto& global : m_state.GetGlobals()) {
            if (global->GetUserCount() == 0) {
                m_problems.push_back(
                    {.level = EProblemLevel::Note, .kind = EProblemKind::UnusedGlobal, .subject = global->GetName()});
            }
        }
        return std::move(m_problems);
    }

private:
    // The parameters of an instruction, and of the calls given as values.
    void CheckParameters(const CCodeBase& node, const std::vector<std::size_t>& path, const std::string& place)
    {
        for (std::size_t p = 0; p < node.GetParameterCount(); ++p) {
            const CParameter* parameter = node.GetParameter(p);
            const CCodeBase* value = parameter->GetValue();
            if (!parameter->IsEnumerated() && value == nullptr) {
                Add(EProblemLevel::Error, EProblemKind::IncompleteParameter, path, place, ParameterName(*parameter));
                continue;
            }
            if (value == nullptr) {
                continue;
            }
            if (const auto* variable = dynamic_cast<const CTriggerVariable*>(value)) {
                CheckTriggerReference(*variable, path, place);
            } else if (value->GetCodeType() == CodeTypeCall) {
                CheckParameters(*value, path, place);
            } else if (!value->IsComplete()) {
                Add(EProblemLevel::Error, EProblemKind::IncompleteParameter, path, place, ParameterName(*parameter));
            }
        }
    }

    void CheckTriggerReference(const CTriggerVariable& variable, const std::vector<std::size_t>& path,
                               const std::string& place)
    {
        const CCodeTrigger* target = variable.GetTrigger();
        bool known = false;
        for (std::size_t i = 0; i < m_state.GetTriggerCount() && !known; ++i) {
            known = m_state.GetTrigger(i) == target;
        }
        if (!known) {
            Add(EProblemLevel::Error, EProblemKind::MissingTrigger, path, place, std::string());
        } else if (!target->IsEnabled()) {
            Add(EProblemLevel::Warning, EProblemKind::DisabledTrigger, path, place, target->GetName());
        }
    }

    static std::string ParameterName(const CParameter& parameter)
    {
        const CParameterInfo* info = parameter.GetParameterInfo();
        return info != nullptr ? info->GetLocalizedName() : std::string();
    }

    void Add(EProblemLevel level, EProblemKind kind, const std::vector<std::size_t>& path, const std::string& place,
             std::string subject)
    {
        m_problems.push_back({.level = level,
                              .kind = kind,
                              .hasTrigger = true,
                              .triggerId = m_trigger->GetId(),
                              .trigger = m_trigger->GetName(),
                              .path = path,
                              .place = place,
                              .subject = std::move(subject)});
    }

    const CState& m_state;
    const CCodeTrigger* m_trigger = nullptr;
    std::vector<SProblem> m_problems;
};

} // namespace

std::vector<SProblem> FindProblems(const CState& state) { return CProblemFinder(state).Find(); }

std::size_t CountErrors(const std::vector<SProblem>& problems)
{
    return static_cast<std::size_t>(std::count_if(problems.begin(), problems.end(),
                                                  [](const SProblem& p) { return p.level == EProblemLevel::Error; }));
}

std::string_view ProblemLevelName(EProblemLevel level)
{
    switch (level) {
    case EProblemLevel::Error: return "error";
    case EProblemLevel::Warning: return "warning";
    case EProblemLevel::Note: return "note";
    }
    return "error";
}

std::string DescribeProblem(const SProblem& problem)
{
    switch (problem.kind) {
    case EProblemKind::IncompleteParameter: return "The parameter " + problem.subject + " has no value.";
    case EProblemKind::MissingTrigger: return "A parameter names a trigger that no longer exists.";
    case EProblemKind::DisabledTrigger:
        return "A parameter names the trigger " + problem.subject + ", which is disabled.";
    case EProblemKind::UnusedGlobal: return "No instruction uses the global variable " + problem.subject + ".";
    case EProblemKind::RunError: return "The last run failed here: " + problem.subject;
    }
    return {};
}

} // namespace bram

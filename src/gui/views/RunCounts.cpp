#include "gui/views/RunCounts.h"

#include "gui/common/UserPrompts.h"

#include "code/CodeBase.h"
#include "document/ScriptRun.h"
#include "generation/GenerationSettings.h"

namespace bram::gui {

void CRunCounts::Clear()
{
    m_state = nullptr;
    m_tracedType = nullptr;
    m_triggers.clear();
    m_instructions.clear();
}

void CRunCounts::Set(const CTraceCollector& trace, const CState& state)
{
    Clear();
    m_state = &state;
    m_tracedType = CGenerationSettings::Instance().GetTraceType();
    for (const CTraceCollector::SEntry& entry : trace.GetEntries()) {
        const SRunPlace place = CTraceCollector::Resolve(entry, state);
        if (!place.known) {
            continue;
        }
        if (entry.entry) {
            m_triggers[place.triggerId] += entry.count;
        } else {
            m_instructions[{place.triggerId, place.path}] += entry.count;
        }
    }
}

std::uint64_t CRunCounts::OfTrigger(std::uint32_t triggerId) const
{
    const auto found = m_triggers.find(triggerId);
    return found != m_triggers.end() ? found->second : 0;
}

bool CRunCounts::IsTraced(const CCodeBase& node) const
{
    const CCodeBase* block = node.GetParent();
    return m_tracedType != nullptr && node.GetCodeType() != CodeTypeBlock && node.IsEnabled() && block != nullptr &&
           block->GetType() == m_tracedType;
}

std::uint64_t CRunCounts::OfInstruction(std::uint32_t triggerId, const std::vector<std::size_t>& path) const
{
    const auto found = m_instructions.find({triggerId, path});
    return found != m_instructions.end() ? found->second : 0;
}

QString CRunCounts::Label(std::uint64_t count)
{
    return count == 0 ? Localized("MainFrame/NeverRan") : Localized("MainFrame/RunCount", {QString::number(count)});
}

} // namespace bram::gui

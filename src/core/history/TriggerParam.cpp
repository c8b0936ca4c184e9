#include "history/TriggerParam.h"

#include "category/CategorySystem.h"
#include "log/Assertion.h"

namespace bram {

CTriggerParam::CTriggerParam(EAction action, CTriggerEntry* entry, CCategory* category)
    : m_action(action), m_entry(entry), m_source(category), m_destination(category)
{
}

CTriggerParam::~CTriggerParam() = default;

std::unique_ptr<CTriggerParam> CTriggerParam::Created(CCategory* category, CTriggerEntry* entry)
{
    std::unique_ptr<CTriggerParam> param(new CTriggerParam(EAction::Create, entry, category));
    const int index = category->IndexOf(entry);
    BRAMBLETON_ASSERT(index >= 0);
    param->m_sourceIndex = index >= 0 ? static_cast<std::size_t>(index) : category->GetTriggerCount();
    param->m_destinationIndex = param->m_sourceIndex;
    return param;
}

std::unique_ptr<CTriggerParam> CTriggerParam::Deleted(CCategory* category, std::unique_ptr<CTriggerEntry> entry,
                                                      std::size_t index)
{
    BRAMBLETON_ASSERT(entry != nullptr);
    std::unique_ptr<CTriggerParam> param(new CTriggerParam(EAction::Delete, entry.get(), category));
    param->m_kept = std::move(entry);
    param->m_sourceIndex = index;
    param->m_destinationIndex = index;
    return param;
}

std::unique_ptr<CTriggerParam> CTriggerParam::Renamed(CCategory* category, CTriggerEntry* entry, std::string oldName)
{
    std::unique_ptr<CTriggerParam> param(new CTriggerParam(EAction::Rename, entry, category));
    param->m_oldName = std::move(oldName);
    param->m_newName = entry->GetName();
    return param;
}

std::unique_ptr<CTriggerParam> CTriggerParam::Moved(CTriggerEntry* entry, CCategory* source, std::size_t sourceIndex,
                                                    CCategory* destination, std::size_t destinationIndex)
{
    std::unique_ptr<CTriggerParam> param(new CTriggerParam(EAction::Move, entry, source));
    param->m_destination = destination;
    param->m_sourceIndex = sourceIndex;
    param->m_destinationIndex = destinationIndex;
    return param;
}

void CTriggerParam::TakeOut()
{
    BRAMBLETON_ASSERT(m_kept == nullptr);
    const int index = m_source->IndexOf(m_entry);
    BRAMBLETON_ASSERT(index >= 0);
    if (index >= 0 && m_kept == nullptr) {
        m_sourceIndex = static_cast<std::size_t>(index);
        m_kept = m_source->RemoveTrigger(m_entry, false);
    }
}

void CTriggerParam::PutBack()
{
    BRAMBLETON_ASSERT(m_kept != nullptr);
    if (m_kept != nullptr) {
        m_source->InsertTrigger(std::move(m_kept), m_sourceIndex);
    }
}

void CTriggerParam::Transfer(CCategory* from, CCategory* to, std::size_t index)
{
    std::unique_ptr<CTriggerEntry> entry = from->RemoveTrigger(m_entry, false);
    BRAMBLETON_ASSERT(entry != nullptr);
    if (entry != nullptr) {
        to->InsertTrigger(std::move(entry), index);
    }
}

void CTriggerParam::Undo()
{
    switch (m_action) {
    case EAction::Create: TakeOut(); break;
    case EAction::Delete: PutBack(); break;
    case EAction::Rename: m_entry->SetName(m_oldName); break;
    case EAction::Move: Transfer(m_destination, m_source, m_sourceIndex); break;
    }
}

void CTriggerParam::Redo()
{
    switch (m_action) {
    case EAction::Create: PutBack(); break;
    case EAction::Delete: TakeOut(); break;
    case EAction::Rename: m_entry->SetName(m_newName); break;
    case EAction::Move: Transfer(m_source, m_destination, m_destinationIndex); break;
    }
}

} // namespace bram

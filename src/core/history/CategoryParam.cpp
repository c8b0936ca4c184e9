#include "history/CategoryParam.h"

#include "category/CategorySystem.h"
#include "log/Assertion.h"

namespace bram {

CCategoryParam::CCategoryParam(EAction action, CCategorySystem& system, CCategory* category)
    : m_action(action), m_system(&system), m_category(category)
{
}

CCategoryParam::~CCategoryParam() = default;

std::unique_ptr<CCategoryParam> CCategoryParam::Created(CCategorySystem& system, CCategory* category)
{
    std::unique_ptr<CCategoryParam> param(new CCategoryParam(EAction::Create, system, category));
    const int index = system.IndexOf(category);
    BRAMBLETON_ASSERT(index >= 0);
    param->m_index = index >= 0 ? static_cast<std::size_t>(index) : system.GetCategoryCount();
    return param;
}

std::unique_ptr<CCategoryParam> CCategoryParam::Deleted(CCategorySystem& system, std::unique_ptr<CCategory> category,
                                                        std::size_t index)
{
    BRAMBLETON_ASSERT(category != nullptr);
    std::unique_ptr<CCategoryParam> param(new CCategoryParam(EAction::Delete, system, category.get()));
    param->m_kept = std::move(category);
    param->m_index = index;
    return param;
}

std::unique_ptr<CCategoryParam> CCategoryParam::Renamed(CCategorySystem& system, CCategory* category,
                                                        std::string oldName)
{
    std::unique_ptr<CCategoryParam> param(new CCategoryParam(EAction::Rename, system, category));
    param->m_oldName = std::move(oldName);
    param->m_newName = category->GetName();
    return param;
}

void CCategoryParam::TakeOut()
{
    BRAMBLETON_ASSERT(m_kept == nullptr);
    const int index = m_system->IndexOf(m_category);
    BRAMBLETON_ASSERT(index >= 0);
    if (index >= 0 && m_kept == nullptr) {
        m_index = static_cast<std::size_t>(index);
        m_kept = m_system->RemoveCategory(m_category, false);
    }
}

void CCategoryParam::PutBack()
{
    BRAMBLETON_ASSERT(m_kept != nullptr);
    if (m_kept != nullptr) {
        // At its old place, so that undo gives back the order the file had.
        m_system->InsertCategory(std::move(m_kept), m_index);
    }
}

void CCategoryParam::Undo()
{
    switch (m_action) {
    case EAction::Create: TakeOut(); break;
    case EAction::Delete: PutBack(); break;
    case EAction::Rename: m_category->SetName(m_oldName); break;
    }
}

void CCategoryParam::Redo()
{
    switch (m_action) {
    case EAction::Create: PutBack(); break;
    case EAction::Delete: TakeOut(); break;
    case EAction::Rename: m_category->SetName(m_newName); break;
    }
}

} // namespace bram

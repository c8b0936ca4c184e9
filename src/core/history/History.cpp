#include "history/History.h"

#include "category/CategorySystem.h"
#include "log/Assertion.h"

#include <cstdlib>
#include <utility>

namespace bram {

CCategoryParam::~CCategoryParam()
{
    if (m_ownsCategory) {
        delete m_category;
    }
}

CTriggerParam::~CTriggerParam()
{
    if (m_ownsTrigger) {
        delete m_trigger;
    }
}

CCodeHistoryObject::CCodeHistoryObject(std::string name, CState* before, CState* after, HistoryAction undo,
                                       HistoryAction redo, void* parameter, bool ownsParameter, ParamKind kind)
    : m_name(std::move(name)),
      m_before(before),
      m_after(after),
      m_undoAction(std::move(undo)),
      m_redoAction(std::move(redo)),
      m_parameter(parameter),
      m_ownsParameter(ownsParameter),
      m_kind(parameter != nullptr ? kind : ParamKind::None)
{
}

CCodeHistoryObject::CCodeHistoryObject(CCodeHistoryObject&& other) noexcept
    : m_name(std::move(other.m_name)),
      m_before(other.m_before),
      m_after(other.m_after),
      m_undoAction(std::move(other.m_undoAction)),
      m_redoAction(std::move(other.m_redoAction)),
      m_parameter(std::exchange(other.m_parameter, nullptr)),
      m_undone(other.m_undone),
      m_ownsParameter(std::exchange(other.m_ownsParameter, false)),
      m_kind(other.m_kind)
{
}

CCodeHistoryObject& CCodeHistoryObject::operator=(CCodeHistoryObject&& other) noexcept
{
    if (this != &other) {
        DestroyParameter();
        m_name = std::move(other.m_name);
        m_before = other.m_before;
        m_after = other.m_after;
        m_undoAction = std::move(other.m_undoAction);
        m_redoAction = std::move(other.m_redoAction);
        m_parameter = std::exchange(other.m_parameter, nullptr);
        m_undone = other.m_undone;
        m_ownsParameter = std::exchange(other.m_ownsParameter, false);
        m_kind = other.m_kind;
    }
    return *this;
}

CCodeHistoryObject::~CCodeHistoryObject() { DestroyParameter(); }

void CCodeHistoryObject::DestroyParameter()
{
    if (m_ownsParameter && m_parameter != nullptr) {
        if (m_kind == ParamKind::History) {
            delete static_cast<CHistoryParam*>(m_parameter);
        } else {
            std::free(m_parameter);
        }
    }
    m_parameter = nullptr;
    m_ownsParameter = false;
}

void CCodeHistoryObject::Undo()
{
    BRAMBLETON_ASSERT(!m_undone);
    m_undone = true;
    if (m_undoAction) {
        m_undoAction(m_parameter);
    }
}

void CCodeHistoryObject::Redo()
{
    BRAMBLETON_ASSERT(m_undone);
    m_undone = false;
    if (m_redoAction) {
        m_redoAction(m_parameter);
    }
}

} // namespace bram

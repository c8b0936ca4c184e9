#include "history/History.h"

#include "code/State.h"
#include "log/Assertion.h"

#include <utility>

namespace bram {

CCodeHistoryObject::CCodeHistoryObject(std::string name, CState* before, CState* after,
                                       std::unique_ptr<CHistoryParam> param)
    : m_name(std::move(name)), m_before(before), m_after(after), m_param(std::move(param))
{
}

CCodeHistoryObject::~CCodeHistoryObject() = default;

void CCodeHistoryObject::Undo()
{
    BRAMBLETON_ASSERT(!m_undone);
    m_undone = true;
    if (m_param != nullptr) {
        m_param->Undo();
    }
}

void CCodeHistoryObject::Redo()
{
    BRAMBLETON_ASSERT(m_undone);
    m_undone = false;
    if (m_param != nullptr) {
        m_param->Redo();
    }
}

CHistory::CHistory() = default;

CHistory::~CHistory() { Clear(); }

void CHistory::SetState(std::unique_ptr<CState> state)
{
    delete m_state;
    m_state = state.release();
}

void CHistory::DropRedoSteps(std::vector<CCodeHistoryObject>& steps)
{
    // Newest first: what a newer step keeps may sit in what an older one keeps.
    while (!steps.empty()) {
        delete steps.back().GetStateAfter();
        steps.pop_back();
    }
}

void CHistory::DropSetAside()
{
    DropRedoSteps(m_setAside);
    m_hasSetAside = false;
}

void CHistory::Record(std::string name, std::unique_ptr<CHistoryParam> param)
{
    CState* copy = m_state != nullptr ? m_state->Clone().release() : nullptr;
    DropSetAside();
    m_setAside = std::move(m_redo);
    m_redo.clear();
    m_hasSetAside = true;
    m_setAsideSavedPoint = m_savedPoint;
    // Only a saved point beyond the current depth lies on the redo branch
    // being dropped; at the current depth it stays one undo away.
    if (static_cast<int>(m_undo.size()) < m_savedPoint) {
        m_savedPoint = -1;
    }
    m_undo.emplace_back(std::move(name), m_state, copy, std::move(param));
    m_state = copy;
}

void CHistory::Undo()
{
    BRAMBLETON_ASSERT(CanUndo());
    if (!CanUndo()) {
        return;
    }
    DropSetAside();
    CCodeHistoryObject& step = m_undo.back();
    BRAMBLETON_ASSERT(step.GetStateAfter() == m_state);
    m_state = step.GetStateBefore();
    step.Undo();
    m_redo.push_back(std::move(step));
    m_undo.pop_back();
}

void CHistory::Redo()
{
    BRAMBLETON_ASSERT(CanRedo());
    if (!CanRedo()) {
        return;
    }
    DropSetAside();
    CCodeHistoryObject& step = m_redo.back();
    BRAMBLETON_ASSERT(step.GetStateBefore() == m_state);
    m_state = step.GetStateAfter();
    step.Redo();
    m_undo.push_back(std::move(step));
    m_redo.pop_back();
}

void CHistory::RemoveLast()
{
    if (!m_redo.empty()) {
        return;
    }
    BRAMBLETON_ASSERT(!m_undo.empty());
    if (m_undo.empty()) {
        return;
    }
    CCodeHistoryObject& step = m_undo.back();
    BRAMBLETON_ASSERT(step.GetStateAfter() == m_state);
    // Taken back with its change: the parameter's part too, so that what it
    // keeps is destroyed with it and what it put in place is gone.
    step.Undo();
    delete m_state;
    m_state = step.GetStateBefore();
    // Saved with the step in place: no depth equals the file now.
    if (m_savedPoint == static_cast<int>(m_undo.size())) {
        m_savedPoint = -1;
    }
    m_undo.pop_back();
    if (m_hasSetAside) {
        m_redo = std::move(m_setAside);
        m_setAside.clear();
        m_hasSetAside = false;
        m_savedPoint = m_setAsideSavedPoint;
    }
}

void CHistory::RenameLast(std::string name)
{
    if (!m_redo.empty()) {
        return;
    }
    BRAMBLETON_ASSERT(!m_undo.empty());
    if (m_undo.empty()) {
        return;
    }
    BRAMBLETON_ASSERT(m_undo.back().GetStateAfter() == m_state);
    DropSetAside();
    m_undo.back().SetName(std::move(name));
}

std::string CHistory::GetUndoName() const { return m_undo.empty() ? std::string() : m_undo.back().GetName(); }

std::string CHistory::GetRedoName() const { return m_redo.empty() ? std::string() : m_redo.back().GetName(); }

std::vector<std::string> CHistory::GetUndoNames() const
{
    std::vector<std::string> names;
    names.reserve(m_undo.size());
    for (const CCodeHistoryObject& step : m_undo) {
        names.push_back(step.GetName());
    }
    return names;
}

void CHistory::Clear()
{
    // Newest first, as in DropRedo.
    while (!m_undo.empty()) {
        delete m_undo.back().GetStateBefore();
        m_undo.pop_back();
    }
    DropRedo();
    DropSetAside();
    delete m_state;
    m_state = nullptr;
}

} // namespace bram

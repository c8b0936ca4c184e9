#pragma once
// The undo history: two stacks of named steps and the saved marker.
//
// A history that holds a state keeps whole-state snapshots: recording a step
// copies the current state, makes the copy current and keeps the old state
// in the step; undo and redo switch between the kept snapshots. Ownership of
// snapshots: the history owns the current state, every step on the undo
// stack owns its state before, every step on the redo stack (or set aside
// by Record) its state after, so each snapshot has exactly one owner.
//
// A step may in addition carry a parameter (CHistoryParam) that undoes and
// redoes what the snapshots do not hold; the step owns it. A history without
// a state (the variables dialog's list edits) records steps that are their
// parameter alone.

#include "history/HistoryParam.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace bram {

class CState;

// One recorded step. It moves between the stacks; destroying it destroys
// its parameter, while the snapshots are destroyed by the stack that holds
// the step (see above).
class CCodeHistoryObject {
public:
    CCodeHistoryObject(std::string name, CState* before, CState* after, std::unique_ptr<CHistoryParam> param);
    CCodeHistoryObject(CCodeHistoryObject&&) noexcept = default;
    CCodeHistoryObject& operator=(CCodeHistoryObject&&) noexcept = default;
    ~CCodeHistoryObject();

    const std::string& GetName() const { return m_name; }
    void SetName(std::string name) { m_name = std::move(name); }
    CState* GetStateBefore() const { return m_before; }
    CState* GetStateAfter() const { return m_after; }
    bool IsUndone() const { return m_undone; }
    CHistoryParam* GetParam() const { return m_param.get(); }

    // Mark undone / not undone and undo / redo the parameter, if any.
    void Undo();
    void Redo();

private:
    std::string m_name;
    CState* m_before;
    CState* m_after;
    std::unique_ptr<CHistoryParam> m_param;
    bool m_undone = false;
};

class CHistory {
public:
    CHistory();
    ~CHistory();
    CHistory(const CHistory&) = delete;
    CHistory& operator=(const CHistory&) = delete;

    // ---- the current state (snapshot histories) -----------------------------
    CState* GetState() const { return m_state; }
    // Replaces the current state (destroying the old one); the steps stay.
    void SetState(std::unique_ptr<CState> state);

    // ---- steps -----------------------------------------------------------------
    // Sets the redo stack aside and pushes a step; with a state, the current
    // state becomes a copy of it first. The caller then changes the current
    // state. The redo steps set aside are dropped by whatever comes next but
    // RemoveLast, which brings them back.
    void Record(std::string name, std::unique_ptr<CHistoryParam> param = nullptr);
    bool CanUndo() const { return !m_undo.empty(); }
    bool CanRedo() const { return !m_redo.empty(); }
    void Undo();
    void Redo();
    // Takes back the last recorded step with its change (nothing while a step
    // can be redone); it then lies on neither stack. Right after Record the
    // redo steps it set aside and the saved point come back: a refused edit
    // or a cancelled dialog changes nothing.
    void RemoveLast();
    // Renames the last recorded step (nothing while a step can be redone); it
    // is kept, so the redo steps set aside are dropped.
    void RenameLast(std::string name);
    // The names (localization keys) of the top steps, or empty texts.
    std::string GetUndoName() const;
    std::string GetRedoName() const;
    // The names of the undo stack, oldest first.
    std::vector<std::string> GetUndoNames() const;
    std::size_t GetUndoCount() const { return m_undo.size(); }
    std::size_t GetRedoCount() const { return m_redo.size(); }
    // Destroys every step with its snapshot, and the current state.
    void Clear();

    // ---- the saved marker --------------------------------------------------------
    // The undo depth at which the model equals its file; -1 when that point
    // lay on a redo branch that recording dropped.
    int GetSavedPoint() const { return m_savedPoint; }
    // The model now equals its file.
    void MarkSaved()
    {
        m_savedPoint = static_cast<int>(m_undo.size());
        m_setAsideSavedPoint = -1;
    }
    // No depth equals the file any more (a recovered state).
    void MarkUnsaved()
    {
        m_savedPoint = -1;
        m_setAsideSavedPoint = -1;
    }
    bool IsAtSavedPoint() const { return m_savedPoint == static_cast<int>(m_undo.size()); }

private:
    // Destroys redo steps with the snapshots they own.
    static void DropRedoSteps(std::vector<CCodeHistoryObject>& steps);
    void DropRedo() { DropRedoSteps(m_redo); }
    void DropSetAside();

    CState* m_state = nullptr;
    std::vector<CCodeHistoryObject> m_undo;
    std::vector<CCodeHistoryObject> m_redo;
    int m_savedPoint = 0;
    // The redo stack and saved point of before the last Record, while
    // nothing else has happened since (the saved point -1 once the marker
    // moved since: the file equals no depth RemoveLast goes back to).
    std::vector<CCodeHistoryObject> m_setAside;
    bool m_hasSetAside = false;
    int m_setAsideSavedPoint = -1;
};

} // namespace bram

#pragma once
// The undo history: two stacks of named steps and the saved marker.
//
// A history that holds a state keeps snapshots of two kinds.
//
// A whole snapshot (Record): the current state is copied, the copy made
// current and the old state kept in the step; undo and redo exchange the
// current state with the one the step keeps. The history owns the current
// state, a whole step on the undo stack its state before, one on the redo
// stack (or set aside by Record) its state after.
//
// A scoped snapshot (RecordScoped) costs what the edit changes: the step
// names the triggers whose contents it changes (and whether the texts, or
// appending triggers and globals). Those triggers go on with copies of
// their contents while the step keeps the originals, detached; undo and
// redo exchange contents between the current triggers and the step's, in
// place, so after undo the nodes found before the step are there again. A copy names the variables of the state that is current whenever
// the step is applied; undo and redo go strictly in order, and a whole step
// above it puts back the very objects it replaced, so those are the objects
// the copy names. (So a scoped step can never become a whole one later: its
// state before would be a copy, with other objects than the steps below it
// name.) An edit that may reach beyond one trigger records a whole step.
//
// The steps' sizes are estimated; past the budget the oldest are dropped.
//
// A step may in addition carry a parameter (CHistoryParam) that undoes and
// redoes what the snapshots do not hold; the step owns it. A history without
// a state (the variables dialog's list edits) records steps that are their
// parameter alone.

#include "history/HistoryParam.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace bram {

class CState;
class CScopedChange;

// What a scoped step changes in the state.
struct SStepScope {
    std::vector<std::uint32_t> triggers{}; // the contents of these triggers
    bool texts = false;                    // the preamble and the header
    // Appends triggers and globals (a new trigger, a paste): undo takes
    // whatever lies beyond the counts of before, and redo puts it back.
    bool appends = false;
};

// One recorded step: it keeps the other side of its change (a whole state
// or a scoped change) and its parameter, and moves between the stacks.
class CCodeHistoryObject {
public:
    CCodeHistoryObject(std::string name, std::unique_ptr<CState> kept, std::unique_ptr<CHistoryParam> param);
    CCodeHistoryObject(std::string name, std::unique_ptr<CScopedChange> scoped, std::unique_ptr<CHistoryParam> param);
    CCodeHistoryObject(CCodeHistoryObject&&) noexcept;
    CCodeHistoryObject& operator=(CCodeHistoryObject&&) noexcept;
    ~CCodeHistoryObject();

    const std::string& GetName() const { return m_name; }
    void SetName(std::string name) { m_name = std::move(name); }
    // A whole step's state: before it on the undo stack, after it on the redo stack.
    std::unique_ptr<CState>& Kept() { return m_kept; }
    // What undoing or redoing it touches.
    SStepTouch GetTouch() const;
    bool IsUndone() const { return m_undone; }
    CHistoryParam* GetParam() const { return m_param.get(); }
    CScopedChange* GetScoped() const { return m_scoped.get(); }
    std::size_t GetSize() const { return m_size; }
    void SetSize(std::size_t size) { m_size = size; }

    // Mark undone / not undone and undo / redo the parameter, if any.
    void Undo();
    void Redo();

private:
    std::string m_name;
    std::unique_ptr<CState> m_kept;
    std::unique_ptr<CHistoryParam> m_param;
    std::unique_ptr<CScopedChange> m_scoped;
    std::size_t m_size = 0;
    bool m_undone = false;
};

class CHistory {
public:
    CHistory();
    ~CHistory();
    CHistory(const CHistory&) = delete;
    CHistory& operator=(const CHistory&) = delete;

    // ---- the current state (snapshot histories) -----------------------------
    CState* GetState() const { return m_state.get(); }
    // Replaces the current state (destroying the old one); the steps stay.
    void SetState(std::unique_ptr<CState> state);

    // ---- steps -----------------------------------------------------------------
    // Sets the redo stack aside and pushes a step; with a state, the current
    // state becomes a copy of it first. The caller then changes the current
    // state. The redo steps set aside are dropped by whatever comes next but
    // RemoveLast, which brings them back.
    void Record(std::string name, std::unique_ptr<CHistoryParam> param = nullptr);
    // The same keeping only what the scope names; the caller then changes no more than that.
    void RecordScoped(std::string name, const SStepScope& scope, std::unique_ptr<CHistoryParam> param = nullptr);
    // Whether the last step keeps what the scope names (a whole step keeps all).
    bool LastStepCovers(const SStepScope& scope) const;
    // What Undo and Redo would touch now (nothing without such a step).
    SStepTouch GetUndoTouch() const;
    SStepTouch GetRedoTouch() const;
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

    // ---- memory ----------------------------------------------------------------
    // Past this many bytes (0: no limit) recording drops the oldest steps,
    // always keeping the newest one.
    void SetMemoryBudget(std::size_t bytes) { m_budget = bytes; }
    // The estimated bytes the steps keep.
    std::size_t GetMemoryUsed() const { return m_used; }

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
    // Destroys redo steps, newest first.
    void DropRedoSteps(std::vector<CCodeHistoryObject>& steps);
    void DropRedo() { DropRedoSteps(m_redo); }
    void DropSetAside();
    void PushStep(CCodeHistoryObject step);
    void DropOldest();

    std::unique_ptr<CState> m_state;
    std::vector<CCodeHistoryObject> m_undo;
    std::vector<CCodeHistoryObject> m_redo;
    int m_savedPoint = 0;
    // The redo stack and saved point of before the last Record, while
    // nothing else has happened since (the saved point -1 once the marker
    // moved since: the file equals no depth RemoveLast goes back to).
    std::vector<CCodeHistoryObject> m_setAside;
    bool m_hasSetAside = false;
    int m_setAsideSavedPoint = -1;
    std::size_t m_budget = 0;
    std::size_t m_used = 0;
};

} // namespace bram

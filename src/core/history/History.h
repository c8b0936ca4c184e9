#pragma once
// The undo history: two stacks of named steps and the saved marker.
//
// A history that holds a state keeps snapshots of two kinds.
//
// A scoped snapshot (RecordScoped) costs what the edit changes: the step
// names the triggers whose contents it changes (and whether the texts, the
// globals' list, appending triggers and globals, or removing triggers).
// Those triggers go on with copies of their contents while the step keeps
// the originals, detached; undo and redo exchange contents between the
// current triggers and the step's, in place, so after undo the nodes found
// before the step are there again, and the trigger objects never change.
//
// Variables keep their identity: a copy names the same globals and trigger
// variables as its original, and no step replaces one. A step that keeps
// the globals' list keeps which objects it held under which names; a global
// taken out (deleted, or replaced by one of another type) is handed to the
// step (CState::RetireGlobal), which first keeps the triggers of its users,
// then empties their parameters and keeps the object. A step that removes
// triggers takes them out with their trigger variables and keeps them, the
// triggers using those the same way. So a rename costs nothing but the name,
// a retype or deletion the triggers that use the variable, and undo puts
// back the very objects every parameter on either side points at.
//
// A whole snapshot (Record; no edit of the document makes one now) copies
// the state, makes the copy current and keeps the old state in the step;
// undo and redo exchange the two. Undo puts back the very state the copy
// replaced, so the steps below find their objects again; a step never
// changes kind, since a scoped step's state before would be a copy with
// other objects than the steps below it name.
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
class CUserDefinedVariable;

// What a scoped step changes in the state.
struct SStepScope {
    std::vector<std::uint32_t> triggers{}; // the contents of these triggers
    bool texts = false;                    // the preamble and the header
    // Appends triggers and globals (a new trigger, a paste): undo takes
    // whatever lies beyond the counts of before, and redo puts it back.
    bool appends = false;
    // The list of globals: which objects, in which order, under which names.
    // While the step is the last one recorded, a global taken out of the
    // list goes through CState::RetireGlobal: the step then keeps the
    // triggers of its users before their parameters are emptied, and the
    // variable itself.
    bool globals = false;
    // Triggers the step takes out of the state itself, a deletion (not with
    // appends). The triggers that use them keep their contents in the step,
    // and those parameters are emptied.
    std::vector<std::uint32_t> removes{};
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
    // Hands the current state's retired globals to this history.
    void Adopt();
    void RetireGlobal(std::unique_ptr<CUserDefinedVariable> global);
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
    // The last step keeps the globals and nothing has happened since.
    bool m_globalsOpen = false;
};

} // namespace bram

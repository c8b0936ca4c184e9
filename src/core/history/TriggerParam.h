#pragma once
// The history step of a trigger entry created, deleted, renamed or moved
// between categories.
//
// The step names the categories it works on itself (a category index would
// go stale when a category before it is deleted or put back). They stay
// alive while the step can be undone or redone: a category leaves the
// system only through a category step, which then keeps it, and every step
// that names it lies between that step and the present.
//
// Ownership: while the entry is out of every category (a created one undone,
// a deleted one not undone) the step owns it and destroys it with itself.

#include "history/HistoryParam.h"

#include <cstddef>
#include <memory>
#include <string>

namespace bram {

class CCategory;
class CTriggerEntry;

class CTriggerParam : public CHistoryParam {
public:
    enum class EAction { Create, Delete, Rename, Move };

    // The entry was just added to the category (it stays there).
    static std::unique_ptr<CTriggerParam> Created(CCategory* category, CTriggerEntry* entry);
    // The entry was just taken out of the category from `index`; the step keeps it.
    static std::unique_ptr<CTriggerParam> Deleted(CCategory* category, std::unique_ptr<CTriggerEntry> entry,
                                                  std::size_t index);
    // The entry was just renamed from oldName to its current name.
    static std::unique_ptr<CTriggerParam> Renamed(CCategory* category, CTriggerEntry* entry, std::string oldName);
    // The entry was just moved from sourceIndex of source to destinationIndex of destination.
    static std::unique_ptr<CTriggerParam> Moved(CTriggerEntry* entry, CCategory* source, std::size_t sourceIndex,
                                                CCategory* destination, std::size_t destinationIndex);
    ~CTriggerParam() override;

    void Undo() override;
    void Redo() override;
    void ListTouched(SStepTouch& touch) const override
    {
        touch.entries.emplace_back(m_source, m_entry);
        if (m_destination != m_source) {
            touch.entries.emplace_back(m_destination, m_entry);
        }
    }

    CTriggerEntry* GetTrigger() const { return m_entry; }
    bool OwnsTrigger() const { return m_kept != nullptr; }

private:
    CTriggerParam(EAction action, CTriggerEntry* entry, CCategory* category);
    void TakeOut();
    void PutBack();
    // Moves the entry from one category to a place in the other.
    void Transfer(CCategory* from, CCategory* to, std::size_t index);

    EAction m_action;
    CTriggerEntry* m_entry;
    // The entry while it is out of every category.
    std::unique_ptr<CTriggerEntry> m_kept;
    // The category the entry was in before the change, and the one it is in
    // after it (the same but for a move).
    CCategory* m_source;
    CCategory* m_destination;
    std::size_t m_sourceIndex = 0;
    std::size_t m_destinationIndex = 0;
    std::string m_oldName;
    std::string m_newName;
};

} // namespace bram

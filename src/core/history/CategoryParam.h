#pragma once
// The history step of a category created, deleted or renamed.
//
// Ownership: while the category is out of the category system (a created one
// undone, a deleted one not undone) the step owns it and destroys it with
// itself; otherwise the system owns it. So the category a step names is
// alive as long as the step can be undone or redone.

#include "history/HistoryParam.h"

#include <cstddef>
#include <memory>
#include <string>

namespace bram {

class CCategory;
class CCategorySystem;

class CCategoryParam : public CHistoryParam {
public:
    enum class EAction { Create, Delete, Rename };

    // The category was just added to the system (it stays there).
    static std::unique_ptr<CCategoryParam> Created(CCategorySystem& system, CCategory* category);
    // The category was just taken out of the system from `index`; the step keeps it.
    static std::unique_ptr<CCategoryParam> Deleted(CCategorySystem& system, std::unique_ptr<CCategory> category,
                                                   std::size_t index);
    // The category was just renamed from oldName to its current name.
    static std::unique_ptr<CCategoryParam> Renamed(CCategorySystem& system, CCategory* category, std::string oldName);
    ~CCategoryParam() override;

    void Undo() override;
    void Redo() override;
    void ListTouched(SStepTouch& touch) const override { touch.categoryList = true; }

    CCategory* GetCategory() const { return m_category; }
    bool OwnsCategory() const { return m_kept != nullptr; }

private:
    CCategoryParam(EAction action, CCategorySystem& system, CCategory* category);
    void TakeOut();
    void PutBack();

    EAction m_action;
    CCategorySystem* m_system;
    CCategory* m_category;
    // The category while it is out of the system.
    std::unique_ptr<CCategory> m_kept;
    // Where the category stands in the system while it is there.
    std::size_t m_index = 0;
    std::string m_oldName;
    std::string m_newName;
};

} // namespace bram

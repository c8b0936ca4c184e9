#pragma once
// What a history step puts back beyond its snapshots. The category system is
// not part of the state, so the steps of the categories view carry a
// parameter that undoes and redoes their change of it; the variables dialog's
// steps, which take no snapshots, carry all of their change in one.

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace bram {

class CCategory;
class CTriggerEntry;

// What undoing or redoing a step touches, for telling the views.
struct SStepTouch {
    bool whole = false;                       // anything in the state
    std::vector<std::uint32_t> triggers;      // the contents of these triggers
    bool texts = false;                       // the preamble and the header
    bool appends = false;                     // triggers and globals beyond the counts of before
    bool globals = false;                     // the globals' list and names
    bool categoryList = false;                // categories added, removed or renamed
    std::vector<const CCategory*> categories; // categories whose entries change
    // Of a category, only this entry: added, removed or renamed.
    std::vector<std::pair<const CCategory*, const CTriggerEntry*>> entries;
};

class CHistoryParam {
public:
    CHistoryParam() = default;
    CHistoryParam(const CHistoryParam&) = delete;
    CHistoryParam& operator=(const CHistoryParam&) = delete;
    virtual ~CHistoryParam() = default;

    // Called with the model as it was right after the change (Undo) or right
    // before it (Redo).
    virtual void Undo() = 0;
    virtual void Redo() = 0;
    // Adds what undo and redo of this change touch.
    virtual void ListTouched(SStepTouch& /*touch*/) const {}
};

// The changes of a step that makes several (a paste of many triggers):
// undone last first, redone in order.
class CParamList : public CHistoryParam {
public:
    void Add(std::unique_ptr<CHistoryParam> param) { m_params.push_back(std::move(param)); }
    void Undo() override
    {
        for (auto it = m_params.rbegin(); it != m_params.rend(); ++it) {
            (*it)->Undo();
        }
    }
    void Redo() override
    {
        for (const auto& param : m_params) {
            param->Redo();
        }
    }
    void ListTouched(SStepTouch& touch) const override
    {
        for (const auto& param : m_params) {
            param->ListTouched(touch);
        }
    }

private:
    std::vector<std::unique_ptr<CHistoryParam>> m_params;
};

} // namespace bram

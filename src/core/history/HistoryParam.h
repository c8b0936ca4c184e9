#pragma once
// What a history step puts back beyond its snapshots. The category system is
// not part of the state, so the steps of the categories view carry a
// parameter that undoes and redoes their change of it; the variables dialog's
// steps, which take no snapshots, carry all of their change in one.

#include <memory>
#include <vector>

namespace bram {

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

private:
    std::vector<std::unique_ptr<CHistoryParam>> m_params;
};

} // namespace bram

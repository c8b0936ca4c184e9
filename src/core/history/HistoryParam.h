#pragma once
// What a history step puts back beyond its snapshots. The category system is
// not part of the state, so the steps of the categories view carry a
// parameter that undoes and redoes their change of it; the variables dialog's
// steps, which take no snapshots, carry all of their change in one.

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

} // namespace bram

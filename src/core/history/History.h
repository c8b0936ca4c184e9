#pragma once
// The undo history: whole-state snapshots. Recording a step copies the
// current state, makes the copy current and keeps the old state in the
// step; undo and redo only switch between the kept snapshots. A step may in
// addition carry an undo and a redo action with a parameter, which the
// categories view uses to put back what the snapshots do not hold (the
// category system is not part of the state).
//
// Ownership of snapshots (kept by CApplicationDocument): the current state
// belongs to the document, every step on the undo stack owns its state
// before, every step on the redo stack owns its state after. A step never
// destroys a snapshot itself; it destroys its parameter when it owns it.

#include <any>
#include <cstdint>
#include <functional>
#include <string>

namespace bram {

class CCategory;
class CState;
class CTriggerEntry;

// Base of the typed history parameters; destroyed through its virtual destructor.
class CHistoryParam {
public:
    CHistoryParam() = default;
    CHistoryParam(const CHistoryParam&) = delete;
    CHistoryParam& operator=(const CHistoryParam&) = delete;
    virtual ~CHistoryParam() = default;
};

// A category created, deleted or renamed in the categories view.
class CCategoryParam : public CHistoryParam {
public:
    // reference: the view's own value (for a new category, the categorization
    // it was added to).
    CCategoryParam(CCategory* category, bool ownsCategory, void* reference = nullptr, std::any block = {})
        : m_category(category), m_ownsCategory(ownsCategory), m_reference(reference), m_block(std::move(block))
    {
    }
    // Deletes the category when it owns it.
    ~CCategoryParam() override;

    CCategory* GetCategory() const { return m_category; }
    void SetCategory(CCategory* category) { m_category = category; }
    // True while the category is out of the category system and kept only here.
    bool OwnsCategory() const { return m_ownsCategory; }
    void SetOwnsCategory(bool owns) { m_ownsCategory = owns; }
    void* GetReference() const { return m_reference; }
    // Whatever else the view keeps with the step (an old name, an index); freed with the parameter.
    std::any& GetBlock() { return m_block; }

private:
    CCategory* m_category;
    bool m_ownsCategory;
    void* m_reference;
    std::any m_block;
};

// A trigger entry created, deleted, renamed or moved in the categories view.
class CTriggerParam : public CHistoryParam {
public:
    CTriggerParam(CTriggerEntry* trigger, std::uint32_t value, bool ownsTrigger, std::uint32_t value2 = 0,
                  std::any block = {})
        : m_trigger(trigger), m_value(value), m_ownsTrigger(ownsTrigger), m_value2(value2), m_block(std::move(block))
    {
    }
    // Deletes the entry when it owns it.
    ~CTriggerParam() override;

    CTriggerEntry* GetTrigger() const { return m_trigger; }
    void SetTrigger(CTriggerEntry* trigger) { m_trigger = trigger; }
    bool OwnsTrigger() const { return m_ownsTrigger; }
    void SetOwnsTrigger(bool owns) { m_ownsTrigger = owns; }
    std::uint32_t GetValue() const { return m_value; }
    void SetValue(std::uint32_t value) { m_value = value; }
    std::uint32_t GetValue2() const { return m_value2; }
    void SetValue2(std::uint32_t value) { m_value2 = value; }
    std::any& GetBlock() { return m_block; }

private:
    CTriggerEntry* m_trigger;
    std::uint32_t m_value;
    bool m_ownsTrigger;
    std::uint32_t m_value2;
    std::any m_block;
};

// An undo or redo action; it receives the step's parameter (a CHistoryParam*
// for steps recorded with one, else the plain pointer).
using HistoryAction = std::function<void(void* parameter)>;

// One recorded step. It moves between the stacks (never copied, so an owned
// parameter has one owner); destroying it destroys an owned parameter, while
// the snapshots are destroyed by the stack that holds the step (see above).
class CCodeHistoryObject {
public:
    enum class ParamKind { None, Plain, History };

    CCodeHistoryObject(std::string name, CState* before, CState* after, HistoryAction undo, HistoryAction redo,
                       void* parameter, bool ownsParameter, ParamKind kind);
    CCodeHistoryObject(CCodeHistoryObject&& other) noexcept;
    CCodeHistoryObject& operator=(CCodeHistoryObject&& other) noexcept;
    CCodeHistoryObject(const CCodeHistoryObject&) = delete;
    CCodeHistoryObject& operator=(const CCodeHistoryObject&) = delete;
    ~CCodeHistoryObject();

    const std::string& GetName() const { return m_name; }
    void SetName(std::string name) { m_name = std::move(name); }
    CState* GetStateBefore() const { return m_before; }
    CState* GetStateAfter() const { return m_after; }
    bool IsUndone() const { return m_undone; }
    void* GetParameter() const { return m_parameter; }

    // Mark undone / not undone and run the action, if any.
    void Undo();
    void Redo();

private:
    // Destroys the parameter when the step owns it (a plain one was allocated with std::malloc).
    void DestroyParameter();

    std::string m_name;
    CState* m_before;
    CState* m_after;
    HistoryAction m_undoAction;
    HistoryAction m_redoAction;
    void* m_parameter;
    bool m_undone = false;
    bool m_ownsParameter;
    ParamKind m_kind;
};

} // namespace bram

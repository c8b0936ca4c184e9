#pragma once
// Asks for one variable's name and type and checks the name against the
// variables it must not clash with (IsVariableNameTaken).

#include <QDialog>

#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QLineEdit;

namespace bram {
class CCodeTrigger;
class CState;
class CTypeInfo;
class CUserDefinedVariable;
} // namespace bram

namespace bram::gui {

class CVariableEditDialog : public QDialog {
    Q_OBJECT
public:
    // variable: the one to change, or null for a new one; localsOf: the
    // trigger whose local it is, null for a global.
    CVariableEditDialog(CUserDefinedVariable* variable, const CState& state, const CCodeTrigger* localsOf,
                        QWidget* parent = nullptr);
    ~CVariableEditDialog() override;

    // After OK: the variable opened for, or a new one (new variable, or the
    // type was changed) that TakeNewVariable hands over.
    std::unique_ptr<CUserDefinedVariable> TakeNewVariable();

    QLineEdit* NameField() const { return m_name; }
    QComboBox* TypeList() const { return m_types; }
    // The types a variable may have, in the order of the type registry.
    static std::vector<const CTypeInfo*> SelectableTypes();

    void accept() override;

private:
    bool Refuse(const char* key, QWidget* focus);

    CUserDefinedVariable* m_variable;
    const CState& m_state;
    const CCodeTrigger* m_localsOf;
    std::vector<const CTypeInfo*> m_typeChoices;
    std::unique_ptr<CUserDefinedVariable> m_created;
    CUserDefinedVariable* m_result = nullptr;
    QLineEdit* m_name;
    QComboBox* m_types;
};

} // namespace bram::gui

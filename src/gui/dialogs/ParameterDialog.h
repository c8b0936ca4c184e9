#pragma once
// Sets one parameter of an instruction: a constant of its type, a variable,
// a call returning its type (whose own parameters open this dialog again),
// or a typed-in value; for an enumerated parameter one of its values. A
// choice in a list is taken over at once, so nested dialogs can edit a chosen
// call. Cancel puts back exactly what the parameter held when the dialog
// opened, even when nested dialogs or the variables dialog changed things.

#include "gui/common/ControlIds.h"

#include "code/Instructions.h"

#include <QDialog>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class QAbstractButton;
class QButtonGroup;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace bram {
class CCall;
class CState;
class CTypeInfo;
} // namespace bram

namespace bram::gui {

class CHyperlinkCtrl;
class CNumberSpinBox;
class CVariablesDialog;

// Shows an instruction's sentence in the link text: the pattern split at its
// placeholders, one link per parameter carrying the parameter's index, marked
// set when the parameter is complete and unavailable while it has no type.
// Texts over 35 characters are shortened to 15 + "[...]" + 15. emptyText, when
// given, stands for a parameter without a value. Returns whether every
// parameter is complete.
bool ShowSentence(CHyperlinkCtrl& control, const std::string& pattern, const CCodeBase& instruction,
                  const QString& emptyText = QString());
// Whether a dialog can be opened for the parameter: a reference parameter
// whose source is empty has no type to offer anything for.
bool CanEditParameter(const CParameter* parameter);

class CParameterDialog : public QDialog {
    Q_OBJECT
public:
    enum ESource { SourceConstant, SourceVariable, SourceInstruction, SourceLiteral };

    CParameterDialog(CState* state, CParameter* parameter, QWidget* parent = nullptr);
    ~CParameterDialog() override;

    // A variable was added or changed through this dialog or a nested one.
    bool VariablesChanged() const { return m_variablesChanged; }

    // The controls; null for a row the parameter does not offer.
    QRadioButton* SourceRadio(ESource source) const;
    QComboBox* ConstantList() const { return m_constants; }
    QComboBox* VariableList() const { return m_variables; }
    QComboBox* CallList() const { return m_calls; }
    CHyperlinkCtrl* CallText() const { return m_callText; }
    CNumberSpinBox* NumberField() const { return m_number; }
    QPlainTextEdit* TextField() const { return m_text; }
    QRadioButton* TrueRadio() const { return m_true; }
    QRadioButton* FalseRadio() const { return m_false; }
    QPushButton* AddVariableButton(bool local) const { return local ? m_addLocal : m_addGlobal; }
    QPushButton* OkButton() const { return m_ok; }

    void OnAddVariable(bool local);
    // A parameter link of the shown call.
    void OnCallLinkClicked(std::uint32_t index);

    void accept() override;
    void reject() override;

protected:
    // Run the variables dialog and nested parameter dialogs modally; tests
    // answer them here. Nested dialogs run theirs through the outermost one.
    virtual int RunVariablesDialog(CVariablesDialog& dialog);
    virtual int RunNestedDialog(CParameterDialog& dialog);

private:
    struct Rows {
        bool constant = false;
        bool variable = false;
        bool instruction = false;
        bool literal = false;
    };
    Rows ChooseRows() const;
    void SaveForCancel();
    void BuildRows(const Rows& rows);
    QComboBox* AddListRow(QGridLayout* grid, ESource source, const char* radioKey, EControl id);
    void BuildLiteral(QGridLayout* grid, int row);
    void FillLists();
    void FillConstants();
    void FillVariables();
    void FillCalls();
    void FillLiteral();
    void CheckSource(int source);
    void OnListChosen(ESource source);
    void OnSourceChosen(ESource source);
    CCall* ShownCall() const;
    void ShowCall();
    bool IsChoiceComplete() const;
    void UpdateOk();
    CCodeBase* MakeLiteral() const;

    CState* m_state;
    CParameter* m_parameter;
    CParameterDialog* m_runner = this;
    const CTypeInfo* m_type = nullptr;
    bool m_enumerated = false;
    // What Cancel puts back: the value (or choice) and the reference
    // parameters that depend on this one, which another type would empty.
    CHeldValue m_saved;
    int m_savedChoice = -1;
    std::vector<std::pair<CParameter*, CHeldValue>> m_savedDependents;
    bool m_variablesChanged = false;
    bool m_filling = false;
    // Accepted or rejected: the saved value is spent.
    bool m_closed = false;

    QButtonGroup* m_sources;
    QComboBox* m_constants = nullptr;
    QComboBox* m_variables = nullptr;
    QComboBox* m_calls = nullptr;
    QPushButton* m_addGlobal = nullptr;
    QPushButton* m_addLocal = nullptr;
    QGroupBox* m_callGroup = nullptr;
    CHyperlinkCtrl* m_callText = nullptr;
    CNumberSpinBox* m_number = nullptr;
    QPlainTextEdit* m_text = nullptr;
    QGroupBox* m_boolGroup = nullptr;
    QRadioButton* m_true = nullptr;
    QRadioButton* m_false = nullptr;
    QPushButton* m_ok = nullptr;
};

} // namespace bram::gui

#pragma once
// Picks an instruction (a call or structure of the modules) for a block of a
// given type, narrowed by category and a search text, and fills in its
// parameters by clicking them in the instruction's sentence. Editing an
// existing instruction works on a copy. CInstructionDialogChooser is how the
// instruction view opens it.

#include "gui/views/InstructionChooser.h"

#include <QDialog>

#include <cstdint>
#include <memory>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace bram {
class CCodeBase;
class CCodeInfoBase;
class CParameter;
class CState;
class CTypeInfo;
} // namespace bram

namespace bram::gui {

class CHyperlinkCtrl;
class CParameterDialog;

class CInstructionDialog : public QDialog {
    Q_OBJECT
public:
    // instruction: the one to edit (the dialog works on a copy), or null for a new one.
    CInstructionDialog(CState* state, const CTypeInfo* blockType, const CCodeBase* instruction,
                       QWidget* parent = nullptr);
    ~CInstructionDialog() override;

    // The instruction built so far, null while none is chosen.
    const CCodeBase* GetInstruction() const { return m_instruction.get(); }
    // After OK the caller takes the instruction.
    std::unique_ptr<CCodeBase> TakeInstruction() { return std::move(m_instruction); }
    // A parameter dialog opened from here added or changed variables.
    bool VariablesChanged() const { return m_variablesChanged; }

    QComboBox* CategoryBox() const { return m_categories; }
    QComboBox* InstructionList() const { return m_list; }
    QLineEdit* SearchField() const { return m_search; }
    CHyperlinkCtrl* Description() const { return m_description; }
    QPushButton* OkButton() const { return m_ok; }

    // A parameter link of the sentence.
    void OnLinkClicked(std::uint32_t index);
    // Opens the dialog of the first parameter without a value, as its link
    // would; false when there is none to open.
    bool AskFirstMissingParameter();
    // Does so once the dialog shows (an instruction picked by name).
    void AskFirstMissingParameterOnShow() { m_askOnShow = true; }

    void accept() override;
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    // Tests make and answer the parameter dialogs here.
    virtual std::unique_ptr<CParameterDialog> MakeParameterDialog(CParameter* parameter);
    virtual int RunParameterDialog(CParameterDialog& dialog);

private:
    void BuildControls();
    void FillCategories();
    bool IsOffered(const CCodeInfoBase* definition, const QString& category, const QString& search) const;
    // The list's choice becomes the instruction: another definition starts a new one.
    void TakeSelection();
    // Lists what category and search offer and shows the instruction's sentence.
    void Refresh();
    void OnFilterChanged();

    CState* m_state;
    const CTypeInfo* m_blockType;
    std::unique_ptr<CCodeBase> m_instruction;
    bool m_variablesChanged = false;
    bool m_refreshing = false;
    bool m_askOnShow = false;

    QComboBox* m_categories;
    QLineEdit* m_search;
    QComboBox* m_list;
    CHyperlinkCtrl* m_description;
    QPushButton* m_ok = nullptr;
};

// Opens the instruction dialog for the instruction view.
class CInstructionDialogChooser : public IInstructionChooser {
public:
    Result Choose(CState& state, const CTypeInfo* blockType, const CCodeBase* existing, QWidget* parent) override;
    Result ChoosePicked(CState& state, const CTypeInfo* blockType, const CCodeBase& picked, QWidget* parent) override;

protected:
    // Runs the dialog modally; tests answer it here.
    virtual int Run(CInstructionDialog& dialog);

private:
    Result Ask(CInstructionDialog& dialog);
};

} // namespace bram::gui

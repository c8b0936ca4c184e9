#include "gui/dialogs/InstructionDialog.h"

#include "gui/common/ControlIds.h"
#include "gui/common/UserPrompts.h"
#include "gui/controls/HyperlinkCtrl.h"
#include "gui/dialogs/ParameterDialog.h"

#include "code/Instructions.h"
#include "code/State.h"
#include "log/Assertion.h"
#include "records/Definitions.h"
#include "records/TypeInfo.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace bram::gui {

namespace {

// The localized categories of a definition, one per "|"-separated piece.
QStringList CategoryTexts(const CCodeInfoBase* definition)
{
    QStringList texts;
    for (const QString& piece : ToQ(definition->GetCategories()).split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        texts << Localized(("Category/" + piece.toStdString()).c_str());
    }
    return texts;
}

const CCodeInfoBase* DefinitionOf(const QComboBox* list)
{
    return list->currentIndex() < 0 ? nullptr
                                    : reinterpret_cast<const CCodeInfoBase*>(list->currentData().value<quintptr>());
}

// A label naming its field, also for assistive tools.
QLabel* LabelFor(QWidget* field, const char* key, QWidget* parent)
{
    auto* label = new QLabel(Localized(key), parent);
    label->setBuddy(field);
    field->setAccessibleName(label->text());
    return label;
}

} // namespace

CInstructionDialog::CInstructionDialog(CState* state, const CTypeInfo* blockType, const CCodeBase* instruction,
                                       QWidget* parent)
    : QDialog(parent),
      m_state(state),
      m_blockType(blockType),
      m_categories(new QComboBox(this)),
      m_search(new QLineEdit(this)),
      m_list(new QComboBox(this)),
      m_description(new CHyperlinkCtrl(this))
{
    BRAMBLETON_ASSERT(state != nullptr && state->GetCurrentTrigger() != nullptr);
    BRAMBLETON_ASSERT(blockType != nullptr);
    if (instruction != nullptr) {
        BRAMBLETON_ASSERT(instruction->GetType() == blockType);
        m_instruction.reset(instruction->Clone());
    }
    BuildControls();
    FillCategories();
    Refresh();
    TakeSelection();
    Refresh();
}

CInstructionDialog::~CInstructionDialog() = default;

void CInstructionDialog::BuildControls()
{
    setWindowTitle(Localized("InstructionDialog/New") +
                   (m_blockType != nullptr ? ToQ(m_blockType->GetLocalizedName()) : QString()));
    m_categories->setObjectName(ControlName(EControl::InstructionCategories));
    m_search->setObjectName(ControlName(EControl::InstructionSearch));
    m_list->setObjectName(ControlName(EControl::InstructionList));
    m_description->setObjectName(ControlName(EControl::InstructionDescription));
    for (QComboBox* combo : {m_categories, m_list}) {
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        combo->setMinimumContentsLength(32);
    }
    auto* form = new QFormLayout;
    form->addRow(LabelFor(m_categories, "InstructionDialog/CategoryLabel", this), m_categories);
    form->addRow(LabelFor(m_search, "InstructionDialog/SearchLabel", this), m_search);
    form->addRow(LabelFor(m_list, "InstructionDialog/InstructionLabel", this), m_list);

    auto* sentence = new QGroupBox(Localized("InstructionDialog/DescriptionLabel"), this);
    m_description->setAccessibleName(sentence->title());
    m_description->setMinimumHeight(m_description->fontMetrics().lineSpacing() * 4);
    auto* sentenceLayout = new QVBoxLayout(sentence);
    sentenceLayout->addWidget(m_description);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setText(Localized("InstructionDialog/OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(Localized("InstructionDialog/Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CInstructionDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CInstructionDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(sentence, 1);
    layout->addWidget(buttons);
    setTabOrder(m_categories, m_search);
    setTabOrder(m_search, m_list);
    setTabOrder(m_list, m_description);

    connect(m_categories, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) {
            OnFilterChanged();
        }
    });
    connect(m_search, &QLineEdit::textChanged, this, &CInstructionDialog::OnFilterChanged);
    connect(m_list, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_refreshing) {
            TakeSelection();
            Refresh();
        }
    });
    connect(m_description, &CHyperlinkCtrl::linkClicked, this, &CInstructionDialog::OnLinkClicked);
}

void CInstructionDialog::FillCategories()
{
    m_refreshing = true;
    m_categories->clear();
    for (const CCodeInfoBase* definition : GetAllInstructions()) {
        if (definition->GetType() != m_blockType) {
            continue;
        }
        for (const QString& text : CategoryTexts(definition)) {
            // The box's own look-up, which ignores case.
            if (m_categories->findText(text, Qt::MatchFixedString) < 0) {
                m_categories->addItem(text);
            }
        }
    }
    // An edited instruction is shown in its own (first) category.
    const QStringList own = m_instruction ? CategoryTexts(m_instruction->GetDefinition()) : QStringList();
    const int index = own.isEmpty() ? -1 : m_categories->findText(own.front());
    m_categories->setCurrentIndex(index >= 0 ? index : (m_categories->count() > 0 ? 0 : -1));
    m_refreshing = false;
}

bool CInstructionDialog::IsOffered(const CCodeInfoBase* definition, const QString& category,
                                   const QString& search) const
{
    return definition->GetType() == m_blockType && CategoryTexts(definition).contains(category) &&
           (search.isEmpty() || ToQ(definition->GetLocalizedName()).contains(search, Qt::CaseSensitive));
}

void CInstructionDialog::TakeSelection()
{
    const CCodeInfoBase* chosen = DefinitionOf(m_list);
    if (m_instruction && (chosen == nullptr || m_instruction->GetDefinition() != chosen)) {
        m_instruction.reset();
    }
    if (!m_instruction && chosen != nullptr) {
        m_instruction = chosen->CreateCode();
    }
}

void CInstructionDialog::Refresh()
{
    m_refreshing = true;
    const QString category = m_categories->currentText();
    const QString search = m_search->text();
    m_list->clear();
    int selected = -1;
    for (const CCodeInfoBase* definition : GetAllInstructions()) {
        if (!IsOffered(definition, category, search)) {
            continue;
        }
        if (m_instruction && m_instruction->GetDefinition() == definition) {
            selected = m_list->count();
        }
        m_list->addItem(ToQ(definition->GetLocalizedName()),
                        QVariant::fromValue(reinterpret_cast<quintptr>(definition)));
    }
    if (selected < 0) {
        m_instruction.reset();
    }
    m_list->setCurrentIndex(selected >= 0 ? selected : (m_list->count() > 0 ? 0 : -1));

    bool complete = false;
    if (m_instruction) {
        complete =
            ShowSentence(*m_description, m_instruction->GetDefinition()->GetLocalizedDescription(), *m_instruction);
    } else {
        m_description->ClearLinks();
        m_description->SetText(QString());
    }
    m_ok->setEnabled(m_list->count() > 0 && m_instruction && complete);
    m_refreshing = false;
}

void CInstructionDialog::OnFilterChanged()
{
    if (m_refreshing) {
        return;
    }
    Refresh();
    TakeSelection();
    Refresh();
}

std::unique_ptr<CParameterDialog> CInstructionDialog::MakeParameterDialog(CParameter* parameter)
{
    return std::make_unique<CParameterDialog>(m_state, parameter, this);
}

int CInstructionDialog::RunParameterDialog(CParameterDialog& dialog) { return dialog.exec(); }

void CInstructionDialog::OnLinkClicked(std::uint32_t index)
{
    CParameter* parameter =
        m_instruction && index < m_instruction->GetParameterCount() ? m_instruction->GetParameter(index) : nullptr;
    // A parameter that takes its type from an empty one has nothing to offer yet.
    if (!CanEditParameter(parameter)) {
        UserPrompts().Beep();
        return;
    }
    const std::unique_ptr<CParameterDialog> dialog = MakeParameterDialog(parameter);
    RunParameterDialog(*dialog);
    m_variablesChanged = m_variablesChanged || dialog->VariablesChanged();
    // Either way: a cancelled dialog may still have deleted variables the instruction used.
    Refresh();
}

bool CInstructionDialog::AskFirstMissingParameter()
{
    for (std::size_t i = 0; m_instruction && i < m_instruction->GetParameterCount(); ++i) {
        const CParameter* parameter = m_instruction->GetParameter(i);
        if (parameter != nullptr && !parameter->HasValue() && CanEditParameter(parameter)) {
            OnLinkClicked(static_cast<std::uint32_t>(i));
            return true;
        }
    }
    return false;
}

void CInstructionDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_askOnShow) {
        m_askOnShow = false;
        // After the dialog is on screen, so the parameter dialog opens over it.
        QTimer::singleShot(0, this, [this] { AskFirstMissingParameter(); });
    }
}

void CInstructionDialog::accept()
{
    if (!m_ok->isEnabled()) {
        UserPrompts().Beep();
        return;
    }
    QDialog::accept();
}

void CInstructionDialog::reject()
{
    m_instruction.reset();
    QDialog::reject();
}

// ---- chooser ----------------------------------------------------------------

IInstructionChooser::Result CInstructionDialogChooser::Choose(CState& state, const CTypeInfo* blockType,
                                                              const CCodeBase* existing, QWidget* parent)
{
    CInstructionDialog dialog(&state, blockType, existing, parent);
    return Ask(dialog);
}

IInstructionChooser::Result CInstructionDialogChooser::ChoosePicked(CState& state, const CTypeInfo* blockType,
                                                                    const CCodeBase& picked, QWidget* parent)
{
    CInstructionDialog dialog(&state, blockType, &picked, parent);
    dialog.AskFirstMissingParameterOnShow();
    return Ask(dialog);
}

IInstructionChooser::Result CInstructionDialogChooser::Ask(CInstructionDialog& dialog)
{
    Result result;
    if (Run(dialog) == QDialog::Accepted) {
        result.instruction = dialog.TakeInstruction();
    }
    result.variablesChanged = dialog.VariablesChanged();
    return result;
}

int CInstructionDialogChooser::Run(CInstructionDialog& dialog) { return dialog.exec(); }

} // namespace bram::gui

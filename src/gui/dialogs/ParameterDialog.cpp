#include "gui/dialogs/ParameterDialog.h"

#include "gui/common/ControlIds.h"
#include "gui/common/UserPrompts.h"
#include "gui/controls/HyperlinkCtrl.h"
#include "gui/controls/NumberEdit.h"
#include "gui/dialogs/VariablesDialog.h"

#include "code/State.h"
#include "code/Values.h"
#include "localization/Localization.h"
#include "log/Assertion.h"
#include "modules/Module.h"
#include "records/InstructionInfo.h"
#include "records/TypeInfo.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

#include <algorithm>
#include <limits>

namespace bram::gui {

namespace {

constexpr qsizetype kLongText = 35;
constexpr qsizetype kKeptEnds = 15;

QString Shortened(const QString& text)
{
    return text.size() > kLongText ? text.left(kKeptEnds) + QStringLiteral("[...]") + text.right(kKeptEnds) : text;
}

QVariant PointerData(const void* pointer) { return QVariant::fromValue(reinterpret_cast<quintptr>(pointer)); }

template <typename T>
T* PointerOf(const QComboBox* combo)
{
    if (combo == nullptr || combo->currentIndex() < 0) {
        return nullptr;
    }
    return reinterpret_cast<T*>(combo->currentData().value<quintptr>());
}

struct Entry {
    QString text;
    QVariant data;
};

// The lists are sorted by their texts; `current` is selected (none when absent).
void FillCombo(QComboBox* combo, std::vector<Entry> entries, const QVariant& current)
{
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return QString::localeAwareCompare(a.text, b.text) < 0; });
    combo->clear();
    for (const Entry& entry : entries) {
        combo->addItem(entry.text, entry.data);
    }
    combo->setCurrentIndex(current.isValid() ? combo->findData(current) : -1);
}

// The reference parameters of the same instruction that take their type from `parameter`.
std::vector<CParameter*> Dependents(CParameter* parameter)
{
    std::vector<CParameter*> dependents;
    CCodeBase* instruction = parameter->GetParent();
    if (instruction == nullptr || (instruction->GetCodeType() & CodeTypeInstructionMask) == 0) {
        return dependents;
    }
    for (std::size_t i = 0; i < instruction->GetParameterCount(); ++i) {
        CParameter* other = instruction->GetParameter(i);
        if (other != parameter && other->GetReference() == parameter) {
            dependents.push_back(other);
        }
    }
    return dependents;
}

} // namespace

bool ShowSentence(CHyperlinkCtrl& control, const std::string& pattern, const CCodeBase& instruction,
                  const QString& emptyText)
{
    const std::size_t count = instruction.GetParameterCount();
    std::vector<std::string> texts;
    bool complete = true;
    for (std::size_t i = 0; i < count; ++i) {
        const CParameter* parameter = instruction.GetParameter(i);
        complete = complete && parameter->IsComplete();
        const bool empty = !parameter->HasValue() && !emptyText.isNull();
        texts.push_back(empty ? emptyText.toStdString() : parameter->GetText());
    }
    const std::vector<std::string> pieces = SplitAtPlaceholders(pattern, texts);
    control.ClearLinks();
    QString sentence;
    std::vector<std::pair<int, int>> links; // start and length of each parameter piece
    for (std::size_t j = 0; j < pieces.size(); ++j) {
        if (j % 2 == 0) {
            sentence += ToQ(pieces[j]);
            continue;
        }
        const QString text = Shortened(ToQ(pieces[j]));
        links.emplace_back(static_cast<int>(sentence.size()), static_cast<int>(text.size()));
        sentence += text;
    }
    control.SetText(sentence);
    for (std::size_t k = 0; k < links.size(); ++k) {
        const CParameter* parameter = instruction.GetParameter(k);
        const CHyperlinkCtrl::CLink* link =
            control.AddLink(links[k].first, std::max(links[k].second, 1), static_cast<std::uint32_t>(k));
        unsigned marks = parameter->IsComplete() ? CHyperlinkCtrl::MarkSet : 0;
        marks |= CanEditParameter(parameter) ? 0 : CHyperlinkCtrl::MarkUnavailable;
        control.SetLinkMarks(link, marks);
    }
    return complete;
}

bool CanEditParameter(const CParameter* parameter)
{
    return parameter != nullptr && (parameter->IsEnumerated() || parameter->GetType() != nullptr);
}

CParameterDialog::CParameterDialog(CState* state, CParameter* parameter, QWidget* parent)
    : QDialog(parent), m_state(state), m_parameter(parameter), m_sources(new QButtonGroup(this))
{
    m_filling = true; // building the controls is not the user choosing
    BRAMBLETON_ASSERT(state != nullptr && parameter != nullptr);
    m_enumerated = parameter != nullptr && parameter->IsEnumerated();
    m_type = parameter != nullptr && !m_enumerated ? parameter->GetType() : nullptr;
    BRAMBLETON_ASSERT(m_enumerated || m_type != nullptr);
    if (m_enumerated) {
        setWindowTitle(ToQ(parameter->GetDefinition()->GetLocalizedDescription()));
    } else if (m_type != nullptr) {
        setWindowTitle(ToQ(m_type->GetLocalizedName()));
    }
    if (parameter != nullptr) {
        SaveForCancel();
    }
    BuildRows(ChooseRows());
    FillLists();
}

CParameterDialog::~CParameterDialog() = default;

void CParameterDialog::SaveForCancel()
{
    if (m_enumerated) {
        m_savedChoice = m_parameter->GetChoiceIndex();
        return;
    }
    for (CParameter* dependent : Dependents(m_parameter)) {
        m_savedDependents.emplace_back(dependent, CHeldValue::CopyOf(dependent->GetValue()));
    }
    // The dialog works on a copy; the value itself stays aside, alive and
    // unchanged, until the dialog ends.
    m_saved = m_parameter->TakeValue();
    m_parameter->SetValue(m_saved.Get() != nullptr ? m_saved.Get()->Clone() : nullptr);
}

CParameterDialog::Rows CParameterDialog::ChooseRows() const
{
    Rows rows;
    if (m_enumerated) {
        rows.literal = true;
        return rows;
    }
    if (m_type == nullptr) {
        return rows;
    }
    const std::uint32_t realType = m_type->GetRealType();
    if (m_parameter->GetParameterInfo()->GetOnlyVariables() || (realType & RealTypeVariable) != 0) {
        rows.variable = true;
        return rows;
    }
    const auto& constants = GetAllConstants();
    rows.constant =
        std::any_of(constants.begin(), constants.end(), [this](const CConstant* c) { return c->GetType() == m_type; });
    const auto& instructions = GetAllInstructions();
    rows.instruction = std::any_of(instructions.begin(), instructions.end(), [this](const CCodeInfoBase* d) {
        return d->GetKind() == EDefinitionKind::Call && d->GetType() == m_type;
    });
    // Trigger variables exist for every trigger; other types need a declaration.
    rows.variable = (realType & (RealTypeTrigger | RealTypeFunction)) != 0 || !m_type->GetRawInstruction().empty();
    rows.literal = (realType & (RealTypeBoolean | RealTypeNumber | RealTypeString)) != 0;
    return rows;
}

QComboBox* CParameterDialog::AddListRow(QGridLayout* grid, ESource source, const char* radioKey, EControl id)
{
    auto* radio = new QRadioButton(Localized(radioKey), this);
    m_sources->addButton(radio, source);
    auto* combo = new QComboBox(this);
    combo->setObjectName(ControlName(id));
    combo->setAccessibleName(radio->text());
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(24);
    const int row = grid->rowCount();
    grid->addWidget(radio, row, 0);
    grid->addWidget(combo, row, 1);
    connect(combo, &QComboBox::currentIndexChanged, this, [this, source] { OnListChosen(source); });
    return combo;
}

void CParameterDialog::BuildRows(const Rows& rows)
{
    static constexpr struct {
        ESource source;
        EControl id;
    } radioIds[] = {{SourceConstant, EControl::ParameterConstantRadio},
                    {SourceVariable, EControl::ParameterVariableRadio},
                    {SourceInstruction, EControl::ParameterCallRadio},
                    {SourceLiteral, EControl::ParameterValueRadio}};
    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    if (m_enumerated) {
        m_constants = AddListRow(grid, SourceLiteral, "ParameterDialog/ValueRadio", EControl::ParameterConstantList);
    }
    if (rows.constant) {
        m_constants =
            AddListRow(grid, SourceConstant, "ParameterDialog/ConstantRadio", EControl::ParameterConstantList);
    }
    if (rows.variable) {
        m_variables =
            AddListRow(grid, SourceVariable, "ParameterDialog/VariableRadio", EControl::ParameterVariableList);
        m_addGlobal = new QPushButton(Localized("ParameterDialog/AddGlobalButton"), this);
        m_addLocal = new QPushButton(Localized("ParameterDialog/AddLocalButton"), this);
        m_addGlobal->setObjectName(ControlName(EControl::ParameterAddGlobal));
        m_addLocal->setObjectName(ControlName(EControl::ParameterAddLocal));
        m_addGlobal->setAutoDefault(false);
        m_addLocal->setAutoDefault(false);
        // Locals belong to the current trigger.
        m_addLocal->setEnabled(m_state != nullptr && m_state->GetCurrentTrigger() != nullptr);
        auto* buttons = new QHBoxLayout;
        buttons->addWidget(m_addGlobal);
        buttons->addWidget(m_addLocal);
        buttons->addStretch();
        grid->addLayout(buttons, grid->rowCount(), 1);
        connect(m_addGlobal, &QPushButton::clicked, this, [this] { OnAddVariable(false); });
        connect(m_addLocal, &QPushButton::clicked, this, [this] { OnAddVariable(true); });
    }
    if (rows.instruction) {
        m_calls = AddListRow(grid, SourceInstruction, "ParameterDialog/InstructionRadio", EControl::ParameterCallList);
        m_callGroup = new QGroupBox(this);
        m_callGroup->setObjectName(ControlName(EControl::ParameterCallGroup));
        m_callGroup->setAccessibleName(SourceRadio(SourceInstruction)->text());
        m_callText = new CHyperlinkCtrl(m_callGroup);
        m_callText->setObjectName(ControlName(EControl::ParameterCallText));
        auto* groupLayout = new QVBoxLayout(m_callGroup);
        groupLayout->addWidget(m_callText);
        grid->addWidget(m_callGroup, grid->rowCount(), 1);
        connect(m_callText, &CHyperlinkCtrl::linkClicked, this, &CParameterDialog::OnCallLinkClicked);
    }
    if (rows.literal && !m_enumerated) {
        BuildLiteral(grid, grid->rowCount());
    }
    for (const auto& [source, id] : radioIds) {
        if (QRadioButton* radio = SourceRadio(source)) {
            radio->setObjectName(ControlName(id));
        }
    }
    // The state change, not the click: keys and accessibility tools check a source too.
    connect(m_sources, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked && !m_filling) {
            OnSourceChosen(static_cast<ESource>(id));
        }
    });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setText(Localized("ParameterDialog/OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(Localized("ParameterDialog/Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CParameterDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CParameterDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addStretch();
    layout->addWidget(buttons);
}

void CParameterDialog::BuildLiteral(QGridLayout* grid, int row)
{
    auto* radio = new QRadioButton(Localized("ParameterDialog/ValueRadio"), this);
    m_sources->addButton(radio, SourceLiteral);
    grid->addWidget(radio, row, 0, Qt::AlignTop);
    const std::uint32_t realType = m_type->GetRealType();
    // Editing a value chooses the value as the source.
    const auto edited = [this] {
        if (!m_filling) {
            CheckSource(SourceLiteral);
            UpdateOk();
        }
    };
    if ((realType & RealTypeBoolean) != 0) {
        m_boolGroup = new QGroupBox(this);
        m_boolGroup->setObjectName(ControlName(EControl::ParameterBoolGroup));
        m_boolGroup->setAccessibleName(radio->text());
        m_true = new QRadioButton(Localized("ParameterDialog/TrueName"), m_boolGroup);
        m_false = new QRadioButton(Localized("ParameterDialog/FalseName"), m_boolGroup);
        m_true->setObjectName(ControlName(EControl::ParameterTrue));
        m_false->setObjectName(ControlName(EControl::ParameterFalse));
        m_true->setChecked(true);
        auto* boolLayout = new QHBoxLayout(m_boolGroup);
        boolLayout->addWidget(m_true);
        boolLayout->addWidget(m_false);
        boolLayout->addStretch();
        grid->addWidget(m_boolGroup, row, 1);
        // A change from anywhere, or a click on the value already shown, chooses it.
        for (QRadioButton* value : {m_true, m_false}) {
            connect(value, &QRadioButton::clicked, this, edited);
            connect(value, &QRadioButton::toggled, this, [edited](bool checked) {
                if (checked) {
                    edited();
                }
            });
        }
    } else if ((realType & RealTypeNumber) != 0) {
        m_number = new CNumberSpinBox(this);
        m_number->setObjectName(ControlName(EControl::ParameterNumber));
        m_number->Edit()->setObjectName(ControlName(EControl::ParameterNumberEdit));
        m_number->setAccessibleName(radio->text());
        m_number->Edit()->SetDecimals(2);
        const CParameterInfo* info = m_parameter->GetParameterInfo();
        const bool hasMinimum = info != nullptr && info->GetType() == m_type && info->HasMinValue();
        m_number->Edit()->SetRange(hasMinimum ? info->GetMinValue() : std::numeric_limits<double>::lowest(),
                                   std::numeric_limits<double>::max());
        grid->addWidget(m_number, row, 1, Qt::AlignLeft);
        connect(m_number->Edit(), &QLineEdit::textChanged, this, edited);
    } else {
        m_text = new QPlainTextEdit(this);
        m_text->setObjectName(ControlName(EControl::ParameterText));
        m_text->setAccessibleName(radio->text());
        // Tab moves on; Return starts a new line.
        m_text->setTabChangesFocus(true);
        m_text->setMinimumHeight(m_text->fontMetrics().lineSpacing() * 4);
        grid->addWidget(m_text, row, 1);
        connect(m_text, &QPlainTextEdit::textChanged, this, edited);
    }
}

QRadioButton* CParameterDialog::SourceRadio(ESource source) const
{
    return static_cast<QRadioButton*>(m_sources->button(source));
}

// ---- filling ----------------------------------------------------------------

void CParameterDialog::FillLists()
{
    m_filling = true;
    if (m_enumerated) {
        const auto& values = m_parameter->GetParameterInfo()->GetValues();
        // A definition without values is a module error the loader should have refused.
        BRAMBLETON_ASSERT(!values.empty());
        std::vector<Entry> entries;
        const CModuleBase* module = m_parameter->GetDefinition()->GetModule();
        for (std::size_t i = 0; i < values.size(); ++i) {
            const std::string& name = values[i].first;
            entries.push_back({ToQ(module != nullptr ? module->Localize(name) : name), static_cast<int>(i)});
        }
        FillCombo(m_constants, std::move(entries), m_parameter->GetChoiceIndex());
        CheckSource(m_constants->currentIndex() >= 0 ? SourceLiteral : -1);
    } else {
        FillConstants();
        FillVariables();
        FillCalls();
        FillLiteral();
        const CCodeBase* value = m_parameter->GetValue();
        const unsigned kind = value != nullptr ? value->GetCodeType() : 0;
        CheckSource(kind == CodeTypeConstant   ? SourceConstant
                    : kind == CodeTypeVariable ? SourceVariable
                    : kind == CodeTypeCall     ? SourceInstruction
                    : kind == CodeTypeValue    ? SourceLiteral
                                               : -1);
    }
    ShowCall();
    m_filling = false;
    UpdateOk();
}

void CParameterDialog::FillConstants()
{
    if (m_constants == nullptr) {
        return;
    }
    std::vector<Entry> entries;
    for (const CConstant* constant : GetAllConstants()) {
        if (constant->GetType() == m_type) {
            entries.push_back({ToQ(constant->GetText()), PointerData(constant)});
        }
    }
    FillCombo(m_constants, std::move(entries), PointerData(m_parameter->GetValue()));
}

void CParameterDialog::FillVariables()
{
    if (m_variables == nullptr || m_state == nullptr) {
        return;
    }
    const std::uint32_t realType = m_type->GetRealType();
    std::vector<Entry> entries;
    const auto offer = [&entries, this, realType](const CVariableBase* variable) {
        if (variable->GetType() == m_type || (realType & RealTypeVariable) != 0) {
            entries.push_back({ToQ(variable->GetText()), PointerData(variable)});
        }
    };
    if ((realType & (RealTypeTrigger | RealTypeFunction)) != 0) {
        for (std::size_t i = 0; i < m_state->GetTriggerVariableCount(); ++i) {
            offer(m_state->GetTriggerVariable(i));
        }
    } else {
        for (const auto& global : m_state->GetGlobals()) {
            offer(global.get());
        }
        if (const CCodeTrigger* trigger = m_state->GetCurrentTrigger()) {
            for (const auto& local : trigger->GetLocals()) {
                offer(local.get());
            }
        }
    }
    const bool none = entries.empty();
    if (none) {
        m_variables->clear();
        m_variables->addItem(Localized("ParameterDialog/NoVariables"));
    } else {
        FillCombo(m_variables, std::move(entries), PointerData(m_parameter->GetValue()));
    }
    m_variables->setEnabled(!none);
    SourceRadio(SourceVariable)->setEnabled(!none);
}

void CParameterDialog::FillCalls()
{
    if (m_calls == nullptr) {
        return;
    }
    std::vector<Entry> entries;
    for (const CCodeInfoBase* definition : GetAllInstructions()) {
        if (definition->GetKind() == EDefinitionKind::Call && definition->GetType() == m_type) {
            entries.push_back({ToQ(definition->GetLocalizedName()), PointerData(definition)});
        }
    }
    const CCall* call = ShownCall();
    FillCombo(m_calls, std::move(entries), call != nullptr ? PointerData(call->GetDefinition()) : QVariant());
}

void CParameterDialog::FillLiteral()
{
    const CCodeBase* value = m_parameter->GetValue();
    if (value == nullptr || value->GetCodeType() != CodeTypeValue) {
        if (m_number != nullptr) {
            const CNumberEdit* edit = m_number->Edit();
            m_number->Edit()->SetValue(std::clamp(0.0, edit->GetMinimum(), edit->GetMaximum()));
        }
        return;
    }
    // The literal's class must match the parameter's real type; a mismatch
    // is a fault elsewhere and leaves the controls as they are.
    if (const auto* boolean = dynamic_cast<const CBoolValue*>(value); boolean != nullptr && m_true != nullptr) {
        (boolean->GetValue() ? m_true : m_false)->setChecked(true);
    } else if (const auto* number = dynamic_cast<const CNumberValue*>(value); number != nullptr && m_number) {
        m_number->Edit()->SetValue(number->GetValue());
    } else if (const auto* text = dynamic_cast<const CStringValue*>(value); text != nullptr && m_text != nullptr) {
        m_text->setPlainText(ToQ(text->GetValue()));
    } else {
        BRAMBLETON_ASSERT(false);
    }
}

void CParameterDialog::CheckSource(int source)
{
    // Showing the source is no choice of one.
    const QSignalBlocker blocker(m_sources);
    if (QAbstractButton* radio = m_sources->button(source)) {
        radio->setChecked(true);
        return;
    }
    // None: an exclusive group only lets go of its button when told to.
    if (QAbstractButton* checked = m_sources->checkedButton()) {
        m_sources->setExclusive(false);
        checked->setChecked(false);
        m_sources->setExclusive(true);
    }
}

// ---- choosing -----------------------------------------------------------------

void CParameterDialog::OnListChosen(ESource source)
{
    if (m_filling) {
        return;
    }
    CheckSource(source);
    if (m_enumerated) {
        if (m_constants->currentIndex() >= 0) {
            m_parameter->SetChoiceIndex(m_constants->currentData().toInt());
        }
    } else if (source == SourceConstant) {
        m_parameter->SetConstant(PointerOf<const CConstant>(m_constants));
    } else if (source == SourceVariable) {
        if (auto* variable = PointerOf<CVariableBase>(m_variables)) {
            m_parameter->SetValue(variable);
        }
    } else if (source == SourceInstruction) {
        const auto* definition = PointerOf<const CCodeInfoBase>(m_calls);
        const CCall* call = ShownCall();
        if (definition != nullptr && (call == nullptr || call->GetDefinition() != definition)) {
            m_parameter->SetValue(definition->CreateCode().release());
        }
        ShowCall();
    }
    UpdateOk();
}

void CParameterDialog::OnSourceChosen(ESource source)
{
    QComboBox* list = source == SourceConstant      ? m_constants
                      : source == SourceVariable    ? m_variables
                      : source == SourceInstruction ? m_calls
                                                    : nullptr;
    if (list != nullptr && list->isEnabled() && list->count() > 0) {
        // The list's choice (its first entry when it has none) becomes the value.
        if (list->currentIndex() < 0) {
            list->setCurrentIndex(0);
        } else {
            OnListChosen(source);
        }
    }
    UpdateOk();
}

CCall* CParameterDialog::ShownCall() const
{
    CCodeBase* value = m_parameter->IsEnumerated() ? nullptr : m_parameter->GetValue();
    return value != nullptr && value->GetCodeType() == CodeTypeCall ? static_cast<CCall*>(value) : nullptr;
}

void CParameterDialog::ShowCall()
{
    if (m_callText == nullptr) {
        return;
    }
    if (const CCall* call = ShownCall()) {
        ShowSentence(*m_callText, call->GetDefinition()->GetLocalizedShortDescription(), *call,
                     QStringLiteral("[...]"));
    } else {
        m_callText->ClearLinks();
        m_callText->SetText(QString());
    }
}

void CParameterDialog::OnCallLinkClicked(std::uint32_t index)
{
    CCall* call = ShownCall();
    CParameter* parameter = call != nullptr && index < call->GetParameterCount() ? call->GetParameter(index) : nullptr;
    if (!CanEditParameter(parameter)) {
        UserPrompts().Beep();
        return;
    }
    CParameterDialog nested(m_state, parameter, this);
    nested.m_runner = m_runner;
    m_runner->RunNestedDialog(nested);
    if (nested.VariablesChanged()) {
        // Variables may be gone: the lists must not keep pointing at them.
        m_variablesChanged = true;
        FillLists();
    }
    ShowCall();
    UpdateOk();
}

void CParameterDialog::OnAddVariable(bool local)
{
    if (m_state == nullptr || (local && m_state->GetCurrentTrigger() == nullptr)) {
        return;
    }
    CVariablesDialog dialog(m_state, local, this);
    if (m_runner->RunVariablesDialog(dialog) == QDialog::Accepted) {
        m_variablesChanged = true;
        FillLists();
    }
}

int CParameterDialog::RunVariablesDialog(CVariablesDialog& dialog) { return dialog.exec(); }
int CParameterDialog::RunNestedDialog(CParameterDialog& dialog) { return dialog.exec(); }

bool CParameterDialog::IsChoiceComplete() const
{
    const int source = m_sources->checkedId();
    switch (source) {
    case SourceConstant: return PointerOf<const CConstant>(m_constants) != nullptr;
    case SourceVariable: return m_variables->isEnabled() && PointerOf<CVariableBase>(m_variables) != nullptr;
    case SourceInstruction: {
        const CCall* call = ShownCall();
        return call != nullptr && call->IsComplete();
    }
    case SourceLiteral: return !m_enumerated || m_constants->currentIndex() >= 0;
    default: return false;
    }
}

void CParameterDialog::UpdateOk()
{
    if (m_ok != nullptr) {
        m_ok->setEnabled(IsChoiceComplete());
    }
}

CCodeBase* CParameterDialog::MakeLiteral() const
{
    const std::uint32_t realType = m_type != nullptr ? m_type->GetRealType() : 0;
    if ((realType & RealTypeBoolean) != 0 && m_true != nullptr) {
        return new CBoolValue(m_type, m_true->isChecked());
    }
    if ((realType & RealTypeNumber) != 0 && m_number != nullptr) {
        auto* number = new CNumberValue(m_type);
        number->SetValue(m_number->Edit()->GetValue());
        return number;
    }
    if ((realType & RealTypeString) != 0 && m_text != nullptr) {
        // Line breaks are stored as single line feeds.
        QString text = m_text->toPlainText();
        text.remove(QLatin1Char('\r'));
        return new CStringValue(text.toStdString(), m_type);
    }
    BRAMBLETON_ASSERT(false);
    return nullptr;
}

void CParameterDialog::accept()
{
    if (m_closed) {
        return;
    }
    if (!IsChoiceComplete()) {
        UserPrompts().Beep();
        return;
    }
    const int source = m_sources->checkedId();
    if (m_enumerated) {
        m_parameter->SetChoiceIndex(m_constants->currentData().toInt());
    } else if (source == SourceConstant) {
        m_parameter->SetConstant(PointerOf<const CConstant>(m_constants));
    } else if (source == SourceVariable) {
        m_parameter->SetValue(PointerOf<CVariableBase>(m_variables));
    } else if (source == SourceLiteral) {
        CCodeBase* literal = MakeLiteral();
        if (literal == nullptr) {
            return;
        }
        m_parameter->SetValue(literal);
    }
    // A chosen call is the parameter's value already.
    m_closed = true;
    m_savedDependents.clear();
    m_saved.Reset();
    QDialog::accept();
}

void CParameterDialog::reject()
{
    if (m_closed) {
        QDialog::reject();
        return;
    }
    m_closed = true;
    if (m_parameter != nullptr && m_enumerated) {
        if (m_parameter->GetChoiceIndex() != m_savedChoice) {
            m_parameter->SetChoiceIndex(m_savedChoice);
        }
    } else if (m_parameter != nullptr) {
        m_parameter->PutValue(std::move(m_saved));
        // Dependents that another type emptied meanwhile get their values back.
        for (auto& [dependent, value] : m_savedDependents) {
            if (dependent->GetValue() == nullptr && !value.IsEmpty()) {
                dependent->PutValue(std::move(value));
            }
        }
        m_savedDependents.clear();
    }
    QDialog::reject();
}

} // namespace bram::gui

#include "gui/dialogs/VariableEditDialog.h"

#include "gui/common/ControlIds.h"
#include "gui/common/UserPrompts.h"

#include "category/CategorySystem.h"
#include "code/State.h"
#include "log/Assertion.h"
#include "modules/Module.h"
#include "records/TypeInfo.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>

namespace bram::gui {

CVariableEditDialog::CVariableEditDialog(CUserDefinedVariable* variable, const CState& state,
                                         const CCodeTrigger* localsOf, QWidget* parent)
    : QDialog(parent),
      m_variable(variable),
      m_state(state),
      m_localsOf(localsOf),
      m_typeChoices(SelectableTypes()),
      m_name(new QLineEdit(this)),
      m_types(new QComboBox(this))
{
    setWindowTitle(Localized("VariableEditDialog/Title"));
    m_name->setObjectName(ControlName(EControl::VariableName));
    m_types->setObjectName(ControlName(EControl::VariableType));
    auto* nameLabel = new QLabel(Localized("VariableEditDialog/VariableNameLabel"), this);
    nameLabel->setObjectName(ControlName(EControl::VariableNameLabel));
    nameLabel->setBuddy(m_name);
    auto* typeLabel = new QLabel(Localized("VariableEditDialog/VariableTypeLabel"), this);
    typeLabel->setObjectName(ControlName(EControl::VariableTypeLabel));
    typeLabel->setBuddy(m_types);

    for (const CTypeInfo* type : m_typeChoices) {
        m_types->addItem(ToQ(type->GetLocalizedName()));
    }
    if (m_variable != nullptr) {
        m_name->setText(ToQ(m_variable->GetName()));
        const auto it = std::find(m_typeChoices.begin(), m_typeChoices.end(), m_variable->GetType());
        BRAMBLETON_ASSERT(it != m_typeChoices.end());
        m_types->setCurrentIndex(it != m_typeChoices.end() ? static_cast<int>(it - m_typeChoices.begin()) : -1);
    } else {
        m_types->setCurrentIndex(m_typeChoices.empty() ? -1 : 0);
    }

    auto* form = new QFormLayout;
    form->addRow(nameLabel, m_name);
    form->addRow(typeLabel, m_types);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CVariableEditDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

CVariableEditDialog::~CVariableEditDialog() = default;

std::vector<const CTypeInfo*> CVariableEditDialog::SelectableTypes()
{
    std::vector<const CTypeInfo*> types;
    for (const CTypeInfo* type : GetAllTypes()) {
        if (!type->GetRawInstruction().empty() &&
            (type->GetRealType() & (RealTypeTrigger | RealTypeFunction | RealTypeVariable)) == 0 &&
            CUserDefinedVariable::IsAllowedType(type)) {
            types.push_back(type);
        }
    }
    return types;
}

std::unique_ptr<CUserDefinedVariable> CVariableEditDialog::TakeNewVariable() { return std::move(m_created); }

bool CVariableEditDialog::Refuse(const char* key, QWidget* focus)
{
    UserPrompts().MessageBox(this, QMessageBox::Warning, MessageTitle(), Localized(key), QMessageBox::Ok, QString());
    focus->setFocus();
    return false;
}

void CVariableEditDialog::accept()
{
    const std::string name = m_name->text().toStdString();
    const std::string normalized = NormalizedName(name);
    if (normalized.empty()) {
        Refuse("VariableEditDialog/InvalidVariableName", m_name);
        return;
    }
    const int typeIndex = m_types->currentIndex();
    if (typeIndex < 0 || typeIndex >= static_cast<int>(m_typeChoices.size())) {
        Refuse("VariableEditDialog/InvalidTypeChoice", m_types);
        return;
    }
    const CTypeInfo* type = m_typeChoices[static_cast<std::size_t>(typeIndex)];
    const bool keepsType = m_variable != nullptr && m_variable->GetType() == type;
    const bool unchanged = keepsType && m_variable->GetName() == name;
    if (!unchanged && IsVariableNameTaken(m_state, m_localsOf, name, m_variable)) {
        Refuse("VariableEditDialog/VariableAlreadyExist", m_name);
        return;
    }
    if (keepsType) {
        m_created.reset();
        m_result = m_variable;
    } else {
        m_created = std::make_unique<CUserDefinedVariable>(name, type);
        m_result = m_created.get();
    }
    if (m_result->GetName() != name) {
        m_result->SetName(name);
    }
    QDialog::accept();
}

} // namespace bram::gui

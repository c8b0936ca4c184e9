#pragma once
// What the dialog tests share: parameter dialogs whose variables dialog and
// nested dialogs the test answers, and look-ups in the sample modules.

#include "gui/dialogs/ParameterDialog.h"
#include "gui/dialogs/VariablesDialog.h"

#include "modules/Module.h"
#include "records/CodeInfoBase.h"

#include <QComboBox>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace bram::test {

class CDrivenParameterDialog : public gui::CParameterDialog {
public:
    using CParameterDialog::CParameterDialog;
    // Does the variables dialog's work, which then ends with OK; unset, it is cancelled.
    std::function<void()> variables;
    // Fills in and closes a nested dialog.
    std::function<void(gui::CParameterDialog&)> nested;

protected:
    int RunVariablesDialog(gui::CVariablesDialog& dialog) override
    {
        if (!variables) {
            return Rejected;
        }
        variables();
        dialog.accept();
        return Accepted;
    }
    int RunNestedDialog(gui::CParameterDialog& dialog) override
    {
        if (nested) {
            nested(dialog);
        }
        return dialog.result();
    }
};

inline QStringList Items(const QComboBox* combo)
{
    QStringList items;
    for (int i = 0; combo != nullptr && i < combo->count(); ++i) {
        items << combo->itemText(i);
    }
    return items;
}

// A structure or call of the sample modules by name.
inline const CCodeInfoBase* Definition(const std::string& name)
{
    for (const CCodeInfoBase* definition : GetAllInstructions()) {
        if (definition->GetName() == name) {
            return definition;
        }
    }
    ADD_FAILURE() << name;
    return nullptr;
}

} // namespace bram::test

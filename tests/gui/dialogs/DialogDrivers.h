#pragma once
// A parameter dialog whose variables dialog and nested dialogs the test answers.

#include "gui/dialogs/ParameterDialog.h"
#include "gui/dialogs/VariablesDialog.h"

#include <functional>

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

} // namespace bram::test

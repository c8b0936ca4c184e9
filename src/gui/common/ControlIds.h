#pragma once
// The ids of the editor's controls and commands, named in one place. A
// control's objectName is its id written out: tests and accessibility
// tools find controls by it, so the numbers stay what they were. An action
// table finds an action by its name or by its command id.

#include <QString>

#include <cstddef>

namespace bram::gui {

enum class EControl : int {
    // The loading box.
    LoadingBar = 1036,
    LoadingStage = 1037,
    LoadingDetail = 1038,
    // The about box.
    AboutThanks = 1033,
    AboutVersion = 1034,
    AboutLicense = 1041,
    // The instruction dialog.
    InstructionList = 1002,
    InstructionCategories = 1004,
    InstructionSearch = 1005,
    InstructionDescription = 37923,
    // The parameter dialog: a radio button per source and the list beside it.
    ParameterCallList = 1002,
    ParameterCallGroup = 1003,
    ParameterConstantRadio = 1009,
    ParameterConstantList = 1010,
    ParameterVariableRadio = 1011,
    ParameterVariableList = 1012,
    ParameterCallRadio = 1013,
    ParameterText = 1016,
    ParameterValueRadio = 1017,
    ParameterAddGlobal = 1019,
    ParameterAddLocal = 1020,
    ParameterNumberEdit = 33332,
    ParameterNumber = 33333,
    ParameterTrue = 33334,
    ParameterFalse = 33335,
    ParameterBoolGroup = 33336,
    ParameterCallText = 33337,
    // The variables dialog and its edit box.
    VariablesList = 1023,
    VariableName = 1025,
    VariableNameLabel = 1026,
    VariableType = 1027,
    VariableTypeLabel = 1028,
    // The views.
    InstructionTree = 9029,
    InstructionText = 9030,
    CommentText = 9119,
    CommentEnabled = 9120,
    CommentEnabledAtBeginning = 9121,
};

// The control's objectName.
inline QString ControlName(EControl id) { return QString::number(static_cast<int>(id)); }

enum class ECommand : int {
    None = 0,
    // The categories view.
    CategoryNewCategory = 130,
    CategoryNewTrigger = 131,
    CategoryDelete = 132,
    CategoryEnable = 133,
    CategoryEnableAtBeginning = 134,
    // The variables dialog.
    VariableNew = 13449,
    VariableDelete = 13450,
    VariableChange = 13451,
    // The instruction view; its New items count up from InstructionNewFirst.
    InstructionDelete = 18264,
    InstructionEnable = 18265,
    InstructionNewFirst = 18266,
    InstructionCopy = 57634,
    InstructionCut = 57635,
    InstructionPaste = 57637,
    // The main window.
    GenerateScript = 62004,
    EditGlobals = 62005,
    EditLocals = 62006,
    ToCode = 62007,
};

// The instruction view's New item for the root block at index.
constexpr ECommand InstructionNewCommand(std::size_t index)
{
    return static_cast<ECommand>(static_cast<int>(ECommand::InstructionNewFirst) + static_cast<int>(index));
}

} // namespace bram::gui

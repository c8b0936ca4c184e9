#include "GuiTestSupport.h"

#include "base/Paths.h"
#include "code/State.h"
#include "modules/Module.h"
#include "records/CodeInfoBase.h"
#include "records/TypeInfo.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAction>
#include <QApplication>
#include <QTest>

#include <cstdlib>
#include <filesystem>

namespace bram::test {

std::optional<QString> CFakePrompts::GetOpenFileName(QWidget*, const QString& filter)
{
    filters << filter;
    const QString answer = fileAnswers.empty() ? QString() : fileAnswers.front();
    if (!fileAnswers.empty()) {
        fileAnswers.pop_front();
    }
    return answer.isEmpty() ? std::nullopt : std::optional(answer);
}

std::optional<QString> CFakePrompts::GetSaveFileName(QWidget*, const QString& title, const QString& filter,
                                                     const QString& proposed)
{
    saveTitles << title;
    defaultNames << proposed;
    return GetOpenFileName(nullptr, filter);
}

QMessageBox::StandardButton CFakePrompts::MessageBox(QWidget*, QMessageBox::Icon icon, const QString& title,
                                                     const QString& text, QMessageBox::StandardButtons buttons,
                                                     const QString& informative)
{
    boxes.push_back({icon, title, text, buttons, informative});
    if (!boxAnswers.empty()) {
        const QMessageBox::StandardButton answer = boxAnswers.front();
        boxAnswers.pop_front();
        return answer;
    }
    return gui::FirstButton(buttons);
}

CWorkspaceCopy::CWorkspaceCopy()
{
    namespace fs = std::filesystem;
    fs::copy(BRAMBLETON_EXAMPLES_DIR, m_dir.Path(), fs::copy_options::recursive);
    for (const char* name : {"TEMP", "AppData"}) {
        const char* old = std::getenv(name);
        m_oldEnvironment.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
        const std::string folder = m_dir / name;
        fs::create_directories(folder);
        ::setenv(name, folder.c_str(), 1);
    }
    ResetProcessState();
}

CWorkspaceCopy::~CWorkspaceCopy()
{
    ResetProcessState();
    for (const auto& [name, value] : m_oldEnvironment) {
        if (value) {
            ::setenv(name.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name.c_str());
        }
    }
}

std::string CWorkspaceCopy::Log() const { return ReadLog(m_dir / "TEMP/brambleton/Log.log"); }

CStartedCore::CStartedCore()
{
    CLoadingProgress progress;
    EXPECT_TRUE(core.InitInstance(workspace.Path(), progress));
}

CStartedCore::~CStartedCore() { core.ExitInstance(); }

CCodeTrigger* AddCurrentTrigger(CApplicationDocument& document, const std::string& name)
{
    CState* state = document.GetState();
    const std::uint32_t id = state->NewTriggerId();
    document.GetCategorySystem().AddCategory(name + " category")->AddTrigger(name, id);
    CCodeTrigger* trigger = state->AddTrigger(std::make_unique<CCodeTrigger>(id, &document.GetCategorySystem()));
    state->SetCurrentTrigger(static_cast<int>(id));
    return trigger;
}

const CTypeInfo* TypeNamed(const std::string& name)
{
    for (const CTypeInfo* type : GetAllTypes()) {
        if (type->GetName() == name) {
            return type;
        }
    }
    return nullptr;
}

const CCodeInfoBase* Definition(const std::string& name)
{
    for (const CCodeInfoBase* definition : GetAllInstructions()) {
        if (definition->GetName() == name) {
            return definition;
        }
    }
    ADD_FAILURE() << name;
    return nullptr;
}

QStringList Rows(const QTreeWidget* tree, std::initializer_list<int> columns)
{
    QStringList rows;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QStringList texts;
        for (const int column : columns) {
            texts << tree->topLevelItem(i)->text(column);
        }
        rows << texts.join(QLatin1Char('|'));
    }
    return rows;
}

std::string EnabledStates(const std::function<const QAction*(const char*)>& action,
                          std::initializer_list<const char*> names)
{
    std::string states;
    for (const char* name : names) {
        states += action(name)->isEnabled() ? '1' : '0';
    }
    return states;
}

QStringList Items(const QComboBox* combo)
{
    QStringList items;
    for (int i = 0; combo != nullptr && i < combo->count(); ++i) {
        items << combo->itemText(i);
    }
    return items;
}

bool ShowActive(QWidget& window)
{
    window.show();
    QApplication::setActiveWindow(&window);
    return QTest::qWaitForWindowActive(&window);
}

bool AccessibleToggle(QWidget* control)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
    QAccessibleActionInterface* actions = accessible != nullptr ? accessible->actionInterface() : nullptr;
    const QString toggle = QAccessibleActionInterface::toggleAction();
    if (actions == nullptr || !actions->actionNames().contains(toggle)) {
        return false;
    }
    actions->doAction(toggle);
    return true;
}

std::unique_ptr<CDrivenFrame> DocumentTest::MakeFrame()
{
    return std::make_unique<CDrivenFrame>(document, Path("user.ini"), QString::fromStdString(started.workspace.Path()));
}

CUserDefinedVariable* DocumentTest::AddGlobal(const std::string& name, const std::string& type)
{
    auto& globals = document.GetState()->GetGlobals();
    globals.push_back(std::make_unique<CUserDefinedVariable>(name, TypeNamed(type)));
    return globals.back().get();
}

void DocumentTest::AddGlobalStep(const std::string& name)
{
    document.AddHistoryStep("History/Variables_VariablesChanged");
    AddGlobal(name);
    document.UpdateAllViews();
}

std::vector<std::string> DocumentTest::GlobalNames() const
{
    std::vector<std::string> names;
    for (const auto& variable : document.GetState()->GetGlobals()) {
        names.push_back(variable->GetName());
    }
    return names;
}

} // namespace bram::test

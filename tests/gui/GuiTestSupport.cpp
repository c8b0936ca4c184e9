#include "GuiTestSupport.h"

#include "base/Paths.h"
#include "code/State.h"
#include "document/ApplicationDocument.h"
#include "modules/Module.h"
#include "records/TypeInfo.h"

#include <gtest/gtest.h>

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

std::vector<std::string> GlobalNames(const CApplicationDocument& document)
{
    std::vector<std::string> names;
    for (const auto& variable : document.GetState()->GetGlobals()) {
        names.push_back(variable->GetName());
    }
    return names;
}

} // namespace bram::test

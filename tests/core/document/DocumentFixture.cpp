#include "DocumentFixture.h"

#include "log/Diagnostics.h"

namespace bram::test {

void DocumentTest::SetUp()
{
    CodeModelTest::SetUp();
    CDiagnostics::Instance().SetObserver([this](std::string_view text) { m_log += text; });
    m_document.NewDocument();
}

void DocumentTest::TearDown()
{
    m_document.DeleteContents();
    CDiagnostics::Instance().SetObserver(nullptr);
    CodeModelTest::TearDown();
}

CCodeTrigger* DocumentTest::AddDocumentTrigger(CApplicationDocument& document, const std::string& category,
                                               const std::string& name)
{
    CCategorySystem& categories = document.GetCategorySystem();
    CCategory* target = categories.FindCategory(category);
    if (target == nullptr) {
        target = categories.AddCategory(category);
    }
    CState* state = document.GetState();
    const std::uint32_t id = state->NewTriggerId();
    target->AddTrigger(name, id);
    return state->AddTrigger(std::make_unique<CCodeTrigger>(id, &categories));
}

const std::string& DocumentTest::ValidFile()
{
    static const std::string file = JoinedDataFile("document/valid.bdf");
    return file;
}

::testing::AssertionResult DocumentTest::ReadsBackTheSame(const CApplicationDocument& document)
{
    const std::string written = document.WriteDataFile();
    CApplicationDocument reread;
    reread.NewDocument();
    std::string again;
    try {
        reread.ReadDataFileFromMemory(written, "written.bdf");
        again = reread.WriteDataFile();
    } catch (const CDocumentException& e) {
        reread.DeleteContents();
        return ::testing::AssertionFailure() << "not read back: " << e.GetErrorMessage() << "\n" << written;
    }
    reread.DeleteContents();
    if (again != written) {
        return ::testing::AssertionFailure() << "read back differently:\n" << written << "\nbecame\n" << again;
    }
    return ::testing::AssertionSuccess();
}

CScopedSettings::CScopedSettings(const std::string& iniText) : m_previous(GetApplication())
{
    WriteFile(m_dir / "settings.ini", iniText);
    m_settings.SetIniPath(m_dir / "settings.ini");
    SetApplication(&m_settings);
}

CScopedSettings::~CScopedSettings() { SetApplication(m_previous); }

} // namespace bram::test

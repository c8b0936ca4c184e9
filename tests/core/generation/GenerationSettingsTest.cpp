// The function definition file and the script creation definitions file:
// every check with its log lines, and the values reaching their holders.

#include "generation/GenerationSettings.h"
#include "ModuleFixtures.h"
#include "TestSupport.h"
#include "base/Exceptions.h"
#include "localization/Localization.h"
#include "log/Diagnostics.h"
#include "modules/Module.h"
#include "progress/LoadingProgress.h"
#include "records/BlockInfo.h"
#include "records/TypeInfo.h"
#include "settings/ApplicationBase.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <tuple>

namespace bram {
namespace {

class GenerationSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ModuleSource source;
        source.types = test::StandardTypes();
        source.blocks = test::DataFile("generation/blocks.xml");
        CreateModuleFromXml("M", test::ModuleXml(source));
        SetApplication(&m_settings);
        test::WriteFile(m_dir / "Loc/en/Loading.xml",
                        test::StringTableXml({{"LoadFunctionDefinition", "Function definition"},
                                              {"LoadScriptCreation", "Script creation"}}));
        SetLocalizationPath(m_dir / "Loc");
        SetLanguage("en");
        CDiagnostics::Instance().SetObserver([this](std::string_view text) { m_log += text; });
    }
    void TearDown() override
    {
        SetApplication(nullptr);
        test::ResetProcessState();
    }

    void Settings(const std::string& ini)
    {
        test::WriteFile(m_dir / "brambleton.ini", ini);
        m_settings.SetIniPath(m_dir / "brambleton.ini");
    }

    // Runs a loader; the log it wrote when it raised the user exception,
    // "" when it succeeded.
    template <typename Load>
    std::string Failure(Load load)
    {
        m_log.clear();
        try {
            load();
        } catch (const CUserException&) {
            return m_log.empty() ? std::string("(silent)") : m_log;
        }
        return {};
    }

    std::string FunctionDefinitionFailure(const std::string& xml)
    {
        test::WriteFile(m_dir / "Data/fd.xml", xml);
        return Failure([&] { LoadFunctionDefinition(m_dir / "Data/", m_progress); });
    }

    std::string ScriptCreationFailure(const std::string& xml)
    {
        test::WriteFile(m_dir / "Data/sc.xml", xml);
        return Failure([&] { LoadScriptCreation(m_dir.Path(), m_progress); });
    }

    static std::string Verification(const std::string& message)
    {
        return "Loading Verification failed.\nError message: " + message + "\n";
    }

    // Each case of a data file through the loader: its verification message
    // or no log at all.
    void Check(const std::string& file, bool scriptCreation)
    {
        for (const test::ExpectedCase& c : test::ExpectedCases(file)) {
            EXPECT_EQ(scriptCreation ? ScriptCreationFailure(c.input) : FunctionDefinitionFailure(c.input),
                      c.expected.empty() ? "" : Verification(c.expected))
                << c.input;
        }
    }

    test::CTempDir m_dir;
    CIniSettings m_settings;
    CLoadingProgress m_progress;
    std::string m_log;
};

TEST_F(GenerationSettingsTest, EveryCheckOfBothFiles)
{
    Settings("[Data]\nFunctionDefinition=fd.xml\n[ScriptCreation]\nDefinitions=Data\\sc.xml\n");
    Check("generation/function-definition.txt", false);
    Check("generation/script-creation.txt", true);
}

TEST_F(GenerationSettingsTest, MissingAndBrokenFiles)
{
    Settings("[Data]\nFunctionDefinition=fd.xml\n");
    EXPECT_EQ(Failure([&] { LoadFunctionDefinition(m_dir / "Data/", m_progress); }),
              "Opening " + m_dir.Path() + "Data/fd.xml failed.\n");
    const std::string log = FunctionDefinitionFailure("<FunctionDefinition><TriggerPrefix></FunctionDefinition>");
    EXPECT_TRUE(log.starts_with("Opening " + m_dir.Path() + "Data/fd.xml failed.\nError information: 1:")) << log;
    EXPECT_TRUE(log.ends_with(".\n")) << log;
    EXPECT_EQ(log.find("Verification"), std::string::npos);
    Settings("[Data]\n");
    EXPECT_EQ(FunctionDefinitionFailure(test::FunctionDefinitionXml()),
              Verification("File name of type declaration file is empty."));

    Settings("[ScriptCreation]\nDefinitions=Data\\sc.xml\n");
    EXPECT_EQ(Failure([&] { LoadScriptCreation(m_dir.Path(), m_progress); }),
              "Failed to open file " + m_dir.Path() + "Data/sc.xml.\n");
    const std::string broken = ScriptCreationFailure("<ScriptCreation>");
    EXPECT_TRUE(broken.starts_with("Failed to open file " + m_dir.Path() + "Data/sc.xml.\nError information:1:"))
        << broken;
    EXPECT_FALSE(broken.ends_with(".\n")) << broken;
    Settings("");
    EXPECT_EQ(ScriptCreationFailure(test::ScriptCreationXml()), "No Script Creations/Definitions file defined.\n");
}

TEST_F(GenerationSettingsTest, ValuesReachTheirHoldersOnce)
{
    Settings("[Data]\nFunctionDefinition=fd.xml\n[ScriptCreation]\nDefinitions=" + m_dir.Path() + "Data/sc.xml\n");
    const std::string fd =
        test::Replaced(test::FunctionDefinitionXml(), "<Block>Actions</Block>",
                       "<Block>Actions</Block><Block>Events</Block><Block>Actions</Block><Block>Actions</Block>");
    test::WriteFile(m_dir / "Data/fd.xml", fd);
    test::WriteFile(m_dir / "Data/sc.xml", test::ScriptCreationXml());
    m_progress.AddFileTask(m_dir / "Data/fd.xml");
    test::CProgressRecorder recorder;
    m_progress.SetDisplay(&recorder);
    LoadFunctionDefinition(m_dir / "Data/", m_progress);
    LoadScriptCreation("/elsewhere/", m_progress);

    const CGenerationSettings& s = CGenerationSettings::Instance();
    const CTriggerDefinitions& t = s.GetTriggerDefinitions();
    EXPECT_EQ(
        std::tuple(t.triggerPrefix, t.functionPrefix, t.triggerDefinition, t.functionDefinition,
                   t.triggerDisabledAtBeginning, t.localsIndex),
        std::tuple("T_", "F_", "![Parameter1] = Trigger()", "function ![Parameter1]()", "![Parameter1]:Disable()", 1));
    const auto& blocks = GetModule(0)->GetBlocks();
    EXPECT_EQ(s.GetFunctionBlocks(),
              (std::vector<const CBlockInfo*>{blocks[0], blocks[1], blocks[0], blocks[1], blocks[1]}));
    const CTypeInfo* text = GetModule(0)->GetTypes()[2];
    EXPECT_EQ(std::tuple(s.GetLocalDeclaration(), s.GetGlobalDeclaration(), s.GetVariablePrefix(), s.GetCommentType(),
                         s.GetScriptType()),
              std::tuple("local ![Parameter1]", "![Parameter1]", "v_", text, text));

    EXPECT_TRUE(std::is_sorted(recorder.positions.begin(), recorder.positions.end()));
    EXPECT_GT(recorder.positions.size(), 5u) << "the bar moves while the blocks are read";
    EXPECT_EQ(recorder.positions.back(), 1000);

    // The trigger values are taken by the first hand-over only.
    test::WriteFile(m_dir / "Data/fd.xml", test::Replaced(fd, "T_", "Other_"));
    LoadFunctionDefinition(m_dir / "Data/", m_progress);
    EXPECT_EQ(s.GetTriggerDefinitions().triggerPrefix, "T_");
}

} // namespace
} // namespace bram

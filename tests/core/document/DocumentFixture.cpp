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
    CCategory* target = nullptr;
    for (std::size_t i = 0; i < categories.GetCategoryCount(); ++i) {
        if (categories.GetCategory(i)->GetName() == category) {
            target = categories.GetCategory(i);
        }
    }
    if (target == nullptr) {
        target = categories.AddCategory(category);
    }
    CState* state = document.GetState();
    const std::uint32_t id = state->NewTriggerId();
    target->AddTrigger(name, id);
    return state->AddTrigger(std::make_unique<CCodeTrigger>(id, &categories));
}

std::string DocumentTest::Replaced(std::string text, const std::string& what, const std::string& by)
{
    const std::size_t at = text.find(what);
    EXPECT_NE(at, std::string::npos) << "not in the file: " << what;
    if (at != std::string::npos) {
        text.replace(at, what.size(), by);
    }
    return text;
}

const std::string& DocumentTest::ValidFile()
{
    static const std::string file = [] {
        const std::string action = "<Type><Name>action</Name><Module>lang</Module></Type>";
        auto type = [](const char* name) { return std::string("<Type><Name>") + name + "</Name><Module>lang</Module></Type>"; };
        auto emptyBlock = [&](const char* name) {
            return "<Block>" + action + "<Name>" + name + "</Name><Module>lang</Module><Data/></Block>";
        };
        std::string f = R"(<?xml version="1.0" encoding="utf-8"?><Data version="1.1">)"
                        "<NeededModules><NeededModule>lang</NeededModule></NeededModules>"
                        "<Variables><Variable>" + type("number") + "<Name><![CDATA[count]]></Name></Variable></Variables>"
                        "<TriggerData>"
                        R"(<Trigger enabled="1" enabledatbeginning="1" bcode="0"><Name><![CDATA[First]]></Name>)"
                        "<Variables><Variable>" + type("string") + "<Name><![CDATA[word]]></Name></Variable></Variables>"
                        "<Blocks>" + emptyBlock("events") +
                        "<Block>" + action + "<Name>actions</Name><Module>lang</Module><Data>"
                        R"(<SubElement type="8" enabled="1"><Name>print</Name><Module>lang</Module><Parameters>)"
                        R"(<Parameter values="0" ref="0" empty="0" type="64">)" + type("string") +
                        R"(<Value bool="0"><![CDATA[hi]]></Value></Parameter></Parameters></SubElement>)"
                        R"(<SubElement type="8" enabled="1"><Name>enable</Name><Module>lang</Module><Parameters>)"
                        R"(<Parameter values="0" ref="0" empty="0" type="32" triggervar="1">)" + type("trigger") +
                        R"(<Name><![CDATA[Second]]></Name></Parameter></Parameters></SubElement>)"
                        R"(<SubElement type="8" enabled="1"><Name>set</Name><Module>lang</Module><Parameters>)"
                        R"(<Parameter values="0" ref="0" empty="0" type="32" triggervar="0">)" + type("variable") +
                        R"(<Name><![CDATA[count]]></Name></Parameter>)"
                        R"(<Parameter values="0" ref="1" to="0" empty="0" type="8">)" + type("number") +
                        R"(<Name>add</Name><Module>lang</Module><Parameters>)"
                        R"(<Parameter values="0" ref="0" empty="0" type="128">)" + type("number") +
                        R"(<Name>pi</Name><Module>lang</Module></Parameter>)"
                        R"(<Parameter values="0" ref="0" empty="0" type="64">)" + type("number") +
                        R"(<Value bool="0"><![CDATA[2.50]]></Value></Parameter>)"
                        R"(</Parameters></Parameter></Parameters></SubElement>)"
                        R"(<SubElement type="1" enabled="1"><Name>if</Name><Module>lang</Module><Parameters>)"
                        R"(<Parameter values="0" ref="0" empty="0" type="8">)" + type("boolean") +
                        R"(<Name>compare</Name><Module>lang</Module><Parameters>)"
                        R"(<Parameter values="0" ref="0" empty="0" type="32" triggervar="0">)" + type("number") +
                        R"(<Name><![CDATA[count]]></Name></Parameter>)"
                        R"(<Parameter values="1"><Value>Op/lt</Value></Parameter>)"
                        R"(<Parameter values="0" ref="1" to="0" empty="0" type="64">)" + type("number") +
                        R"(<Value bool="0"><![CDATA[3.00]]></Value></Parameter>)"
                        R"(</Parameters></Parameter></Parameters><Blocks>)" + emptyBlock("then") +
                        "</Blocks></SubElement></Data></Block></Blocks></Trigger>"
                        R"(<Trigger enabled="1" enabledatbeginning="0" bcode="0"><Name><![CDATA[Second]]></Name>)"
                        "<Variables/><Blocks>" + emptyBlock("events") + emptyBlock("actions") + "</Blocks></Trigger>"
                        "</TriggerData>"
                        "<Categorization><Category><Name><![CDATA[Main]]></Name><Triggers>"
                        "<Trigger><![CDATA[First]]></Trigger><Trigger><![CDATA[Second]]></Trigger>"
                        "</Triggers></Category></Categorization></Data>";
        return f;
    }();
    return file;
}

CScopedSettings::CScopedSettings(const std::string& iniText) : m_previous(GetApplication())
{
    WriteFile(m_dir / "settings.ini", iniText);
    m_settings.SetIniPath(m_dir / "settings.ini");
    SetApplication(&m_settings);
}

CScopedSettings::~CScopedSettings() { SetApplication(m_previous); }

} // namespace bram::test

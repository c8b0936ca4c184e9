#include "CodeModelFixture.h"

#include "log/Assertion.h"

namespace bram::test {

const char* CodeModelTest::LanguageXml()
{
    return R"(<?xml version="1.0"?>
<Module>
  <Priority>1</Priority>
  <NeededModules/>
  <Data>
    <Types>
      <Type><Name>action</Name><RealType>Undefined</RealType><CreationInstruction/></Type>
      <Type><Name>string</Name><RealType>String</RealType><CreationInstruction>local ![Parameter1] = ""</CreationInstruction>
        <Replacements><StartString>"</StartString><EndString>"</EndString>
          <Replacement><What>"</What><By>\"</By></Replacement></Replacements></Type>
      <Type><Name>number</Name><RealType>Number</RealType><CreationInstruction>local ![Parameter1] = 0</CreationInstruction></Type>
      <Type><Name>boolean</Name><RealType>Boolean</RealType><CreationInstruction>local ![Parameter1] = false</CreationInstruction></Type>
      <Type><Name>trigger</Name><RealType>Trigger</RealType><CreationInstruction/></Type>
      <Type><Name>function</Name><RealType>Function</RealType><CreationInstruction/></Type>
      <Type><Name>variable</Name><RealType>Variable</RealType><CreationInstruction/></Type>
      <Type><Name>comment</Name><RealType>String</RealType><CreationInstruction/>
        <Replacements><StartString>-- </StartString><Replacement><What><![CDATA[
]]></What><By><![CDATA[
-- ]]></By></Replacement></Replacements></Type>
      <Type><Name>script</Name><RealType>String</RealType><CreationInstruction/></Type>
    </Types>
    <Blocks>
      <Block><Name>events</Name><StartInstruction>-- events of ![TriggerName]</StartInstruction><EndInstruction>-- end</EndInstruction><Separator><![CDATA[]]></Separator><StandardValue>-- none</StandardValue><Type>action</Type></Block>
      <Block><Name>actions</Name><StartInstruction><![CDATA[]]></StartInstruction><EndInstruction><![CDATA[]]></EndInstruction><Separator>-- next</Separator><StandardValue>-- nothing</StandardValue><Type>action</Type></Block>
      <Block><Name>then</Name><StartInstruction><![CDATA[]]></StartInstruction><EndInstruction>end</EndInstruction><Separator><![CDATA[]]></Separator><StandardValue>-- nothing</StandardValue><Type>action</Type></Block>
    </Blocks>
    <Constants>
      <Constant><Name>pi</Name><Value>math.pi</Value><Type>number</Type></Constant>
    </Constants>
    <Structures>
      <Structure><Name>if</Name><Description>If</Description><ShortDescription>If ![Parameter1]</ShortDescription><Categories>Flow</Categories>
        <RawInstruction>if ![Parameter1] then</RawInstruction><Type>action</Type>
        <Parameters><Parameter><Name>condition</Name><Type>boolean</Type><OnlyVariables>false</OnlyVariables></Parameter></Parameters>
        <Blocks><Block>then</Block></Blocks></Structure>
    </Structures>
    <Calls>
      <Call><Name>print</Name><Description>Print</Description><ShortDescription>Print ![Parameter1]</ShortDescription><Categories>IO</Categories>
        <RawInstruction>print(![Parameter1])</RawInstruction><Type>action</Type>
        <Parameters><Parameter><Name>text</Name><Type>string</Type><OnlyVariables>false</OnlyVariables></Parameter></Parameters></Call>
      <Call><Name>add</Name><Description>Add</Description><ShortDescription>![Parameter1] + ![Parameter2]</ShortDescription><Categories>Math</Categories>
        <RawInstruction>(![Parameter1] + ![Parameter2])</RawInstruction><Type>number</Type>
        <Parameters><Parameter><Name>a</Name><Type>number</Type><OnlyVariables>false</OnlyVariables></Parameter>
          <Parameter><Name>b</Name><Type>number</Type><OnlyVariables>false</OnlyVariables></Parameter></Parameters></Call>
      <Call><Name>tostring</Name><Description>Text</Description><ShortDescription>text of ![Parameter1]</ShortDescription><Categories>Math</Categories>
        <RawInstruction>tostring(![Parameter1])</RawInstruction><Type>string</Type>
        <Parameters><Parameter><Name>n</Name><Type>number</Type><OnlyVariables>false</OnlyVariables></Parameter></Parameters></Call>
      <Call><Name>set</Name><Description>Set</Description><ShortDescription>Set ![Parameter1] to ![Parameter2]</ShortDescription><Categories>Vars</Categories>
        <RawInstruction>![Parameter1] = ![Parameter2]</RawInstruction><Type>action</Type>
        <Parameters><Parameter><Name>var</Name><Type>variable</Type><OnlyVariables>true</OnlyVariables></Parameter>
          <Parameter><Name>value</Name><ReferenceTo>0</ReferenceTo></Parameter></Parameters></Call>
      <Call><Name>compare</Name><Description>Compare</Description><ShortDescription>![Parameter1] ![Parameter2] ![Parameter3]</ShortDescription><Categories>Math</Categories>
        <RawInstruction>![Parameter1] ![Parameter2] ![Parameter3]</RawInstruction><Type>boolean</Type>
        <Parameters><Parameter><Name>a</Name><Type>number</Type><OnlyVariables>false</OnlyVariables></Parameter>
          <Parameter><Name>op</Name><Values><Value><Name>Op/eq</Name><Value>==</Value></Value><Value><Name>Op/lt</Name><Value><![CDATA[<]]></Value></Value></Values></Parameter>
          <Parameter><Name>b</Name><ReferenceTo>0</ReferenceTo></Parameter></Parameters></Call>
      <Call><Name>enable</Name><Description>Enable</Description><ShortDescription>Enable ![Parameter1]</ShortDescription><Categories>Triggers</Categories>
        <RawInstruction>enable(![Parameter1])</RawInstruction><Type>action</Type>
        <Parameters><Parameter><Name>t</Name><Type>trigger</Type><OnlyVariables>false</OnlyVariables></Parameter></Parameters></Call>
      <Call><Name>twice</Name><Description>Twice</Description><ShortDescription>twice</ShortDescription><Categories>Test</Categories>
        <RawInstruction>f(![Parameter1], ![Parameter1])</RawInstruction><Type>action</Type>
        <Parameters><Parameter><Name>n</Name><Type>number</Type><OnlyVariables>false</OnlyVariables></Parameter></Parameters></Call>
      <Call><Name>gap</Name><Description>Gap</Description><ShortDescription>gap</ShortDescription><Categories>Test</Categories>
        <RawInstruction>g(![Parameter1], ![Parameter3])</RawInstruction><Type>action</Type>
        <Parameters><Parameter><Name>a</Name><Type>number</Type><OnlyVariables>false</OnlyVariables></Parameter>
          <Parameter><Name>b</Name><Type>number</Type><OnlyVariables>false</OnlyVariables></Parameter>
          <Parameter><Name>c</Name><Type>number</Type><OnlyVariables>false</OnlyVariables></Parameter></Parameters></Call>
      <Call><Name>self</Name><Description>Self</Description><ShortDescription>self</ShortDescription><Categories>Test</Categories>
        <RawInstruction>register("![TriggerName]", ![FunctionName])</RawInstruction><Type>action</Type><Parameters/></Call>
    </Calls>
  </Data>
  <Scripts/>
</Module>
)";
}

void ApplySettings(const TestSettings& settings)
{
    CGenerationSettings& g = CGenerationSettings::Instance();
    g.Clear();
    g.SetTriggerDefinitions(settings.definitions);
    g.SetFunctionBlocks(settings.functionBlocks);
    g.SetLocalDeclaration(settings.localDeclaration);
    g.SetGlobalDeclaration(settings.globalDeclaration);
    g.SetVariablePrefix(settings.variablePrefix);
    if (settings.commentType != nullptr) {
        g.SetCommentType(settings.commentType);
    }
    if (settings.scriptType != nullptr) {
        g.SetScriptType(settings.scriptType);
    }
}

void CodeModelTest::SetUp()
{
    ResetProcessState();
    m_module = CreateModuleFromXml("lang", LanguageXml());
    ASSERT_NE(m_module, nullptr);
    TestSettings settings;
    settings.definitions.triggerPrefix = "trg_";
    settings.definitions.functionPrefix = "fn_";
    settings.definitions.functionDefinition = "function ![Parameter1]()";
    settings.definitions.triggerDefinition = "-- trigger ![Parameter1]";
    settings.definitions.triggerDisabledAtBeginning = "disable(![Parameter1])";
    settings.definitions.localsIndex = 1;
    settings.localDeclaration = "\t![Parameter1]";
    settings.variablePrefix = "v_";
    settings.commentType = Type("comment");
    settings.scriptType = Type("script");
    settings.functionBlocks = {Block("events"), Block("actions")};
    ApplySettings(settings);
    m_main = m_categories.AddCategory("Main");
    m_assertionsAtStart = GetAssertionFailureCount();
}

void CodeModelTest::TearDown()
{
    EXPECT_EQ(GetAssertionFailureCount(), m_assertionsAtStart) << "unexpected internal check failures";
    CGenerationSettings::Instance().Clear();
    m_categories.Clear();
    ReleaseAllModules();
    m_module = nullptr;
    ResetProcessState();
}

template <typename T>
static const T* FindByName(const std::vector<const T*>& list, const std::string& name)
{
    for (const T* item : list) {
        if (item->GetName() == name) {
            return item;
        }
    }
    ADD_FAILURE() << "no declaration named " << name;
    return nullptr;
}

const CTypeInfo* CodeModelTest::Type(const std::string& name) const { return FindByName(m_module->GetTypes(), name); }
const CBlockInfo* CodeModelTest::Block(const std::string& name) const { return FindByName(m_module->GetBlocks(), name); }
const CCallInfo* CodeModelTest::Call(const std::string& name) const { return FindByName(m_module->GetCalls(), name); }
const CStructureInfo* CodeModelTest::Structure(const std::string& name) const
{
    return FindByName(m_module->GetStructures(), name);
}
const CConstant* CodeModelTest::Constant(const std::string& name) const
{
    return FindByName(m_module->GetConstants(), name);
}

CNumberValue* CodeModelTest::NewNumber(double value) const
{
    auto* number = new CNumberValue(Type("number"));
    number->SetValue(value);
    return number;
}

CCall* CodeModelTest::NewPrint(const std::string& text) const
{
    CCall* print = NewCall("print");
    print->GetParameter(0)->SetValue(NewString(text));
    print->SetEnabled(true);
    return print;
}

CCodeTrigger* CodeModelTest::AddTrigger(CState& state, const std::string& name)
{
    const std::uint32_t id = state.NewTriggerId();
    m_main->AddTrigger(name, id);
    return state.AddTrigger(std::make_unique<CCodeTrigger>(id, &m_categories));
}

} // namespace bram::test

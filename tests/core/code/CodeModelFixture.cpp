#include "CodeModelFixture.h"

#include "ModuleFixtures.h"
#include "log/Assertion.h"

namespace bram::test {

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
    m_module = CreateModuleFromXml("lang", DataFile("code/language.xml"));
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
const CBlockInfo* CodeModelTest::Block(const std::string& name) const
{
    return FindByName(m_module->GetBlocks(), name);
}
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

CCall* CodeModelTest::NewCallOf(const std::string& name, std::initializer_list<CCodeBase*> values) const
{
    CCall* call = NewCall(name);
    std::size_t index = 0;
    for (CCodeBase* value : values) {
        call->GetParameter(index++)->SetValue(value);
    }
    call->SetEnabled(true);
    return call;
}

CCodeTrigger* CodeModelTest::AddTrigger(CState& state, const std::string& name)
{
    const std::uint32_t id = state.NewTriggerId();
    m_main->AddTrigger(name, id);
    return state.AddTrigger(std::make_unique<CCodeTrigger>(id, &m_categories));
}

} // namespace bram::test

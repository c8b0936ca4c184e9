#pragma once
// A small test language built from module XML, and the generation settings
// the code model prints with.

#include "TestSupport.h"

#include "category/CategorySystem.h"
#include "code/Records.h"
#include "code/State.h"
#include "code/Values.h"
#include "generation/GenerationSettings.h"
#include "modules/Module.h"

#include <gtest/gtest.h>
#include <string>

namespace bram::test {

// What a test sets of the generation settings.
struct TestSettings {
    CTriggerDefinitions definitions;
    std::vector<const CBlockInfo*> functionBlocks;
    std::string localDeclaration = "![Parameter1]";
    std::string globalDeclaration = "![Parameter1]";
    std::string variablePrefix;
    const CTypeInfo* commentType = nullptr;
    const CTypeInfo* scriptType = nullptr;
};
// Replaces the process-wide generation settings.
void ApplySettings(const TestSettings& settings);

class CodeModelTest : public ::testing::Test {
protected:
    // The test language: tests/data/code/language.xml.
    void SetUp() override;
    void TearDown() override;

    const CTypeInfo* Type(const std::string& name) const;
    const CBlockInfo* Block(const std::string& name) const;
    const CCallInfo* Call(const std::string& name) const;
    const CStructureInfo* Structure(const std::string& name) const;
    const CConstant* Constant(const std::string& name) const;

    // New nodes, owned by the caller until inserted.
    CCall* NewCall(const std::string& name) const { return static_cast<CCall*>(Call(name)->CreateCode().release()); }
    CStructure* NewStructure(const std::string& name) const
    {
        return static_cast<CStructure*>(Structure(name)->CreateCode().release());
    }
    CStringValue* NewString(const std::string& value) const { return new CStringValue(value, Type("string")); }
    CNumberValue* NewNumber(double value) const;
    // The call with the values (null: none) in its parameters, enabled.
    CCall* NewCallOf(const std::string& name, std::initializer_list<CCodeBase*> values) const;
    // print(<text>), enabled.
    CCall* NewPrint(const std::string& text) const { return NewCallOf("print", {NewString(text)}); }

    // A trigger named in category "Main", added to the state.
    CCodeTrigger* AddTrigger(CState& state, const std::string& name);

    CModule* m_module = nullptr;
    CCategorySystem m_categories;
    CCategory* m_main = nullptr;
    unsigned m_assertionsAtStart = 0;
};

} // namespace bram::test

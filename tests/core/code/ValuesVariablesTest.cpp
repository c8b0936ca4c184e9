#include "CodeModelFixture.h"

#include "base/Text.h"
#include "settings/ApplicationBase.h"

namespace bram::test {
namespace {

using ValuesTest = CodeModelTest;
using VariablesTest = CodeModelTest;

TEST_F(ValuesTest, NumbersPrintWithTwoDecimals)
{
    CNumberValue n(Type("number"));
    const std::pair<double, const char*> cases[] = {
        {3, "3.00"}, {-0.5, "-0.50"}, {0.005, "0.01"}, {1234567.891, "1234567.89"}};
    for (const auto& [value, text] : cases) {
        n.SetValue(value);
        EXPECT_EQ(n.GetText(), text);
        EXPECT_EQ(n.GetCode(3), text);
    }
    EXPECT_EQ(FormatNumber(0.005), StringPrintf("%.2f", 0.005)) << "rounds like the standard formatting";
}

TEST_F(ValuesTest, StringConversionAppliesReplacementsInOrder)
{
    CStringValue quoted("say \"hi\"", Type("string"));
    EXPECT_EQ(quoted.GetCode(0), "\"say \\\"hi\\\"\"");
    CStringValue apostrophe("a'b", Type("string"));
    EXPECT_EQ(apostrophe.GetText(), "'a'b'");
    CStringValue empty("", Type("script"));
    EXPECT_EQ(empty.GetCode(0), "");

    // Order matters: a later pair rescans what an earlier one inserted.
    CTypeInfo escapeFirst("s1", "Type", RealTypeString, "", {{"\"", "\\\""}, {"\\", "\\\\"}}, m_module);
    CTypeInfo escapeLast("s2", "Type", RealTypeString, "", {{"\\", "\\\\"}, {"\"", "\\\""}}, m_module);
    EXPECT_EQ(ConvertString("\"", &escapeFirst), "\\\\\"");
    EXPECT_EQ(ConvertString("\"", &escapeLast), "\\\"");
    EXPECT_EQ(ConvertString("line1\nline2", Type("comment")), "-- line1\n-- line2");
}

TEST_F(ValuesTest, BooleansUseTheBooleanDefinitionFile)
{
    CTempDir dir;
    WriteFile(dir / "brambleton.ini", "[Data]\nPath=data\nBooleanDefinition=BoolDef.xml\n");
    WriteFile(dir / "data/BoolDef.xml",
              "<stringtable><string id=\"True\">true</string><string id=\"False\">false</string></stringtable>");
    CIniSettings settings(dir / "brambleton.ini");
    SetApplication(&settings);
    ResetBooleanDefinitions();
    CBoolValue yes(Type("boolean"), true);
    CBoolValue no(Type("boolean"), false);
    EXPECT_EQ(yes.GetCode(0), "true");
    EXPECT_EQ(no.GetCode(0), "false");
    // Read once: a changed file has no effect in this run.
    WriteFile(dir / "data/BoolDef.xml", "<stringtable><string id=\"True\">TRUE</string></stringtable>");
    EXPECT_EQ(yes.GetCode(0), "true");
    EXPECT_EQ(yes.GetText(), "True") << "display words come from the program tables";
    SetApplication(nullptr);
    ResetBooleanDefinitions();
}

TEST_F(VariablesTest, IdentifiersUseThePrefixAndTheNormalizedName)
{
    CUserDefinedVariable v("Größe Wert", Type("number"));
    EXPECT_EQ(v.GetCode(0), "v_Groesse_Wert");
    EXPECT_EQ(v.GetText(), "Größe Wert");
    v.SetName("Neu");
    EXPECT_EQ(v.GetCode(0), "v_Neu");
}

TEST_F(VariablesTest, UsersListAndTypeChangeEmptiesUsers)
{
    CUserDefinedVariable x("x", Type("number"));
    EXPECT_EQ(x.GetParent(), nullptr);
    std::unique_ptr<CCall> set(NewCallOf("set", {&x, NewNumber(2)}));
    EXPECT_EQ(set->GetCode(0), "v_x = 2.00");
    std::unique_ptr<CCall> add(NewCall("add"));
    add->GetParameter(0)->SetValue(&x);
    add->GetParameter(0)->SetValue(&x);
    ASSERT_EQ(x.GetUsers().size(), 2u) << "the same parameter is listed once";
    EXPECT_EQ(x.GetParent(), set->GetParameter(0));

    x.SetType(Type("number"));
    EXPECT_TRUE(set->IsEnabled()) << "the same type changes nothing";
    x.SetType(Type("string"));
    EXPECT_TRUE(x.GetUsers().empty());
    EXPECT_EQ(set->GetParameter(0)->GetValue(), nullptr);
    EXPECT_EQ(add->GetParameter(0)->GetValue(), nullptr);
    EXPECT_FALSE(set->IsEnabled());
    EXPECT_FALSE(set->GetEnabledFlag());
}

TEST_F(VariablesTest, DeletingAGlobalEmptiesParametersOfAllTriggers)
{
    CState state;
    CCodeTrigger* t1 = AddTrigger(state, "one");
    CCodeTrigger* t2 = AddTrigger(state, "two");
    state.GetGlobals().push_back(std::make_unique<CUserDefinedVariable>("g", Type("number")));
    CUserDefinedVariable* g = state.GetGlobal(0);
    std::vector<CCall*> calls;
    for (CCodeTrigger* t : {t1, t1, t2}) {
        calls.push_back(NewCallOf("set", {g, NewNumber(1)}));
        t->GetBlock(1)->AddChild(calls.back());
    }
    EXPECT_EQ(g->GetUsers().size(), 3u);
    state.GetGlobals().clear();
    for (CCall* call : calls) {
        EXPECT_EQ(call->GetParameter(0)->GetValue(), nullptr);
        EXPECT_FALSE(call->IsEnabled());
    }
}

// A data file names variables and is read locals first: a local named like
// a global would take over the global's users.
TEST_F(VariablesTest, ALocalNeverSharesItsNameWithAGlobal)
{
    CState state;
    CCodeTrigger* one = AddTrigger(state, "one");
    CCodeTrigger* two = AddTrigger(state, "two");
    state.GetGlobals().push_back(std::make_unique<CUserDefinedVariable>("Greeting", Type("string")));
    one->GetLocals().push_back(std::make_unique<CUserDefinedVariable>("Name", Type("string")));
    const CUserDefinedVariable* greeting = state.GetGlobal(0);
    const CUserDefinedVariable* name = one->GetLocal(0);
    const struct {
        const CCodeTrigger* localOf;
        const char* name;
        const CUserDefinedVariable* self;
        bool taken;
    } cases[] = {
        {one, "Greeting", nullptr, true},  {two, "Greeting?", nullptr, true},      {nullptr, "Name", nullptr, true},
        {nullptr, "Name!", nullptr, true}, {one, "Name", nullptr, true},           {two, "Name", nullptr, false},
        {one, "Name", name, false},        {nullptr, "Greeting", greeting, false}, {one, "Count", nullptr, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsVariableNameTaken(state, c.localOf, c.name, c.self), c.taken)
            << c.name << (c.localOf == nullptr ? " as a global" : " as a local of " + c.localOf->GetName());
    }
}

TEST_F(VariablesTest, TriggerVariablesPrintTriggerOrFunctionName)
{
    CState state;
    CCodeTrigger* t = AddTrigger(state, "Tick Tock");
    ASSERT_EQ(state.GetTriggerVariableCount(), 2u);
    EXPECT_EQ(state.GetTriggerVariable(0)->GetCode(0), "trg_Tick_Tock");
    EXPECT_EQ(state.GetTriggerVariable(1)->GetCode(0), "fn_Tick_Tock");
    EXPECT_EQ(state.GetTriggerVariable(1)->GetText(), "Tick_Tock");
    EXPECT_EQ(state.GetTriggerVariable(0)->GetTrigger(), t);
}

} // namespace
} // namespace bram::test

#include "CodeModelFixture.h"

#include "log/Assertion.h"

namespace bram::test {
namespace {

using TriggerTest = CodeModelTest;
using StateTest = CodeModelTest;

// An item tree given by each item's parent: items are 1, 2, ... in
// pre-order, 0 is none.
class FakeTree : public IItemTree {
public:
    explicit FakeTree(std::vector<int> parents) : m_parents(std::move(parents)) {}
    Item GetTopItem() const override { return Handle(1); }
    Item GetSelectedItem() const override { return Handle(selected); }
    Item GetFirstChild(Item item) const override { return Handle(NextChild(Id(item), Id(item))); }
    Item GetNextSibling(Item item) const override { return Handle(NextChild(m_parents[Id(item) - 1], Id(item))); }
    int selected = 0;

private:
    // The first child of `parent` after item `after`.
    int NextChild(int parent, int after) const
    {
        for (int i = after + 1; i <= static_cast<int>(m_parents.size()); ++i) {
            if (m_parents[i - 1] == parent) {
                return i;
            }
        }
        return 0;
    }
    static Item Handle(int id) { return id == 0 ? nullptr : reinterpret_cast<Item>(static_cast<std::intptr_t>(id)); }
    static int Id(Item item) { return static_cast<int>(reinterpret_cast<std::intptr_t>(item)); }
    std::vector<int> m_parents;
};

// The rest of a trigger's text (comment, locals, the disabled-at-beginning
// line, nothing when disabled) is checked byte for byte by
// DataFileRoundTrip.ReadWriteGivesTheSameBytesAndTheSameScript.
TEST_F(TriggerTest, LocalsIndexPlacesTheDeclarations)
{
    for (int index : {0, 1, 2, 5}) {
        TestSettings settings;
        settings.definitions.functionDefinition = "F";
        settings.definitions.triggerDefinition = "T";
        settings.definitions.localsIndex = index;
        settings.localDeclaration = "L ![Parameter1]";
        settings.functionBlocks = {Block("actions"), Block("actions")};
        settings.variablePrefix = "v_";
        ApplySettings(settings);
        CState state;
        CCodeTrigger* t = AddTrigger(state, "T" + std::to_string(index));
        t->GetLocals().push_back(std::make_unique<CUserDefinedVariable>("n", Type("number")));
        const std::string local = "L local v_n = 0\n";
        const std::string block = "-- nothing\n\n";
        const std::string expected[] = {"\nF\nT\n" + local + block + block, "\nF\nT\n" + block + local + block,
                                        "\nF\nT\n" + block + block};
        EXPECT_EQ(t->GetCode(0), expected[std::min(index, 2)]) << "locals index " << index;
    }
}

TEST_F(TriggerTest, ConvertedTriggerPrintsItsStoredTextAlone)
{
    CState state;
    CCodeTrigger* t = AddTrigger(state, "Coded");
    t->GetBlock(1)->AddChild(NewPrint("x"));
    const std::string printed = t->GetCode(0);
    t->ConvertToCode(printed);
    EXPECT_TRUE(t->IsCode());
    EXPECT_EQ(t->GetBlockCount(), 0u);
    EXPECT_EQ(t->GetCode(0), printed) << "no duplicated definition lines";
    t->ConvertToCode("-- edited\n");
    EXPECT_EQ(t->GetCode(1), "-- edited\n");
    std::unique_ptr<CCodeTrigger> copy = t->Clone();
    EXPECT_TRUE(copy->IsCode());
    EXPECT_EQ(copy->GetCodeText(), "-- edited\n");
}

TEST_F(TriggerTest, MapNodeAndViewSelectionFindNodesByPlace)
{
    CState state;
    CCodeTrigger* t = AddTrigger(state, "Map");
    CStructure* ifs = NewStructure("if");
    t->GetBlock(1)->AddChild(NewPrint("a"));
    t->GetBlock(1)->AddChild(ifs);
    CCall* inner = NewPrint("in");
    ifs->GetChild(0)->AddChild(inner);
    t->SetCurrentNode(inner);

    std::unique_ptr<CCodeTrigger> copy = t->Clone();
    CCodeBase* mapped = copy->GetCurrentNode();
    ASSERT_NE(mapped, nullptr);
    EXPECT_NE(mapped, inner);
    EXPECT_EQ(mapped->GetCode(0), inner->GetCode(0));
    EXPECT_EQ(mapped->GetText(), inner->GetText());
    EXPECT_EQ(copy->MapNode(*t, ifs), copy->GetBlock(1)->GetChild(1));
    EXPECT_EQ(copy->MapNode(*t, ifs->GetParameter(0)), nullptr) << "parameters are not mapped";

    // Top item, then one item per root block, then their children: 1 top,
    // 2 events, 3 actions, 4 print a, 5 if, 6 then, 7 print in.
    FakeTree tree({0, 1, 1, 3, 3, 5, 6});
    const int top = 1, events = 2, thenItem = 6, innerItem = 7;
    const std::pair<int, CCodeBase*> cases[] = {
        {innerItem, inner}, {thenItem, ifs->GetChild(0)}, {events, t->GetBlock(0)}, {top, nullptr}, {0, nullptr}};
    for (const auto& [item, node] : cases) {
        tree.selected = item;
        t->SetCurrentNodeFromView(tree);
        EXPECT_EQ(t->GetCurrentNode(), node) << "item " << item;
    }
}

TEST_F(StateTest, ScriptTextWithGlobalsPreambleAndScriptType)
{
    CState state;
    state.SetPreamble("generated");
    state.SetHeader("require \"runtime\"");
    state.GetGlobals().push_back(std::make_unique<CUserDefinedVariable>("score", Type("number")));
    CCodeTrigger* t = AddTrigger(state, "A");
    t->GetBlock(1)->AddChild(NewPrint("a"));
    AddTrigger(state, "B")->SetEnabled(false);
    const std::string script = state.GetCode(0);
    EXPECT_EQ(script, "-- generated\nrequire \"runtime\"\nlocal v_score = 0\n" + t->GetCode(0) + "\n\n");
    EXPECT_NE(state.GetCode(1).find("\tlocal v_score = 0\n-- \n\tfunction fn_A()\n\t-- trigger trg_A\n"),
              std::string::npos);

    // The script type may wrap and escape the whole text.
    CTypeInfo wrap("wrap", "Type", RealTypeString, "", {{"\x01", "[["}, {"\x02", "]]"}, {"\n", "\\n"}}, m_module);
    TestSettings settings;
    settings.scriptType = &wrap;
    ApplySettings(settings);
    CState empty;
    empty.SetHeader("h");
    EXPECT_EQ(empty.GetCode(0), "[[\\nh\\n]]");
}

TEST_F(StateTest, TriggerIdsAreNeverReusedAndDeletionCleansUp)
{
    CState state;
    AddTrigger(state, "a");
    CCodeTrigger* b = AddTrigger(state, "b");
    CCodeTrigger* c = AddTrigger(state, "c");
    CCall* enable = NewCallOf("enable", {state.GetTriggerVariable(2)}); // b's trigger variable
    c->GetBlock(1)->AddChild(enable);
    EXPECT_EQ(enable->GetCode(0), "enable(trg_b)");
    state.SetCurrentTrigger(static_cast<int>(b->GetId()));
    EXPECT_EQ(state.GetCurrentTrigger(), b);
    const std::uint32_t bId = b->GetId();

    m_main->DestroyTrigger(m_main->GetTrigger(1));
    state.DeleteTrigger(1);
    EXPECT_EQ(state.GetCurrentTriggerId(), -1);
    EXPECT_EQ(state.GetCurrentTrigger(), nullptr);
    EXPECT_EQ(state.FindTrigger(bId), nullptr);
    EXPECT_EQ(state.FindTrigger(c->GetId()), c);
    EXPECT_EQ(state.GetTriggerVariableCount(), 4u);
    EXPECT_EQ(enable->GetParameter(0)->GetValue(), nullptr);
    EXPECT_FALSE(enable->IsEnabled());
    EXPECT_EQ(state.NewTriggerId(), 3u);
    CCodeTrigger* d = AddTrigger(state, "d");
    EXPECT_EQ(state.FindTrigger(d->GetId()), d) << "found also when added after a search";
}

TEST_F(StateTest, CloneStaysUsableAfterTheSourceIsGone)
{
    auto source = std::make_unique<CState>();
    source->GetGlobals().push_back(std::make_unique<CUserDefinedVariable>("g", Type("number")));
    CCodeTrigger* a = AddTrigger(*source, "a");
    CCodeTrigger* b = AddTrigger(*source, "b");
    a->GetLocals().push_back(std::make_unique<CUserDefinedVariable>("l", Type("number")));
    for (CCall* call :
         {NewCallOf("set", {source->GetGlobal(0), NewNumber(1)}), NewCallOf("set", {a->GetLocal(0), NewNumber(2)}),
          NewCallOf("enable", {source->GetTriggerVariable(2)})}) {
        a->GetBlock(1)->AddChild(call);
    }
    source->SetPreamble("p");
    source->SetCurrentTrigger(static_cast<int>(b->GetId()));
    const std::string before = source->GetCode(0);

    std::unique_ptr<CState> copy = source->Clone();
    EXPECT_EQ(copy->GetCode(0), before);
    source.reset();
    EXPECT_EQ(copy->GetCode(0), before);
    EXPECT_EQ(copy->GetCurrentTrigger(), copy->GetTrigger(1));

    CCodeTrigger* ca = copy->GetTrigger(0);
    EXPECT_EQ(copy->GetGlobal(0)->GetUsers().size(), 1u);
    EXPECT_EQ(ca->GetLocal(0)->GetUsers().size(), 1u);
    EXPECT_EQ(copy->GetTriggerVariable(2)->GetTrigger(), copy->GetTrigger(1));
    EXPECT_EQ(copy->GetTriggerVariable(2)->GetUsers().size(), 1u);
    EXPECT_EQ(copy->GetNextTriggerId(), 2u);
}

} // namespace
} // namespace bram::test

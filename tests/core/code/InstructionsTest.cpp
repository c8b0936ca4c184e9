#include "CodeModelFixture.h"

#include "log/Assertion.h"

namespace bram::test {
namespace {

using InstructionsTest = CodeModelTest;

// Container operations on a leaf, a literal of the wrong real type.
TEST_F(InstructionsTest, MisusedNodesAreInternalErrorsAndDoNothing)
{
    std::unique_ptr<CCall> add(NewCall("add"));
    std::unique_ptr<CCodeBase> block = Block("actions")->CreateCode();
    EXPECT_EQ(add->GetChild(0), nullptr);
    EXPECT_EQ(block->GetParameter(0), nullptr);
    CNumberValue wrong(Type("string"));
    EXPECT_EQ(GetAssertionFailureCount(), m_assertionsAtStart + 3);
    m_assertionsAtStart = GetAssertionFailureCount();
}

TEST_F(InstructionsTest, BlockCodeFramesChildrenWithStartEndAndSeparators)
{
    std::unique_ptr<CBlock> events(static_cast<CBlock*>(Block("events")->CreateCode().release()));
    // Empty: start, standard value one level deeper, end without newline.
    EXPECT_EQ(events->GetCode(1), "\t-- events of ![TriggerName]\n\t\t-- none\n\t-- end");

    std::unique_ptr<CBlock> actions(static_cast<CBlock*>(Block("actions")->CreateCode().release()));
    EXPECT_EQ(actions->GetCode(0), "-- nothing\n");
    actions->AddChild(NewPrint("a"));
    actions->AddChild(NewPrint("b"));
    // No start or end: separators at tabs(level - 1), none below one.
    EXPECT_EQ(actions->GetCode(0), "print(\"a\")\n-- next\nprint(\"b\")\n");
    EXPECT_EQ(actions->GetCode(2), "\t\tprint(\"a\")\n\t-- next\n\t\tprint(\"b\")\n");

    // A disabled child keeps its line.
    static_cast<CCall*>(actions->GetChild(0))->SetEnabled(false);
    EXPECT_EQ(actions->GetCode(0), "\n-- next\nprint(\"b\")\n");
}

TEST_F(InstructionsTest, StructureCodeAndBlocksFollowTheirStructure)
{
    std::unique_ptr<CStructure> ifs(NewStructure("if"));
    auto* cond = NewCall("compare");
    cond->GetParameter(0)->SetValue(NewNumber(1));
    cond->GetParameter(1)->SetChoiceIndex(1);
    cond->GetParameter(2)->SetValue(NewNumber(2));
    ifs->GetParameter(0)->SetValue(cond);
    ifs->GetChild(0)->AddChild(NewPrint("yes"));
    ifs->SetEnabled(true);
    EXPECT_TRUE(ifs->IsEnabled());
    EXPECT_TRUE(cond->IsEnabled()) << "a nested call follows its instruction";
    EXPECT_EQ(ifs->GetCode(1), "\tif 1.00 < 2.00 then\n\t\tprint(\"yes\")\n\tend");
    EXPECT_EQ(ifs->GetText(), "If (1.00 Op/lt 2.00)") << "nested calls show in parentheses on screen only";

    ifs->SetEnabled(false);
    EXPECT_FALSE(ifs->GetChild(0)->IsEnabled());
    EXPECT_EQ(ifs->GetCode(0), "");
}

TEST_F(InstructionsTest, IncompleteInstructionsCannotBeEnabled)
{
    std::unique_ptr<CCall> print(NewCall("print"));
    print->SetEnabled(true);
    EXPECT_FALSE(print->IsEnabled());
    EXPECT_FALSE(print->GetEnabledFlag());
    print->GetParameter(0)->SetValue(NewString("x"));
    EXPECT_FALSE(print->IsEnabled()) << "filling the parameter does not enable by itself";
    print->SetEnabled(true);
    EXPECT_TRUE(print->IsEnabled());

    // A nested incomplete call makes its parameter incomplete.
    std::unique_ptr<CCall> outer(NewCall("print"));
    auto* inner = NewCall("tostring");
    outer->GetParameter(0)->SetValue(inner);
    outer->SetEnabled(true);
    EXPECT_FALSE(outer->IsEnabled());
    inner->GetParameter(0)->SetValue(NewNumber(4));
    outer->SetEnabled(true);
    EXPECT_EQ(outer->GetCode(0), "print(tostring(4.00))");
}

TEST_F(InstructionsTest, PlaceholdersOfTriggerAndParameters)
{
    CState state;
    CCodeTrigger* trigger = AddTrigger(state, "On Start");
    CCall* self = NewCall("self");
    EXPECT_EQ(self->ReplacePlaceholders("![TriggerName]"), "![TriggerName]") << "outside a trigger nothing changes";
    trigger->GetBlock(1)->AddChild(self);
    self->SetEnabled(true);
    EXPECT_EQ(self->GetCode(1), "\tregister(\"trg_On_Start\", fn_On_Start)");
    EXPECT_EQ(trigger->GetBlock(0)->GetCode(0), "-- events of trg_On_Start\n\t-- none\n-- end");

    // Text a parameter contributes is never scanned for placeholders.
    CCall* print = NewPrint("![TriggerName]");
    trigger->GetBlock(1)->AddChild(print);
    EXPECT_EQ(print->GetCode(0), "print(\"![TriggerName]\")");
    std::unique_ptr<CCall> literal(NewPrint("a ![Parameter2] b ![Parameter1]"));
    EXPECT_EQ(literal->GetCode(0), "print(\"a ![Parameter2] b ![Parameter1]\")");
    EXPECT_EQ(literal->GetText(), "Print 'a ![Parameter2] b ![Parameter1]'");
}

TEST_F(InstructionsTest, MoveChildPutsTheChildAfterTheTarget)
{
    std::unique_ptr<CBlock> block(static_cast<CBlock*>(Block("actions")->CreateCode().release()));
    for (const char* name : {"a", "b", "c", "d"}) {
        block->AddChild(NewPrint(name));
    }
    auto order = [&] {
        std::string out;
        for (std::size_t i = 0; i < block->GetChildCount(); ++i) {
            out += static_cast<CStringValue*>(block->GetChild(i)->GetParameter(0)->GetValue())->GetValue();
        }
        return out;
    };
    block->MoveChild(0, 2);
    EXPECT_EQ(order(), "bcad");
    block->MoveChild(3, 0);
    EXPECT_EQ(order(), "bdca");
    block->MoveChild(1, 1);
    EXPECT_EQ(order(), "bdca");

    CCodeBase* detached = block->GetChild(0);
    block->DetachChild(0);
    EXPECT_EQ(detached->GetParent(), nullptr);
    block->InsertChild(detached, 3);
    EXPECT_EQ(order(), "dcab");
    block->DeleteChild(0);
    EXPECT_EQ(order(), "cab");
}

TEST_F(InstructionsTest, ReferenceParametersTakeTheTypeOfTheirTarget)
{
    std::unique_ptr<CCall> compare(NewCall("compare"));
    CParameter* b = compare->GetParameter(2);
    EXPECT_EQ(b->GetReference(), compare->GetParameter(0));
    EXPECT_EQ(b->GetType(), nullptr);
    compare->GetParameter(0)->SetValue(NewNumber(3));
    EXPECT_EQ(b->GetType(), Type("number"));
    EXPECT_EQ(compare->GetParameter(1)->GetChoiceIndex(), 0);
    EXPECT_EQ(compare->GetParameter(1)->GetText(), "Op/eq");
    EXPECT_TRUE(compare->GetParameter(1)->HasValue());

    // A copy's reference points into the copy.
    b->SetValue(NewNumber(4));
    std::unique_ptr<CCall> copy(static_cast<CCall*>(compare->Clone()));
    EXPECT_EQ(copy->GetParameter(2)->GetReference(), copy->GetParameter(0));
    compare.reset();
    copy->SetEnabled(true);
    EXPECT_EQ(copy->GetCode(0), "3.00 == 4.00");
}

TEST_F(InstructionsTest, ConstantsAreSharedAndNeverReleasedByParameters)
{
    const CConstant* pi = Constant("pi");
    {
        std::unique_ptr<CCall> a(NewCall("add"));
        a->GetParameter(0)->SetConstant(pi);
        a->GetParameter(1)->SetConstant(pi);
        std::unique_ptr<CCall> copy(static_cast<CCall*>(a->Clone()));
        EXPECT_EQ(copy->GetParameter(0)->GetValue(), pi);
        a->GetParameter(0)->SetValue(nullptr);
        copy->SetEnabled(true);
        EXPECT_EQ(copy->GetCode(0), "(math.pi + math.pi)");
    }
    EXPECT_EQ(pi->GetCode(0), "math.pi");
    EXPECT_TRUE(pi->UsesModule(m_module));
}

TEST_F(InstructionsTest, ATakenValueComesBackAsItWasWhateverTheParameterGotMeanwhile)
{
    std::unique_ptr<CCall> add(NewCall("add"));
    CParameter* a = add->GetParameter(0);
    CNumberValue* three = NewNumber(3);
    a->SetValue(three);
    CHeldValue held = a->TakeValue();
    EXPECT_EQ(a->GetValue(), nullptr);
    // The literal stays alive while the parameter gets and drops other values.
    a->SetValue(NewNumber(7));
    a->SetValue(NewNumber(8));
    EXPECT_TRUE(a->PutValue(std::move(held)));
    EXPECT_EQ(a->GetValue(), three);

    // A copy is independent of the value it was made from.
    a->SetValue(NewCall("add"));
    CHeldValue copy = CHeldValue::CopyOf(a->GetValue());
    ASSERT_NE(copy.Get(), nullptr);
    EXPECT_NE(copy.Get(), a->GetValue());
    copy.Reset();
    EXPECT_EQ(a->GetValue()->GetCodeType(), CodeTypeCall);

    const CConstant* pi = Constant("pi");
    a->SetConstant(pi);
    held = a->TakeValue();
    EXPECT_TRUE(a->PutValue(std::move(held)));
    EXPECT_EQ(a->GetValue(), pi);
}

TEST_F(InstructionsTest, AHeldVariableThatIsDeletedOrRetypedComesBackEmpty)
{
    auto x = std::make_unique<CUserDefinedVariable>("x", Type("number"));
    auto y = std::make_unique<CUserDefinedVariable>("y", Type("number"));
    std::unique_ptr<CCall> add(NewCall("add"));
    CParameter* a = add->GetParameter(0);
    CParameter* b = add->GetParameter(1);
    a->SetValue(x.get());
    b->SetValue(y.get());
    CHeldValue heldX = a->TakeValue();
    CHeldValue heldY = b->TakeValue();
    EXPECT_TRUE(x->GetUsers().empty()) << "a taken variable no longer lists the parameter";
    EXPECT_EQ(heldX.Get(), x.get());
    // The parameter uses the variable again while its old value is held.
    a->SetValue(x.get());

    x->SetType(Type("string"));
    EXPECT_EQ(a->GetValue(), nullptr);
    EXPECT_TRUE(heldX.IsEmpty());
    y.reset();
    EXPECT_TRUE(heldY.IsEmpty());

    b->SetValue(NewNumber(1));
    EXPECT_FALSE(a->PutValue(std::move(heldX)));
    EXPECT_FALSE(b->PutValue(std::move(heldY)));
    EXPECT_EQ(a->GetValue(), nullptr);
    EXPECT_EQ(b->GetValue(), nullptr) << "restoring a deleted variable empties the parameter";
}

TEST_F(InstructionsTest, ASourceOfAnotherTypeEmptiesTheReferenceParametersThatNoLongerFit)
{
    CUserDefinedVariable number("count", Type("number"));
    CUserDefinedVariable other("total", Type("number"));
    CUserDefinedVariable text("name", Type("string"));
    std::unique_ptr<CCall> set(NewCallOf("set", {&number, NewNumber(5)}));
    CParameter* target = set->GetParameter(0);
    CParameter* value = set->GetParameter(1);
    EXPECT_EQ(set->GetCode(0), "v_count = 5.00");

    // Same type, or the source taken out (a dialog may put it back): the value stays.
    target->SetValue(&other);
    CHeldValue held = target->TakeValue();
    EXPECT_NE(value->GetValue(), nullptr);
    EXPECT_TRUE(target->PutValue(std::move(held)));
    EXPECT_EQ(set->GetCode(0), "v_total = 5.00");

    CHeldValue five = CHeldValue::CopyOf(value->GetValue());
    target->SetValue(&text);
    EXPECT_EQ(value->GetValue(), nullptr);
    EXPECT_FALSE(set->IsEnabled());
    EXPECT_EQ(set->GetCode(0), "");
    // A number no longer fits; putting it back leaves the parameter empty without an internal check.
    EXPECT_FALSE(value->PutValue(std::move(five)));
    EXPECT_EQ(value->GetValue(), nullptr);
}

} // namespace
} // namespace bram::test

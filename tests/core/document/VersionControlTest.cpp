// Data files under version control: the outline tells two documents apart
// exactly when their files differ, the diff names each change with its place,
// and the three-way merge takes one-sided changes and marks conflicts.

#include "DocumentFixture.h"

#include "code/CodeTrigger.h"
#include "code/Instructions.h"
#include "code/State.h"
#include "code/Values.h"
#include "code/Variables.h"
#include "document/DocumentDiff.h"
#include "document/DocumentEdits.h"
#include "document/DocumentMerge.h"
#include "document/Outline.h"

#include <functional>
#include <map>
#include <memory>
#include <random>

namespace bram::test {
namespace {

using Edit = std::function<void(CApplicationDocument&)>;

class VersionControl : public DocumentTest {
protected:
    void TearDown() override
    {
        for (auto& document : m_documents) {
            document->DeleteContents(); // before the language goes
        }
        DocumentTest::TearDown();
    }

    CApplicationDocument& Read(const std::string& data, const Edit& edit = {})
    {
        m_documents.push_back(std::make_unique<CApplicationDocument>());
        CApplicationDocument& document = *m_documents.back();
        document.NewDocument();
        document.ReadDataFileFromMemory(data, "test.bdf");
        if (edit) {
            edit(document);
        }
        return document;
    }

    static CCodeTrigger* Trigger(const CApplicationDocument& document, const std::string& name)
    {
        const CTriggerEntry* entry = document.GetCategorySystem().FindTrigger(name).entry;
        return entry != nullptr ? document.GetState()->FindTrigger(entry->GetId()) : nullptr;
    }
    static CCodeBase* Actions(const CApplicationDocument& document, const std::string& trigger)
    {
        return Trigger(document, trigger)->GetBlock(1);
    }

    std::vector<std::unique_ptr<CApplicationDocument>> m_documents;
};

// Every instruction and literal of the document, in tree order.
void Collect(CCodeBase& node, std::vector<CCodeBase*>& instructions, std::vector<CCodeBase*>& literals)
{
    for (std::size_t p = 0; p < node.GetParameterCount(); ++p) {
        CCodeBase* value = node.GetParameter(p)->GetValue();
        if (dynamic_cast<CUserDefinedValue*>(value) != nullptr) {
            literals.push_back(value);
        } else if (value != nullptr && value->GetCodeType() == CodeTypeCall) {
            Collect(*value, instructions, literals);
        }
    }
    for (std::size_t c = 0; c < node.GetChildCount(); ++c) {
        CCodeBase* child = node.GetChild(c);
        if (child->GetCodeType() != CodeTypeBlock) {
            instructions.push_back(child);
        }
        Collect(*child, instructions, literals);
    }
}

// A small random change; some change nothing the file holds (a number
// beyond its two written decimals, a flag set to what it is).
void RandomEdit(CApplicationDocument& document, std::mt19937& random)
{
    CState& state = *document.GetState();
    const auto pick = [&random](std::size_t count) {
        return std::uniform_int_distribution<std::size_t>(0, count - 1)(random);
    };
    const char* const texts[] = {"", "a", "a\n", "a\\x0A", "b\r\n", "\"b\""};
    CCodeTrigger& trigger = *state.GetTrigger(pick(state.GetTriggerCount()));
    std::vector<CCodeBase*> instructions;
    std::vector<CCodeBase*> literals;
    for (std::size_t b = 0; b < trigger.GetBlockCount(); ++b) {
        Collect(*trigger.GetBlock(b), instructions, literals);
    }
    switch (pick(8)) {
    case 0: trigger.SetEnabled(pick(2) == 0); break;
    case 1: trigger.SetEnabledAtBeginning(pick(2) == 0); break;
    case 2: trigger.SetComment(texts[pick(6)]); break;
    case 3: (pick(2) == 0 ? state.SetPreamble(texts[pick(6)]) : state.SetHeader(texts[pick(6)])); break;
    case 4:
        if (!instructions.empty()) {
            CCodeBase* node = instructions[pick(instructions.size())];
            node->SetEnabled(!node->IsEnabled());
        }
        break;
    case 5:
        if (!instructions.empty()) {
            CCodeBase* node = instructions[pick(instructions.size())];
            if (node->GetParent() != nullptr && node->GetParent()->GetCodeType() == CodeTypeBlock) {
                CCodeBase* parent = node->GetParent();
                parent->MoveChild(static_cast<std::size_t>(node->GetIndexInParent()), pick(parent->GetChildCount()));
            }
        }
        break;
    case 6:
        if (!literals.empty()) {
            CCodeBase* literal = literals[pick(literals.size())];
            if (auto* number = dynamic_cast<CNumberValue*>(literal)) {
                const double values[] = {0.0, 2.5, 2.501, 3.0, -0.001};
                number->SetValue(values[pick(5)]);
            } else if (auto* string = dynamic_cast<CStringValue*>(literal)) {
                string->SetValue(texts[pick(6)]);
            } else if (auto* boolean = dynamic_cast<CBoolValue*>(literal)) {
                boolean->SetValue(pick(2) == 0);
            }
        }
        break;
    default: {
        const char* const names[] = {"First", "Second", "Third", "Fourth"};
        RenameTrigger(document, document.GetCategorySystem().FindTrigger(trigger.GetName()).entry, names[pick(4)]);
        break;
    }
    }
}

TEST_F(VersionControl, TheOutlineDiffersExactlyWhereTheFileDoes)
{
    std::mt19937 random(20240611);
    for (const char* name : {"document/valid.bdf", "document/round-trip.bdf", "document/parameters.bdf",
                             "document/converted-trigger.bdf"}) {
        const std::string data = JoinedDataFile(name);
        std::map<std::string, std::string> outlineOfFile;
        std::map<std::string, std::string> fileOfOutline;
        for (int variant = 0; variant < 150; ++variant) {
            CApplicationDocument& document = Read(data, [&](CApplicationDocument& d) {
                for (int e = variant == 0 ? 0 : 1 + variant % 3; e > 0; --e) {
                    RandomEdit(d, random);
                }
            });
            // The property is about files: what the editor holds and the
            // reader would read otherwise (a carriage return) counts as read.
            const std::string written = document.WriteDataFile();
            CApplicationDocument& file = Read(written);
            const std::string bytes = file.WriteDataFile();
            const std::string outline = OutlineText(file);
            EXPECT_EQ(outlineOfFile.emplace(bytes, outline).first->second, outline) << name << "\n" << bytes;
            EXPECT_EQ(fileOfOutline.emplace(outline, bytes).first->second, bytes) << name << "\n" << outline;
            if (bytes == written) {
                EXPECT_EQ(OutlineText(document), outline) << name;
            }
            document.DeleteContents();
            file.DeleteContents();
        }
        EXPECT_GT(outlineOfFile.size(), 20u) << name;
    }
}

TEST_F(VersionControl, DiffNamesEachChangeWithItsPlace)
{
    const std::string data = ValidFile();
    struct SCase {
        const char* name;
        Edit edit;
        std::vector<std::string> expected; // "what NAME PLACE"
    };
    const SCase cases[] = {
        {"nothing", [](CApplicationDocument&) {}, {}},
        {"comment", [](CApplicationDocument& d) { Trigger(d, "First")->SetComment("why"); }, {"comment First "}},
        {"flags", [](CApplicationDocument& d) { Trigger(d, "Second")->SetEnabled(false); }, {"flags Second "}},
        {"instruction removed",
         [](CApplicationDocument& d) { Actions(d, "First")->DeleteChild(0); },
         {"removed First Block/actions/1"}},
        {"literal changed",
         [](CApplicationDocument& d) {
             static_cast<CStringValue*>(Actions(d, "First")->GetChild(0)->GetParameter(0)->GetValue())->SetValue("ho");
         },
         {"changed First Block/actions/1"}},
        {"instruction disabled",
         [](CApplicationDocument& d) { Actions(d, "First")->GetChild(3)->SetEnabled(false); },
         {"changed First Block/actions/4"}},
        {"global renamed",
         [](CApplicationDocument& d) { d.GetState()->GetGlobal(0)->SetName("total"); },
         {"renamed total ", "changed First Block/actions/3", "changed First Block/actions/4"}},
        {"global added",
         [](CApplicationDocument& d) {
             d.GetState()->GetGlobals().push_back(
                 std::make_unique<CUserDefinedVariable>("extra", d.GetState()->GetGlobal(0)->GetType()));
         },
         {"added extra "}},
        {"trigger renamed",
         [](CApplicationDocument& d) { RenameTrigger(d, d.GetCategorySystem().FindTrigger("Second").entry, "Later"); },
         {"renamed Later ", "changed First Block/actions/2"}},
        {"trigger moved",
         [](CApplicationDocument& d) {
             CCategory* other = d.GetCategorySystem().AddCategory("Other");
             MoveTrigger(d, d.GetCategorySystem().FindTrigger("Second").entry, other, 0);
         },
         {"added Other ", "moved Second "}},
        {"category renamed",
         [](CApplicationDocument& d) { RenameCategory(d, d.GetCategorySystem().FindCategory("Main"), "Renamed"); },
         {"renamed Renamed "}},
        {"local removed",
         [](CApplicationDocument& d) { Trigger(d, "First")->GetLocals().clear(); },
         {"local removed First "}},
        {"preamble", [](CApplicationDocument& d) { d.GetState()->SetPreamble("-- top"); }, {"changed  "}},
    };
    const SOutline before = MakeOutline(Read(data));
    for (const SCase& c : cases) {
        const SOutline after = MakeOutline(Read(data, c.edit));
        std::vector<std::string> found;
        for (const SDocumentChange& change : DiffOutlines(before, after)) {
            found.push_back(change.what + " " + change.name + " " + change.place);
        }
        EXPECT_EQ(found, c.expected) << c.name << "\n" << FormatChanges(DiffOutlines(before, after));
        EXPECT_EQ(found.empty(), RenderOutline(before) == RenderOutline(after)) << c.name;
    }
}

TEST_F(VersionControl, MergeTakesOneSidedChangesAndMarksConflicts)
{
    const std::string data = ValidFile();
    const Edit comment = [](CApplicationDocument& d) { Trigger(d, "First")->SetComment("ours"); };
    const Edit otherComment = [](CApplicationDocument& d) { Trigger(d, "First")->SetComment("theirs"); };
    const Edit disable = [](CApplicationDocument& d) { Trigger(d, "Second")->SetEnabled(false); };
    const Edit preamble = [](CApplicationDocument& d) { d.GetState()->SetPreamble("-- merged"); };
    const Edit addGlobal = [](CApplicationDocument& d) {
        d.GetState()->GetGlobals().push_back(
            std::make_unique<CUserDefinedVariable>("extra", d.GetState()->GetGlobal(0)->GetType()));
    };
    const Edit addStringGlobal = [](CApplicationDocument& d) {
        d.GetState()->GetGlobals().push_back(
            std::make_unique<CUserDefinedVariable>("extra", Trigger(d, "First")->GetLocal(0)->GetType()));
    };
    const Edit addTrigger = [](CApplicationDocument& d) {
        CreateTrigger(d, d.GetCategorySystem().AddCategory("Other"));
    };
    const Edit move = [](CApplicationDocument& d) {
        MoveTrigger(d, d.GetCategorySystem().FindTrigger("Second").entry, d.GetCategorySystem().AddCategory("Other"),
                    0);
    };
    const Edit removeInstruction = [](CApplicationDocument& d) { Actions(d, "First")->DeleteChild(0); };
    struct SCase {
        const char* name;
        Edit ours;
        Edit theirs;
        std::vector<std::string> conflicts; // "KIND NAME"
    };
    const SCase cases[] = {
        {"disjoint triggers", comment, disable, {}},
        {"global and preamble", addGlobal, preamble, {}},
        {"new trigger and instruction", addTrigger, removeInstruction, {}},
        {"the same on both sides", comment, comment, {}},
        {"a move and an edit of one trigger", move, disable, {}},
        {"one trigger changed differently", comment, otherComment, {"trigger First"}},
        {"one global added differently", addGlobal, addStringGlobal, {"global extra"}},
    };
    for (const SCase& c : cases) {
        const SMergeResult merged = MergeDocuments(Read(data), Read(data, c.ours), Read(data, c.theirs));
        std::vector<std::string> conflicts;
        for (const SMergeConflict& conflict : merged.conflicts) {
            conflicts.push_back(conflict.kind + " " + conflict.name);
        }
        EXPECT_EQ(conflicts, c.conflicts) << c.name;
        CApplicationDocument& result = Read(merged.data);
        EXPECT_EQ(result.WriteDataFile(), merged.data) << c.name;
        if (c.conflicts.empty()) {
            // What applying both changes gives.
            CApplicationDocument& both = Read(data, [&](CApplicationDocument& d) {
                c.ours(d);
                c.theirs(d);
            });
            EXPECT_EQ(merged.data, both.WriteDataFile()) << c.name;
        }
    }
    // Ours in place, theirs beside it disabled, its comment naming the conflict.
    const SMergeResult merged = MergeDocuments(Read(data), Read(data, comment), Read(data, otherComment));
    CApplicationDocument& result = Read(merged.data);
    ASSERT_NE(Trigger(result, "First_theirs"), nullptr);
    EXPECT_EQ(Trigger(result, "First")->GetComment(), "ours");
    EXPECT_FALSE(Trigger(result, "First_theirs")->IsEnabled());
    EXPECT_EQ(Trigger(result, "First_theirs")->GetComment(),
              "Merge conflict on First: changed differently on both sides; this is their version.\ntheirs");
    EXPECT_EQ(result.GetCategorySystem().FindCategory("Main")->GetTrigger(1)->GetName(), "First_theirs");
}

} // namespace
} // namespace bram::test

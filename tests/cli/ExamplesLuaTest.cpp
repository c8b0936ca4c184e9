// The sample language runs: triggers put together from the sample modules'
// templates by the script rules (module scripts first, then the preamble,
// header, globals and one function per trigger) make a Lua 5.4 program whose
// output the real interpreter produces as expected.
//
// The script is composed here from the module XML until the code model can
// generate it; the composition follows the generator's rules for blocks,
// calls, structures, parameters and triggers.

#include "TestSupport.h"
#include "localization/Localization.h"
#include "xml/XmlDocument.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>

namespace bram {
namespace {

namespace fs = std::filesystem;

const std::string kSources = std::string(BRAMBLETON_EXAMPLES_SOURCE_DIR) + "/";

std::string Tabs(int level) { return std::string(level > 0 ? static_cast<std::size_t>(level) : 0u, '\t'); }

void ReplaceAll(std::string& text, std::string_view what, std::string_view by)
{
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + by.size())) {
        text.replace(at, what.size(), by);
    }
}

std::string OptionalText(const CXmlNode& parent, std::string_view name)
{
    const CXmlNode child = parent.Child(name);
    return child.IsNull() ? std::string() : child.GetText();
}

struct Instruction {
    std::string name;
    std::vector<std::string> arguments;              // script text of each parameter
    std::vector<std::vector<Instruction>> blocks;    // for structures
};

struct Trigger {
    std::string name;
    std::string comment;
    bool enabledAtBeginning = true;
    std::vector<std::pair<std::string, std::string>> locals;   // name, type
    std::vector<std::vector<Instruction>> blocks;              // one per function block
};

class CSampleLanguage {
public:
    CSampleLanguage()
    {
        std::vector<std::pair<int, std::string>> order;
        for (const auto& entry : fs::directory_iterator(kSources + "modules-src")) {
            const std::string name = entry.path().filename().string();
            auto& doc = m_modules[name];
            EXPECT_TRUE(doc.LoadFile(entry.path().string() + "/Data/data.xml")) << name;
            order.emplace_back(std::stoi(doc.GetRoot().SelectSingleNode("/Module/Priority").GetText()), name);
        }
        std::stable_sort(order.begin(), order.end(), [](auto& a, auto& b) { return a.first > b.first; });
        for (const auto& [priority, name] : order) {
            m_order.push_back(name);
        }
        EXPECT_TRUE(m_functions.LoadFile(kSources + "Data/FunctionDefinition.xml"));
        EXPECT_TRUE(m_creation.LoadFile(kSources + "Data/ScriptCreation.xml"));
        EXPECT_TRUE(m_booleans.LoadFromFile(kSources + "Data/BoolDef.xml"));
    }

    // Module scripts, in module order.
    std::string ModuleScripts() const
    {
        std::string text;
        for (const std::string& name : m_order) {
            const CXmlNode root = m_modules.at(name).GetRoot();
            const CXmlNodeList scripts = root.SelectNodes("/Module/Scripts/Script");
            for (std::size_t i = 0; i < scripts.GetLength(); ++i) {
                text += test::ReadFile(kSources + "modules-src/" + name + "/Data/Scripts/" + scripts.GetItem(i).GetText());
            }
        }
        return text;
    }

    // The first declaration of that kind and name, searching modules in order.
    CXmlNode Find(std::string_view section, std::string_view name) const
    {
        for (const std::string& module : m_order) {
            const CXmlNodeList list = m_modules.at(module).GetRoot().SelectNodes("/Module/Data/" + std::string(section));
            for (std::size_t i = 0; i < list.GetLength(); ++i) {
                if (list.GetItem(i).Child("Name").GetText() == name) {
                    return list.GetItem(i);
                }
            }
        }
        ADD_FAILURE() << "no declaration " << section << " " << name;
        return CXmlNode();
    }

    // Literals and references as parameters print them.
    std::string Number(double value) const
    {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.2f", value);
        return buffer;
    }
    std::string Boolean(bool value) const { return m_booleans.Lookup(value ? "True" : "False"); }
    std::string String(std::string_view type, std::string_view value) const
    {
        // Start string, end string, then the replacements in their order.
        const CXmlNode replacements = Find("Types/Type", type).Child("Replacements");
        std::string start, end, text(value);
        if (!replacements.IsNull()) {
            start = OptionalText(replacements, "StartString");
            end = OptionalText(replacements, "EndString");
            const CXmlNodeList list = replacements.SelectNodes("Replacement");
            for (std::size_t i = 0; i < list.GetLength(); ++i) {
                ReplaceAll(text, list.GetItem(i).Child("What").GetText(), list.GetItem(i).Child("By").GetText());
            }
        }
        return start + text + end;
    }
    std::string Variable(std::string_view name) const { return Setting(m_creation, "VariablePrefix") + std::string(name); }
    std::string TriggerRef(std::string_view name) const { return Setting(m_functions, "TriggerPrefix") + std::string(name); }
    std::string FunctionRef(std::string_view name) const { return Setting(m_functions, "FunctionPrefix") + std::string(name); }
    std::string Constant(std::string_view name) const { return Find("Constants/Constant", name).Child("Value").GetText(); }
    std::string Choice(std::string_view instruction, std::string_view value) const
    {
        for (const char* section : {"Calls/Call", "Structures/Structure"}) {
            for (const std::string& module : m_order) {
                const CXmlNodeList list = m_modules.at(module).GetRoot().SelectNodes(
                    "/Module/Data/" + std::string(section) + "[Name='" + std::string(instruction) +
                    "']/Parameters/Parameter/Values/Value[Name='value/" + std::string(value) + "']/Value");
                if (list.GetLength() > 0) {
                    return list.GetItem(0).GetText();
                }
            }
        }
        ADD_FAILURE() << "no value " << value << " of " << instruction;
        return {};
    }
    // A nested call as a parameter prints its code at level 0.
    std::string Expression(const Instruction& call, const std::string& trigger) const
    {
        return Code(call, 0, trigger);
    }

    std::string Code(const Instruction& instruction, int level, const std::string& trigger) const
    {
        CXmlNode definition = FindInstruction(instruction.name);
        std::string text = Tabs(level) + FillPlaceholders(Names(definition.Child("RawInstruction").GetText(), trigger),
                                                          instruction.arguments);
        if (definition.GetName() == "Call") {
            return text;
        }
        text += "\n";
        const CXmlNodeList blocks = definition.SelectNodes("Blocks/Block");
        EXPECT_EQ(blocks.GetLength(), instruction.blocks.size()) << instruction.name;
        for (std::size_t i = 0; i < blocks.GetLength() && i < instruction.blocks.size(); ++i) {
            const CXmlNode block = blocks.GetItem(i);
            const std::string name = block.Child("Name").IsNull() ? block.GetText() : block.Child("Name").GetText();
            text += BlockCode(name, instruction.blocks[i], level, trigger);
        }
        return text;
    }

    std::string BlockCode(std::string_view name, const std::vector<Instruction>& children, int level,
                          const std::string& trigger) const
    {
        const CXmlNode block = Find("Blocks/Block", name);
        const std::string start = block.Child("StartInstruction").GetText();
        const std::string end = block.Child("EndInstruction").GetText();
        std::string text;
        if (!start.empty()) {
            text += Tabs(level) + Names(start, trigger) + "\n";
            ++level;
        } else if (!end.empty()) {
            ++level;
        }
        if (children.empty()) {
            text += Tabs(level) + block.Child("StandardValue").GetText() + "\n";
        }
        for (std::size_t i = 0; i < children.size(); ++i) {
            if (i > 0) {
                text += Tabs(level - 1) + block.Child("Separator").GetText() + "\n";
            }
            text += Code(children[i], level, trigger) + "\n";
        }
        if (!end.empty()) {
            text += Tabs(level - 1) + Names(end, trigger);
        }
        return text;
    }

    std::string TriggerCode(const Trigger& trigger) const
    {
        std::string text = Setting(m_functions, "FunctionDefinition");
        text = FillPlaceholders(text, {FunctionRef(trigger.name)}) + "\n" +
               FillPlaceholders(Setting(m_functions, "TriggerDefinition"), {TriggerRef(trigger.name)}) + "\n";
        const std::size_t localsIndex = std::stoul(Setting(m_functions, "AddLocalsBeforeIndex")) - 1;
        const CXmlNodeList blocks = m_functions.GetRoot().SelectNodes("/FunctionDefinition/FunctionBlocks/Block");
        EXPECT_EQ(blocks.GetLength(), trigger.blocks.size());
        for (std::size_t b = 0; b < blocks.GetLength(); ++b) {
            if (b == localsIndex) {
                for (const auto& [name, type] : trigger.locals) {
                    text += FillPlaceholders(Setting(m_creation, "LocalDeclaration"), {Declaration(name, type)}) + "\n";
                }
            }
            text += BlockCode(blocks.GetItem(b).GetText(), trigger.blocks[b], 0, trigger.name) + "\n";
        }
        if (!trigger.enabledAtBeginning) {
            text += FillPlaceholders(Setting(m_functions, "TriggerDisabledAtBeginning"), {TriggerRef(trigger.name)}) + "\n";
        }
        return String(Setting(m_creation, "CommentUseType"), trigger.comment) + "\n" + text;
    }

    std::string Script(const std::string& preamble, const std::string& header,
                       const std::vector<std::pair<std::string, std::string>>& globals,
                       const std::vector<Trigger>& triggers) const
    {
        std::string text = header + "\n";
        for (const auto& [name, type] : globals) {
            text += FillPlaceholders(Setting(m_creation, "GlobalDeclaration"), {Declaration(name, type)}) + "\n";
        }
        for (const Trigger& trigger : triggers) {
            text += TriggerCode(trigger) + "\n";
        }
        text = String(Setting(m_creation, "CommentUseType"), preamble) + "\n" + text;
        return ModuleScripts() + String(Setting(m_creation, "GenScriptUseType"), text);
    }

private:
    CXmlNode FindInstruction(std::string_view name) const
    {
        for (const std::string& module : m_order) {
            for (const char* section : {"/Module/Data/Calls/Call", "/Module/Data/Structures/Structure"}) {
                const CXmlNodeList list = m_modules.at(module).GetRoot().SelectNodes(section);
                for (std::size_t i = 0; i < list.GetLength(); ++i) {
                    if (list.GetItem(i).Child("Name").GetText() == name) {
                        return list.GetItem(i);
                    }
                }
            }
        }
        ADD_FAILURE() << "no instruction " << name;
        return CXmlNode();
    }

    std::string Names(std::string text, const std::string& trigger) const
    {
        ReplaceAll(text, "![TriggerName]", TriggerRef(trigger));
        ReplaceAll(text, "![FunctionName]", FunctionRef(trigger));
        return text;
    }

    std::string Declaration(const std::string& name, const std::string& type) const
    {
        return FillPlaceholders(Find("Types/Type", type).Child("CreationInstruction").GetText(), {Variable(name)});
    }

    static std::string Setting(const CXmlDocument& doc, std::string_view name)
    {
        const CXmlNode node = doc.GetDocumentElement().Child(name);
        EXPECT_FALSE(node.IsNull()) << name;
        return node.GetText();
    }

    std::map<std::string, CXmlDocument> m_modules;
    std::vector<std::string> m_order;
    CXmlDocument m_functions;
    CXmlDocument m_creation;
    CLocalizationTable m_booleans;
};

test::CommandResult RunLua(const std::string& script)
{
    test::CTempDir dir;
    test::WriteFile(dir / "script.lua", script);
    return test::RunCommand("lua5.4 '" + (dir / "script.lua") + "'");
}

class ExamplesLua : public ::testing::Test {
protected:
    CSampleLanguage lang;

    Instruction Call(std::string name, std::vector<std::string> arguments = {})
    {
        return Instruction{std::move(name), std::move(arguments), {}};
    }
    std::string Expr(std::string name, std::vector<std::string> arguments, const std::string& trigger)
    {
        return lang.Expression(Call(std::move(name), std::move(arguments)), trigger);
    }
    std::string Text(std::string_view value) { return lang.String("Text", value); }
};

TEST_F(ExamplesLua, TriggersWithEventsTimersConditionsAndStructuresRun)
{
    const auto num = [&](double v) { return lang.Number(v); };
    const auto var = [&](std::string_view n) { return lang.Variable(n); };

    Trigger greeting{"Greeting", "Says hello.\nUses \"quotes\" and a backslash \\.", true,
                     {{"Name", "Text"}, {"I", "Number"}}, {}};
    greeting.blocks = {
        {Call("ScriptStarts")},
        {},
        {
            Call("SetVariable", {var("Name"), Text("W\xC3\xB6rld \"quoted\"\\")}),
            Call("Print", {Expr("Concatenate", {Text("Hello, "), var("Name")}, "Greeting")}),
            Instruction{"For", {var("I"), num(1), num(3)},
                        {{Call("Print", {Expr("Concatenate", {Text("i="), Expr("NumberToText", {var("I")}, "")}, "")})}}},
            Instruction{"IfElse", {Expr("CompareNumbers", {num(2), lang.Choice("CompareNumbers", "Greater"), num(1)}, "")},
                        {{Call("Print", {Text("yes")})}, {Call("Print", {Text("no")})}}},
            Call("Print", {Expr("FormatNumber", {Expr("Arithmetic", {num(10), lang.Choice("Arithmetic", "Divide"), num(4)}, ""),
                                                 lang.Choice("FormatNumber", "Decimals2")}, "")}),
            Call("Print", {Expr("Substring", {Text("Brambleton"), num(1), num(5)}, "")}),
            Call("Print", {Expr("ChangeCase", {lang.Choice("ChangeCase", "Upper"), Text("abc")}, "")}),
            Call("CustomCode", {lang.String("ScriptText", "bram.Print(\"custom\")")}),
            Instruction{"ForStep", {var("I"), num(10), num(1), num(-4)},
                        {{Instruction{"If", {Expr("CompareNumbers", {var("I"), lang.Choice("CompareNumbers", "Less"), num(5)}, "")},
                                      {{Call("Break")}}},
                          Call("Print", {Expr("NumberToText", {var("I")}, "")})}}},
        }};

    Trigger tick{"Tick", "Counts three seconds.", true, {}, {}};
    tick.blocks = {
        {Call("TimerExpires", {num(1), lang.Choice("TimerExpires", "Periodic")})},
        {Call("CompareNumbers", {var("Count"), lang.Choice("CompareNumbers", "Less"), num(3)})},
        {
            Call("SetVariable", {var("Count"), Expr("Arithmetic", {var("Count"), lang.Choice("Arithmetic", "Plus"), num(1)}, "")}),
            Call("Print", {Expr("Concatenate", {Text("tick "), Expr("NumberToText", {var("Count")}, "")}, "")}),
            Instruction{"If", {Expr("CompareNumbers", {var("Count"), lang.Choice("CompareNumbers", "GreaterOrEqual"), num(3)}, "")},
                        {{Call("FireEvent", {Text("done"), Expr("ThisTriggerName", {}, "Tick")}), Call("DisableThisTrigger")}}},
        }};

    Trigger done{"Done", "", true, {}, {}};
    done.blocks = {
        {Call("EventFired", {Text("done")})},
        {Call("CompareTexts", {Expr("EventName", {}, ""), lang.Choice("CompareTexts", "Equal"), Text("done")}),
         Call("Not", {Expr("TriggerIsEnabled", {lang.TriggerRef("Late")}, "")})},
        {
            Call("Print", {Expr("Concatenate", {Text("done by "), Expr("EventText", {}, "")}, "")}),
            Call("EnableTrigger", {lang.TriggerRef("Late")}),
            Call("FireEventAfter", {num(5), Text("later"), Text("x")}),
            Instruction{"After", {num(0.5)}, {{Call("Print", {Expr("Concatenate", {Text("at "), Expr("NumberToText", {Expr("ElapsedTime", {}, "")}, "")}, "")})}}},
        }};

    Trigger late{"Late", "Waits for the event \"later\".", false, {}, {}};
    late.blocks = {
        {Call("EventFired", {Text("later")})},
        {},
        {Call("Print", {Expr("Concatenate", {Text("late at "), Expr("NumberToText", {Expr("ElapsedTime", {}, "")}, "")}, "")})},
    };

    Trigger helper{"Helper", "Has no events: others run it.", true, {}, {}};
    helper.blocks = {{}, {}, {Call("Print", {Text("helper ran")})}};

    Trigger bye{"Bye", "", true, {}, {}};
    bye.blocks = {
        {Call("ScriptEnds")},
        {},
        {
            Call("Print", {Expr("Concatenate", {Text("runs of Tick: "), Expr("NumberToText", {Expr("RunCount", {lang.TriggerRef("Tick")}, "")}, "")}, "")}),
            Call("RunTrigger", {lang.FunctionRef("Helper")}),
            Instruction{"If", {Expr("VariableEquals", {var("Count"), num(3)}, "")}, {{Call("Print", {Text("count is 3")})}}},
            Instruction{"While", {Expr("CompareNumbers", {var("Count"), lang.Choice("CompareNumbers", "Greater"), num(0)}, "")},
                        {{Call("SetVariable", {var("Count"), Expr("Arithmetic", {var("Count"), lang.Choice("Arithmetic", "Minus"), num(1)}, "")})}}},
            Instruction{"Repeat", {num(2)}, {{Call("Print", {Expr("Concatenate", {Text("again "), Expr("NumberToText", {var("Count")}, "")}, "")})}}},
            Call("Print", {Expr("Concatenate", {lang.Constant("Tab"), Expr("NumberToText", {Expr("MathFunction", {lang.Choice("MathFunction", "Floor"), lang.Constant("Pi")}, "")}, "")}, "")}),
        }};

    const std::string script = lang.Script("The sample program.\nSecond line.", "-- header", {{"Count", "Number"}},
                                            {greeting, tick, done, late, helper, bye});
    const auto result = RunLua(script);
    EXPECT_EQ(result.status, 0) << result.err << "\n" << script;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out,
              "Hello, W\xC3\xB6rld \"quoted\"\\\n"
              "i=1\ni=2\ni=3\n"
              "yes\n"
              "2.50\n"
              "Bramb\n"
              "ABC\n"
              "custom\n"
              "10\n6\n"
              "tick 1\ntick 2\ntick 3\n"
              "done by trg_Tick\n"
              "at 3.5\n"
              "late at 8\n"
              "runs of Tick: 3\n"
              "helper ran\n"
              "count is 3\n"
              "again 0\nagain 0\n"
              "\t3\n")
        << script;
}

TEST_F(ExamplesLua, EmptyTriggersAndAnEmptyDocumentAreValidLua)
{
    Trigger empty{"Empty", "", true, {{"Flag", "Boolean"}}, {{}, {}, {}}};
    Trigger disabled{"Off", "", false, {}, {{Call("ScriptStarts")}, {}, {Call("Print", {Text("never")})}}};
    const auto result = RunLua(lang.Script("", "", {{"Words", "Text"}, {"Yes", "Boolean"}}, {empty, disabled}));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    const auto none = RunLua(lang.Script("", "", {}, {}));
    EXPECT_EQ(none.status, 0) << none.err;
}

TEST_F(ExamplesLua, ARunawayPeriodicTimerStopsAtTheStepLimitAndAStopEndsTheScript)
{
    Trigger forever{"Forever", "", true, {}, {}};
    forever.blocks = {{Call("TimerExpires", {lang.Number(1), lang.Choice("TimerExpires", "Periodic")})}, {}, {}};
    const auto runaway = RunLua(lang.Script("", "bram.maxSteps = 50", {}, {forever}));
    EXPECT_EQ(runaway.status, 0) << runaway.err;
    EXPECT_EQ(runaway.err, "bram: stopped after 50 steps at 50 seconds\n");

    Trigger stopper{"Stopper", "", true, {}, {}};
    stopper.blocks = {{Call("TimerExpires", {lang.Number(2.5), lang.Choice("TimerExpires", "Once")})},
                      {},
                      {Call("StopScript")}};
    Trigger bye{"Bye", "", true, {}, {{Call("ScriptEnds")}, {}, {Call("Print", {Expr("NumberToText", {Expr("ElapsedTime", {}, "")}, "")})}}};
    const auto stopped = RunLua(lang.Script("", "", {}, {forever, stopper, bye}));
    EXPECT_EQ(stopped.status, 0) << stopped.err;
    EXPECT_EQ(stopped.out, "2.5\n");
}

TEST_F(ExamplesLua, AScriptThatFailsWhileLoadingDoesNotStartTheEventLoop)
{
    Trigger start{"Start", "", true, {}, {{Call("ScriptStarts")}, {}, {Call("Print", {Text("started")})}}};
    const auto result = RunLua(lang.Script("", "error(\"broken header\")", {}, {start}));
    EXPECT_NE(result.status, 0);
    EXPECT_NE(result.err.find("broken header"), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
}

} // namespace
} // namespace bram

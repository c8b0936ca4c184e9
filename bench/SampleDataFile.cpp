#include "SampleDataFile.h"

#include <cstdio>
#include <initializer_list>

namespace bram::test {

namespace {

using Parts = std::initializer_list<std::string>;

// The pieces of one trigger, in the writer's own form.
class CTriggerText {
public:
    std::size_t instructions = 0;

    static std::string CData(std::string_view text)
    {
        // As the XML writer does: "]]>" ends a section, so ">" starts the next one.
        std::string out = "<![CDATA[";
        for (std::size_t end = text.find("]]>"); end != std::string_view::npos; end = text.find("]]>")) {
            out.append(text.substr(0, end + 2)).append("]]><![CDATA[");
            text.remove_prefix(end + 2);
        }
        return out.append(text).append("]]>");
    }
    static std::string Type(std::string_view name)
    {
        return "<Type><Name>" + std::string(name) + "</Name><Module>core</Module></Type>";
    }

    // A parameter with a value of a code type; ref: a parameter taking its type from the first one.
    static std::string Param(std::string_view type, int codeType, const std::string& content, bool ref = false,
                             const char* triggerVariable = nullptr)
    {
        std::string out = std::string("<Parameter values=\"0\" ref=\"") + (ref ? "1\" to=\"0\"" : "0\"") +
                          " empty=\"0\" type=\"" + std::to_string(codeType) + "\"";
        if (triggerVariable != nullptr) {
            out.append(" triggervar=\"").append(triggerVariable).append("\"");
        }
        return out + ">" + Type(type) + content + "</Parameter>";
    }
    static std::string Number(double value, bool ref = false)
    {
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", value);
        return Param("Number", 64, "<Value bool=\"0\">" + CData(text) + "</Value>", ref);
    }
    static std::string Text(std::string_view text, bool ref = false, std::string_view type = "Text")
    {
        return Param(type, 64, "<Value bool=\"0\">" + CData(text) + "</Value>", ref);
    }
    static std::string Boolean(bool value, bool ref = false)
    {
        return Param("Boolean", 64, std::string("<Value bool=\"1\" val=\"") + (value ? "-1" : "0") + "\"/>", ref);
    }
    static std::string Variable(std::string_view name, std::string_view type, bool ref = false)
    {
        return Param(type, 32, "<Name>" + CData(name) + "</Name>", ref, "0");
    }
    static std::string TriggerVariable(std::string_view trigger, std::string_view type)
    {
        return Param(type, 32, "<Name>" + CData(trigger) + "</Name>", false, "1");
    }
    static std::string Constant(std::string_view name, std::string_view module, std::string_view type, bool ref = false)
    {
        return Param(type, 128, "<Name>" + std::string(name) + "</Name><Module>" + std::string(module) + "</Module>",
                     ref);
    }
    static std::string Choice(std::string_view value)
    {
        return "<Parameter values=\"1\"><Value>value/" + std::string(value) + "</Value></Parameter>";
    }
    static std::string Empty(std::string_view type)
    {
        return "<Parameter values=\"0\" ref=\"0\" empty=\"1\">" + Type(type) + "</Parameter>";
    }

    std::string Call(std::string_view name, std::string_view module, std::string_view type, Parts params,
                     bool ref = false)
    {
        ++instructions;
        return Param(type, 8,
                     "<Name>" + std::string(name) + "</Name><Module>" + std::string(module) + "</Module>" +
                         List("Parameters", params),
                     ref);
    }
    std::string Instruction(std::string_view name, std::string_view module, Parts params, bool enabled = true)
    {
        ++instructions;
        return std::string("<SubElement type=\"8\" enabled=\"") + (enabled ? "1" : "0") + "\"><Name>" +
               std::string(name) + "</Name><Module>" + std::string(module) + "</Module>" + List("Parameters", params) +
               "</SubElement>";
    }
    std::string Structure(std::string_view name, Parts params, Parts blocks)
    {
        ++instructions;
        return "<SubElement type=\"1\" enabled=\"1\"><Name>" + std::string(name) + "</Name><Module>standard</Module>" +
               List("Parameters", params) + List("Blocks", blocks) + "</SubElement>";
    }
    static std::string Block(std::string_view type, std::string_view name, std::string_view module, Parts children)
    {
        return "<Block>" + Type(type) + "<Name>" + std::string(name) + "</Name><Module>" + std::string(module) +
               "</Module>" + List("Data", children) + "</Block>";
    }
    static std::string Loop(Parts children) { return Block("Action", "Loop", "standard", children); }
    static std::string VariableList(std::initializer_list<std::pair<const char*, const char*>> variables)
    {
        std::string out;
        for (const auto& [name, type] : variables) {
            out += "<Variable>" + Type(type) + "<Name>" + CData(name) + "</Name></Variable>";
        }
        return out.empty() ? "<Variables/>" : "<Variables>" + out + "</Variables>";
    }

private:
    static std::string List(std::string_view element, Parts children)
    {
        std::string out;
        for (const std::string& child : children) {
            out += child;
        }
        const std::string name(element);
        return out.empty() ? "<" + name + "/>" : "<" + name + ">" + out + "</" + name + ">";
    }
};

std::string TriggerName(int t) { return "Trigger_" + std::to_string(t); }

// Counts down in a loop, sums in another, branches on both.
std::string LoopActions(CTriggerText& x)
{
    using T = CTriggerText;
    const std::string counter = T::Variable("Counter", "Number");
    return x.Structure(
               "For", {counter, T::Number(1), T::Number(10)},
               {T::Loop({x.Instruction("SetVariable", "standard",
                                       {T::Variable("Total", "AnyVariable"),
                                        x.Call("Arithmetic", "standard", "Number",
                                               {T::Variable("Total", "Number"), T::Choice("Plus"), counter}, true)}),
                         x.Structure("IfElse",
                                     {x.Call("CompareNumbers", "standard", "Boolean",
                                             {x.Call("Arithmetic", "standard", "Number",
                                                     {counter, T::Choice("Modulo"), T::Number(2)}),
                                              T::Choice("Equal"), T::Number(0)})},
                                     {T::Block("Action", "Then", "standard",
                                               {x.Instruction(
                                                   "Print", "core",
                                                   {x.Call("Concatenate", "standard", "Text",
                                                           {T::Variable("Label", "Text"),
                                                            x.Call("NumberToText", "standard", "Text", {counter})})})}),
                                      T::Block("Action", "Else", "standard",
                                               {x.Instruction("FireEvent", "core",
                                                              {T::Text("odd"), x.Call("NumberToText", "standard",
                                                                                      "Text", {counter})})})})})}) +
           x.Structure("While",
                       {x.Call("AndOr", "standard", "Boolean",
                               {T::Variable("Flag", "Boolean"), T::Choice("And"),
                                x.Call("CompareNumbers", "standard", "Boolean",
                                       {counter, T::Choice("Greater"), T::Number(0)})})},
                       {T::Loop({x.Instruction("SetVariable", "standard",
                                               {T::Variable("Counter", "AnyVariable"),
                                                x.Call("Arithmetic", "standard", "Number",
                                                       {counter, T::Choice("Minus"), T::Number(1)}, true)}),
                                 x.Structure("If",
                                             {x.Call("CompareNumbers", "standard", "Boolean",
                                                     {counter, T::Choice("Less"), T::Number(5)})},
                                             {T::Block("Action", "ThenEnd", "standard",
                                                       {x.Instruction("SetVariable", "standard",
                                                                      {T::Variable("Flag", "AnyVariable"),
                                                                       T::Constant("No", "standard", "Boolean", true)}),
                                                        x.Instruction("Break", "standard", {})})})})});
}

// Texts, constants, timers and the other triggers.
std::string OtherActions(CTriggerText& x, int t, int triggers)
{
    using T = CTriggerText;
    const std::string label = T::Variable("Label", "Text");
    return x.Structure("IfElse",
                       {x.Call("VariableEquals", "standard", "Boolean",
                               {T::Variable("Message", "AnyVariable"), T::Text("ready", true)})},
                       {T::Block("Action", "Then", "standard",
                                 {x.Instruction("Print", "core", {T::Variable("Message", "Text")}),
                                  x.Instruction("SetVariable", "standard",
                                                {T::Variable("Ready", "AnyVariable"),
                                                 x.Call("Not", "standard", "Boolean", {T::Variable("Ready", "Boolean")},
                                                        true)})}),
                        T::Block("Action", "Else", "standard",
                                 {x.Instruction("FireEventAfter", "core",
                                                {T::Number(0.5), T::Text("later"), T::Text("x ]]> y")})})}) +
           x.Structure("Repeat", {T::Number(3)},
                       {T::Loop({x.Instruction("Print", "core",
                                               {x.Call("FormatNumber", "standard", "Text",
                                                       {x.Call("Arithmetic", "standard", "Number",
                                                               {T::Constant("Pi", "standard", "Number"),
                                                                T::Choice("Times"), T::Variable("Counter", "Number")}),
                                                        T::Choice("Decimals2")})}),
                                 x.Instruction("Print", "core",
                                               {x.Call("Concatenate", "standard", "Text",
                                                       {T::Constant("Tab", "core", "Text"),
                                                        x.Call("ChangeCase", "standard", "Text",
                                                               {T::Choice("Upper"),
                                                                x.Call("Substring", "standard", "Text",
                                                                       {label, T::Number(1), T::Number(4)})})})})})}) +
           x.Structure(
               "After", {T::Number(1.5)},
               {T::Block("Action", "Later", "standard",
                         {x.Instruction("EnableTrigger", "core",
                                        {T::TriggerVariable(TriggerName((t + 1) % triggers), "Trigger")}),
                          x.Instruction("RunTrigger", "core",
                                        {T::TriggerVariable(TriggerName((t * 7 + 3) % triggers), "TriggerFunction")}),
                          x.Instruction("DisableThisTrigger", "core", {})})}) +
           x.Instruction("SetRandomSeed", "standard", {T::Number(t)}) +
           x.Instruction(
               "Print", "core",
               {x.Call("NumberToText", "standard", "Text",
                       {x.Call("MathFunction", "standard", "Number",
                               {T::Choice("Sqrt"),
                                x.Call("MinMax", "standard", "Number",
                                       {T::Choice("Larger"),
                                        x.Call("Random", "standard", "Number", {T::Number(1), T::Number(100)}),
                                        x.Call("TextLength", "standard", "Number", {label})})})})}) +
           x.Instruction("CustomCode", "core", {T::Text("-- step of " + TriggerName(t), false, "ScriptText")}) +
           x.Instruction("Print", "core", {T::Text("W\xC3\xB6rld <b>")}, false) +
           x.Instruction("Print", "core", {T::Empty("Text")}, false);
}

std::string Blocks(CTriggerText& x, int t, int triggers)
{
    using T = CTriggerText;
    std::string event;
    switch (t % 3) {
    case 0: event = x.Instruction("TimerExpires", "core", {T::Number(1 + t % 5), T::Choice("Periodic")}); break;
    case 1: event = x.Instruction("EventFired", "core", {T::Text("event_" + std::to_string(t))}); break;
    default: event = x.Instruction("ScriptStarts", "core", {}); break;
    }
    const std::string conditions =
        x.Instruction("CompareNumbers", "standard",
                      {T::Variable("Total", "Number"), T::Choice("Less"), T::Number(1000)}) +
        x.Instruction("AndOr", "standard",
                      {x.Call("TriggerIsEnabled", "core", "Boolean", {T::TriggerVariable(TriggerName(t), "Trigger")}),
                       T::Choice("And"), T::Variable("Ready", "Boolean")});
    const std::string start =
        x.Instruction("SetVariable", "standard", {T::Variable("Counter", "AnyVariable"), T::Number(0, true)}) +
        x.Instruction("SetVariable", "standard",
                      {T::Variable("Label", "AnyVariable"),
                       x.Call("Concatenate", "standard", "Text",
                              {T::Text(TriggerName(t) + " & <friends>"),
                               x.Call("NumberToText", "standard", "Text", {T::Variable("Counter", "Number")})},
                              true)}) +
        x.Instruction("SetVariable", "standard", {T::Variable("Flag", "AnyVariable"), T::Boolean(true, true)});
    return "<Blocks>" + T::Block("Event", "Events", "core", {event}) +
           T::Block("Boolean", "Conditions", "core", {conditions}) +
           T::Block("Action", "Actions", "core", {start + LoopActions(x) + OtherActions(x, t, triggers)}) + "</Blocks>";
}

std::string Trigger(CTriggerText& x, int t, int triggers)
{
    using T = CTriggerText;
    const bool code = t % 50 == 49;
    std::string out = std::string("<Trigger enabled=\"") + (t % 10 == 9 ? "0" : "1") + "\" enabledatbeginning=\"" +
                      (t % 7 == 3 ? "0" : "1") + "\" bcode=\"" + (code ? "1" : "0") + "\"><Name>" +
                      T::CData(TriggerName(t)) + "</Name>";
    if (code) {
        out += "<Code>" + T::CData("-- custom code of " + TriggerName(t) + "\nbram.Print(\"<&>\")") + "</Code>";
    }
    if (t % 4 == 0) {
        out += "<Comment>" + T::CData("Counts, sums & prints.\nSecond line of " + TriggerName(t)) + "</Comment>";
    }
    if (code) {
        return out + "<Variables/><Blocks/></Trigger>";
    }
    return out + T::VariableList({{"Counter", "Number"}, {"Label", "Text"}, {"Flag", "Boolean"}}) +
           Blocks(x, t, triggers) + "</Trigger>";
}

constexpr int kTriggersPerCategory = 100;

std::string Categorization(int triggers)
{
    std::string out = "<Categorization>";
    for (int first = 0; first < triggers; first += kTriggersPerCategory) {
        out += "<Category><Name>" + CTriggerText::CData("Group " + std::to_string(first / kTriggersPerCategory)) +
               "</Name><Triggers>";
        for (int t = first; t < triggers && t < first + kTriggersPerCategory; ++t) {
            out += "<Trigger>" + CTriggerText::CData(TriggerName(t)) + "</Trigger>";
        }
        out += "</Triggers></Category>";
    }
    return out + "</Categorization>";
}

} // namespace

SSampleFileSize WriteSampleDataFile(int triggers, const std::function<void(std::string_view)>& sink)
{
    SSampleFileSize size;
    // The globals' types are all in "core"; the triggers use "standard" too.
    std::string piece = std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?><Data version=\"1.1\"><NeededModules>"
                                    "<NeededModule>core</NeededModule>") +
                        (triggers > 0 ? "<NeededModule>standard</NeededModule>" : "") + "</NeededModules>" +
                        CTriggerText::VariableList({{"Total", "Number"}, {"Message", "Text"}, {"Ready", "Boolean"}});
    piece += triggers > 0 ? "<TriggerData>" : "<TriggerData/>";
    auto flush = [&](std::size_t above) {
        if (piece.size() > above) {
            size.bytes += piece.size();
            sink(piece);
            piece.clear();
        }
    };
    CTriggerText text;
    for (int t = 0; t < triggers; ++t) {
        piece += Trigger(text, t, triggers);
        flush(1 << 20);
    }
    piece += triggers > 0 ? "</TriggerData>" + Categorization(triggers) : "<Categorization/>";
    piece += "<Preamble>" + CTriggerText::CData("A generated document of " + std::to_string(triggers) + " triggers.") +
             "</Preamble><Header>" + CTriggerText::CData("bram.maxSteps = 100") + "</Header></Data>";
    flush(0);
    size.instructions = text.instructions;
    return size;
}

std::string SampleDataFile(int triggers)
{
    std::string file;
    WriteSampleDataFile(triggers, [&](std::string_view piece) { file.append(piece); });
    return file;
}

} // namespace bram::test

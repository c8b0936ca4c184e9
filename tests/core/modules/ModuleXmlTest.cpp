// The module XML readers: every message a module author can meet, one table
// per section, and the values the accepted declarations give.

#include "ModuleFixtures.h"
#include "TestSupport.h"
#include "base/Exceptions.h"
#include "code/Constant.h"
#include "log/Diagnostics.h"
#include "modules/Module.h"
#include "records/BlockInfo.h"
#include "records/InstructionInfo.h"
#include "records/TypeInfo.h"

#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <optional>

namespace bram {
namespace {

using test::ModuleSource;
using Overrides = std::map<std::string, std::optional<std::string>>;
using Fields = std::vector<std::pair<std::string, std::string>>;

// A declaration element from default children; an override replaces a
// child's inner XML, nullopt drops it, an unknown name is appended.
std::string Decl(const char* tag, const Fields& defaults, const Overrides& overrides)
{
    std::string xml = std::string("<") + tag + ">";
    for (const auto& [name, inner] : defaults) {
        const auto it = overrides.find(name);
        if (it == overrides.end()) {
            xml += "<" + name + ">" + inner + "</" + name + ">";
        } else if (it->second) {
            xml += "<" + name + ">" + *it->second + "</" + name + ">";
        }
    }
    for (const auto& [name, inner] : overrides) {
        const bool known = std::any_of(defaults.begin(), defaults.end(), [&](const auto& f) { return f.first == name; });
        if (!known && inner) {
            xml += "<" + name + ">" + *inner + "</" + name + ">";
        }
    }
    return xml + "</" + tag + ">";
}

std::string Block(const Overrides& o = {})
{
    return Decl("Block",
                {{"Name", "B"}, {"StartInstruction", "do"}, {"EndInstruction", "end"}, {"Separator", "<![CDATA[\n]]>"},
                 {"StandardValue", "nil"}, {"Type", "Num"}},
                o);
}

std::string Constant(const Overrides& o = {})
{
    return Decl("Constant", {{"Name", "Pi"}, {"Value", "3.14"}, {"Type", "Num"}}, o);
}

std::string Parameter(const Overrides& o = {})
{
    return Decl("Parameter", {{"Name", "P"}, {"Type", "Num"}, {"OnlyVariables", "false"}}, o);
}

std::string Call(const Overrides& o = {})
{
    return Decl("Call",
                {{"Name", "Print"}, {"Description", "Call/Print"}, {"ShortDescription", "Call/PrintShort"},
                 {"Categories", "Output"}, {"RawInstruction", "print(![Parameter1])"}, {"Type", "Func"},
                 {"Parameters", Parameter()}},
                o);
}

std::string Structure(const Overrides& o = {})
{
    return Decl("Structure",
                {{"Name", "If"}, {"Description", "If"}, {"ShortDescription", "If"}, {"Categories", "Flow"},
                 {"RawInstruction", "if ![Parameter1] then"}, {"Type", "Func"},
                 {"Parameters", Parameter({{"Type", "Bool"}})}, {"Blocks", "<Block>B</Block>"}},
                o);
}

// The message of the CModuleException that reading the module raises, or
// "" when it loads.
std::string LoadError(const ModuleSource& source)
{
    ReleaseAllModules();
    try {
        CreateModuleFromXml("M", test::ModuleXml(source));
    } catch (const CModuleException& e) {
        return e.GetErrorMessage();
    }
    return {};
}

struct Case {
    std::string xml;
    std::string message;
};

class ModuleXmlTest : public ::testing::Test {
protected:
    void TearDown() override { test::ResetProcessState(); }
};

TEST_F(ModuleXmlTest, TypeMessages)
{
    const std::string rep = "'Types'->'Type'->'Replacements'->'Replacement'";
    const auto type = [](const std::string& inner) { return "<Type>" + inner + "</Type>"; };
    const std::string str = "<Name>S</Name><RealType>String</RealType><CreationInstruction/>";
    const Case cases[] = {
        {type("<RealType>Number</RealType><CreationInstruction/>"), "Element 'Types'->'Type'->'Name' expected."},
        {type("<Name/><RealType>Number</RealType><CreationInstruction/>"),
         "Text or CDATA expected in 'Types'->'Type'->'Name'"},
        {type("<Name><![CDATA[]]></Name><RealType>Number</RealType><CreationInstruction/>"), ""},
        {type("<Name>N</Name><CreationInstruction/>"), "Element 'Types'->'Type'->'RealType' expected."},
        {type("<Name>N</Name><RealType/><CreationInstruction/>"), "Text or CDATA expected in 'Types'->'Type'->'RealType'"},
        {type("<Name>N</Name><RealType>string</RealType><CreationInstruction/>"), "Unknown real type name."},
        {type("<Name>N</Name><RealType>Number</RealType>"), "Element 'Types'->'Type'->'CreationInstruction' expected."},
        {type("<Name>N</Name><RealType>Trigger</RealType><CreationInstruction/>"), ""},
        {type("<Name>N</Name><RealType>Trigger</RealType><CreationInstruction>x</CreationInstruction>"),
         "Unsupported real type in 'Types'->'Type'->'CreationInstruction'"},
        {type("<Name>N</Name><RealType>Function</RealType><CreationInstruction>x</CreationInstruction>"),
         "Unsupported real type in 'Types'->'Type'->'CreationInstruction'"},
        {type("<Name>N</Name><RealType>Variable</RealType><CreationInstruction>x</CreationInstruction>"),
         "Unsupported real type in 'Types'->'Type'->'CreationInstruction'"},
        {type("<Name>N</Name><RealType>Boolean</RealType><CreationInstruction>x</CreationInstruction>"), ""},
        {type("<Name>N</Name><RealType>Number</RealType><CreationInstruction/><Replacements/>"),
         "Element 'Types'->'Type'->'Replacements' defined, but type is not string"},
        {type(str + "<Replacements/>"), ""},
        {type(str + "<Replacements><StartString/></Replacements>"),
         "Text or CDATA expected in 'Types'->'Type'->'Replacements'->'StartString'"},
        {type(str + "<Replacements><EndString/></Replacements>"),
         "Text or CDATA expected in 'Types'->'Type'->'Replacements'->'EndString'"},
        {type(str + "<Replacements><Replacement><By>b</By></Replacement></Replacements>"), rep + "->'What' expected."},
        {type(str + "<Replacements><Replacement><What/><By>b</By></Replacement></Replacements>"),
         "Text or CDATA in " + rep + "->'What' expected."},
        {type(str + "<Replacements><Replacement><What><![CDATA[]]></What><By>b</By></Replacement></Replacements>"),
         "Text of " + rep + "->'What' can't be empty."},
        {type(str + "<Replacements><Replacement><What>a</What></Replacement></Replacements>"), rep + "->'By' expected."},
        {type(str + "<Replacements><Replacement><What>a</What><By/></Replacement></Replacements>"),
         "Text or CDATA in " + rep + "->'By' expected."},
        {type(str + "<Replacements><Replacement><What>a</What><By><![CDATA[]]></By></Replacement></Replacements>"), ""},
    };
    for (const Case& c : cases) {
        ModuleSource source;
        source.types = c.xml;
        EXPECT_EQ(LoadError(source), c.message) << c.xml;
    }
}

TEST_F(ModuleXmlTest, BlockMessages)
{
    const std::string k = "'Blocks'->'Block'";
    const Case cases[] = {
        {Block(), ""},
        {Block({{"Name", std::nullopt}}), "Element " + k + "->'Name' expected."},
        {Block({{"Name", ""}}), "Text in " + k + "->'Name' expected."},
        {Block({{"Name", "<![CDATA[]]>"}}), "Text in " + k + "->'Name' expected."},
        {Block({{"StartInstruction", std::nullopt}}), "Element " + k + "->'StartInstruction' expected."},
        {Block({{"StartInstruction", ""}}), "Text in " + k + "->'StartInstruction' expected."},
        {Block({{"StartInstruction", "<![CDATA[]]>"}}), ""},
        {Block({{"EndInstruction", std::nullopt}}), "Element " + k + "->'EndInstruction' expected."},
        {Block({{"EndInstruction", ""}}), "Text in " + k + "->'EndInstruction' expected."},
        {Block({{"Separator", std::nullopt}}), "Element " + k + "->'Separator' expected."},
        {Block({{"Separator", ""}}), "Text in " + k + "->'Separator' expected."},
        {Block({{"StandardValue", std::nullopt}}), "Element " + k + "->'StandardValue' expected."},
        {Block({{"StandardValue", ""}}), "Text in " + k + "->'StandardValue' expected."},
        {Block({{"Type", std::nullopt}}), "Element " + k + "->'Type' expected."},
        {Block({{"Type", ""}}), "Text in " + k + "->'Type'(->'Name') expected."},
        {Block({{"Type", "<![CDATA[]]>"}}), "Text in " + k + "->'Type'(->'Name') expected."},
        {Block({{"Type", "<Name/>"}}), "Text in " + k + "->'Type'(->'Name') expected."},
        {Block({{"Type", "<Name>Num</Name>"}}), ""},
        {Block({{"Type", "<Name>Num</Name><Module/>"}}), "Text in " + k + "->'Type'->'Module' expected."},
        {Block({{"Type", "<Name>Num</Name><Module>Other</Module>"}}), "Invalid module."},
        {Block({{"Type", "<Name>Num</Name><Module>M</Module>"}}), "Invalid module."},
        {Block({{"Type", "num"}}), "Valid type name in " + k + "->'Type' expected."},
        {Block({{"Type", "<Name>Later</Name>"}}), "Valid type name in " + k + "->'Type' expected."},
    };
    for (const Case& c : cases) {
        ModuleSource source;
        source.types = test::StandardTypes();
        source.blocks = c.xml;
        EXPECT_EQ(LoadError(source), c.message) << c.xml;
    }
}

TEST_F(ModuleXmlTest, ConstantMessages)
{
    const std::string k = "'Constants'->'Constant'";
    const Case cases[] = {
        {Constant(), ""},
        {Constant({{"Name", std::nullopt}}), "Element " + k + "->'Name' with text or CDATA expected."},
        {Constant({{"Name", ""}}), "Element " + k + "->'Name' with text or CDATA expected."},
        {Constant({{"Name", "<![CDATA[]]>"}}), "Element " + k + "->'Name' with text or CDATA expected."},
        {Constant({{"Value", std::nullopt}}), "Element " + k + "->'Value' with text or CDATA expected."},
        {Constant({{"Value", ""}}), "Element " + k + "->'Value' with text or CDATA expected."},
        {Constant({{"Value", "<![CDATA[]]>"}}), ""},
        {Constant({{"Type", std::nullopt}}), "Element " + k + "->'Type' expected."},
        {Constant({{"Type", ""}}), "Text in " + k + "->'Type'(->'Name') expected."},
        {Constant({{"Type", "<Name>Num</Name><Module/>"}}), "Text in " + k + "->'Type'->'Module' expected."},
        {Constant({{"Type", "<Name>Num</Name><Module>X</Module>"}}), "Invalid module."},
        {Constant({{"Type", "Nope"}}), "Valid type name in " + k + "->'Type' expected."},
        {Constant({{"Type", "Var"}}), "Type of 'Constants'->'Constant' can't be a variable type."},
    };
    for (const Case& c : cases) {
        ModuleSource source;
        source.types = test::StandardTypes() + "<Type><Name>Var</Name><RealType>Variable</RealType><CreationInstruction/></Type>";
        source.constants = c.xml;
        EXPECT_EQ(LoadError(source), c.message) << c.xml;
    }
}

// Structures and calls share their rules; only the kind words differ.
TEST_F(ModuleXmlTest, StructureAndCallMessages)
{
    struct Kind {
        std::string path;
        std::string (*make)(const Overrides&);
    };
    const Kind kinds[] = {{"'Structures'->'Structure'", Structure}, {"'Calls'->'Call'", Call}};
    for (const Kind& kind : kinds) {
        const std::string& k = kind.path;
        const Case cases[] = {
            {kind.make({}), ""},
            {kind.make({{"Name", std::nullopt}}), "Element " + k + "->'Name' expected."},
            {kind.make({{"Name", "<![CDATA[]]>"}}), "Text in " + k + "->'Name' expected."},
            {kind.make({{"Description", std::nullopt}}), "Element " + k + "->'Description' expected."},
            {kind.make({{"Description", ""}}), "Text in " + k + "->'Description' expected."},
            {kind.make({{"Description", "<![CDATA[]]>"}}), "Text in " + k + "->'Description' expected."},
            {kind.make({{"Categories", std::nullopt}}), "Element " + k + "->'Categories' expected."},
            {kind.make({{"Categories", "<![CDATA[]]>"}}), "Text in " + k + "->'Categories' expected."},
            {kind.make({{"RawInstruction", std::nullopt}}), "Element " + k + "->'RawInstruction' expected."},
            {kind.make({{"RawInstruction", ""}}), "Text in " + k + "->'RawInstruction' expected."},
            {kind.make({{"RawInstruction", "<![CDATA[]]>"}}), "Text in " + k + "->'RawInstruction' expected."},
            {kind.make({{"Type", std::nullopt}}), "Element " + k + "->'Type' expected."},
            {kind.make({{"Type", "<Module>M</Module>"}}), "Text in " + k + "->'Type'(->'Name') expected."},
            {kind.make({{"Type", "<Name>Func</Name><Module/>"}}), "Text in " + k + "->'Type'->'Module' expected."},
            {kind.make({{"Type", "<Name>Func</Name><Module>Base</Module>"}}), "Invalid module."},
            {kind.make({{"Type", "Void"}}), "Valid type name in " + k + "->'Type' expected."},
            {kind.make({{"Parameters", std::nullopt}}), "Element " + k + "->'Parameters' expected."},
        };
        for (const Case& c : cases) {
            ModuleSource source;
            source.types = test::StandardTypes();
            source.blocks = Block();
            (k.find("Structure") != std::string::npos ? source.structures : source.calls) = c.xml;
            EXPECT_EQ(LoadError(source), c.message) << c.xml;
        }
    }

    const std::string s = "'Structures'->'Structure'";
    const std::string b = s + "->'Blocks'->'Block'";
    const Case structureCases[] = {
        {Structure({{"Blocks", std::nullopt}}), "Element " + s + "->'Blocks' expected."},
        {Structure({{"Blocks", "<Block/>"}}), "Text in " + b + "(->'Name') expected."},
        {Structure({{"Blocks", "<Block><Name>B</Name><Module/></Block>"}}), "Text in " + b + "->'Module' expected."},
        {Structure({{"Blocks", "<Block><Name>B</Name><Module>M</Module></Block>"}}), "Invalid module."},
        {Structure({{"Blocks", "<Block>C</Block>"}}), "Valid block name in " + b + " expected."},
        {Structure({{"Blocks", "<Block><Name>B</Name></Block><Block>B</Block>"}}), ""},
        {Structure({{"Parameters", ""}, {"RawInstruction", "<![CDATA[]]>"}}),
         "Text in " + s + "->'RawInstruction' expected."},
        {Structure({{"Parameters", ""}, {"Blocks", ""}, {"RawInstruction", "<![CDATA[]]>"}}), ""},
        {Call({{"RawInstruction", "<![CDATA[]]>"}}), "Text in 'Calls'->'Call'->'RawInstruction' expected."},
        {Call({{"Parameters", ""}, {"RawInstruction", "<![CDATA[]]>"}}), ""},
    };
    for (const Case& c : structureCases) {
        ModuleSource source;
        source.types = test::StandardTypes();
        source.blocks = Block();
        (c.xml.starts_with("<Structure>") ? source.structures : source.calls) = c.xml;
        EXPECT_EQ(LoadError(source), c.message) << c.xml;
    }
}

TEST_F(ModuleXmlTest, ParameterMessages)
{
    const std::string k = "'Parameters'->'Parameter'";
    const std::string v = k + "->'Values'->'Value'";
    const auto values = [](const std::string& inner) {
        return Parameter({{"Type", std::nullopt}, {"OnlyVariables", std::nullopt}, {"Values", inner}});
    };
    const auto reference = [](const std::string& text) {
        return Parameter({{"Type", std::nullopt}, {"OnlyVariables", std::nullopt}, {"ReferenceTo", text}});
    };
    const Case cases[] = {
        {Parameter({{"Name", std::nullopt}}), "Element " + k + "->'Name' expected."},
        {Parameter({{"Name", "<![CDATA[]]>"}}), "Text in " + k + "->'Name' expected."},
        {Parameter({{"OnlyVariables", std::nullopt}}), "Element " + k + "->'OnlyVariables' expected."},
        {Parameter({{"OnlyVariables", ""}}), "Text in " + k + "->'OnlyVariables' expected."},
        {Parameter({{"OnlyVariables", "True"}}), "Text in " + k + "->'OnlyVariables' expected."},
        {Parameter({{"OnlyVariables", "true"}}), ""},
        {Parameter({{"MinValue", ""}}), "Text in " + k + "->'MinValue' expected."},
        {Parameter({{"Type", "Str"}, {"MinValue", ""}}), ""},
        {Parameter({{"Type", ""}}), "Text in " + k + "->'Type'(->'Name') expected."},
        {Parameter({{"Type", "<Name>Num</Name><Module/>"}}), "Text in " + k + "->'Type'->'Module' expected."},
        {Parameter({{"Type", "<Name>Num</Name><Module>X</Module>"}}), "Invalid module."},
        {Parameter({{"Type", "Number"}}), "Valid type name in " + k + "->'Type' expected."},
        {values("<Value><Value>1</Value></Value>"), "Element " + v + "->'Name' expected."},
        {values("<Value><Name/><Value>1</Value></Value>"), "Text in " + v + "->'Name' expected."},
        {values("<Value><Name>One</Name></Value>"), "Element " + v + "->'Value' expected."},
        {values("<Value><Name>One</Name><Value/></Value>"), "Text in " + v + "->'Value' expected."},
        {values("<Value><Name>One</Name><Value><![CDATA[]]></Value></Value>"), ""},
        {values(""), "Element 'Parameters'->'Parameter'->'Values'->'Value' expected."},
        {Parameter({{"Type", std::nullopt}, {"OnlyVariables", std::nullopt}}), "Element " + k + "->'ReferenceTo' expected."},
        {reference(""), "Text in " + k + "->'ReferenceTo' expected."},
        {reference("0"), "Invalid reference number."},
    };
    for (const Case& c : cases) {
        ModuleSource source;
        source.types = test::StandardTypes();
        source.calls = Call({{"Parameters", c.xml}});
        EXPECT_EQ(LoadError(source), c.message) << c.xml;
    }
    // A reference must point before itself.
    const Case second[] = {{"0", ""}, {"abc", ""}, {"1", "Invalid reference number."}, {"-1", "Invalid reference number."}};
    for (const Case& c : second) {
        ModuleSource source;
        source.types = test::StandardTypes();
        source.calls = Call({{"Parameters", Parameter() + reference(c.xml)}});
        EXPECT_EQ(LoadError(source), c.message) << c.xml;
    }
}

TEST_F(ModuleXmlTest, OutlineMessages)
{
    const std::string valid = test::ModuleXml({});
    const auto without = [&](const std::string& from, const std::string& to) {
        std::string xml = valid;
        const auto a = xml.find(from);
        const auto b = xml.find(to, a);
        return xml.erase(a, b + to.size() - a);
    };
    ModuleSource source;
    source.scripts = "<Script/>";
    const std::string scripts = test::ModuleXml(source);
    source.scripts.clear();
    source.needs = {""};
    const std::string needs = test::ModuleXml(source);
    const Case cases[] = {
        {valid, ""},
        {without("<NeededModules>", "</NeededModules>"), "Element 'Module'->'NeededModules' expected."},
        {without("<Data>", "</Data>"), "Element 'Module'->'Data' expected."},
        {without("<Types>", "</Types>"), "Element 'Module'->'Data'->'Types' expected."},
        {without("<Blocks>", "</Blocks>"), "Element 'Module'->'Data'->'Blocks' expected."},
        {without("<Constants>", "</Constants>"), "Element 'Module'->'Data'->'Constants' expected."},
        {without("<Structures>", "</Structures>"), "Element 'Structures' expected."},
        {without("<Calls>", "</Calls>"), "Element 'Module'->'Data'->'Calls' expected."},
        {without("<Scripts>", "</Scripts>"), "Element 'Module'->'Scripts' expected."},
        {scripts, "Text in 'Module'->'Scripts'->'Script' expected."},
        {needs, "Text in or Element 'Module'->'NeededModules'->'NeedsModule' expected."},
        {"<Module><NeededModules></Module>", "Could not load main module data."},
        {"", "Could not load main module data."},
        {"<Other><NeededModules/><Data/></Other>", "Element 'Module'->'NeededModules' expected."},
    };
    for (const Case& c : cases) {
        ReleaseAllModules();
        std::string message;
        try {
            CreateModuleFromXml("M", c.xml);
        } catch (const CModuleException& e) {
            message = e.GetErrorMessage();
        }
        EXPECT_EQ(message, c.message) << c.xml;
    }
}

TEST_F(ModuleXmlTest, AcceptedDeclarationsKeepTheirValues)
{
    std::vector<std::string> log;
    CDiagnostics::Instance().SetObserver([&](std::string_view text) { log.emplace_back(text); });
    ModuleSource source;
    source.priority = "12abc";
    source.types = test::StandardTypes() +
                   "<Type><Name>Text</Name><Namespace/><RealType>String</RealType><CreationInstruction>local "
                   "![Parameter1]</CreationInstruction><Replacements><Replacement><What>\\</What><By>\\\\</By>"
                   "</Replacement><EndString>'</EndString><Replacement><What>x</What><By><![CDATA[]]></By>"
                   "</Replacement><StartString>'</StartString></Replacements></Type>";
    source.blocks = Block({{"Namespace", "<![CDATA[]]>"}});
    source.constants = Constant({{"Value", "<![CDATA[]]>"}});
    source.structures = Structure({{"ShortDescription", std::nullopt}});
    const std::string enumerated =
        Parameter({{"Name", "E"}, {"Type", std::nullopt}, {"OnlyVariables", std::nullopt},
                   {"Values", "<Value><Name>Yes</Name><Value>1</Value></Value><Value><Name>No</Name><Value>0</Value></Value>"}});
    source.calls = Call({{"ShortDescription", "<![CDATA[]]>"},
                         {"Parameters", Parameter() + Parameter({{"Name", "Min"}, {"MinValue", "-2.5e1x"}}) +
                                            Parameter({{"Name", "Both"}, {"Values", "<Value/>"}}) + enumerated +
                                            Parameter({{"Name", "Ref"}, {"Type", std::nullopt},
                                                       {"OnlyVariables", std::nullopt}, {"ReferenceTo", "3"}})}});
    source.scripts = "<Script>runtime.lua</Script><Script><![CDATA[]]></Script>";
    const CModule* m = CreateModuleFromXml("M", test::ModuleXml(source));
    CDiagnostics::Instance().SetObserver(nullptr);

    EXPECT_EQ(m->GetPriority(), 12);
    ASSERT_EQ(m->GetTypes().size(), 6u);
    const CTypeInfo* text = m->GetTypes()[5];
    EXPECT_EQ(text->GetNamespace(), "Type") << "a Namespace without text takes the kind word";
    EXPECT_EQ(text->GetType(), text);
    EXPECT_EQ(text->GetRawInstruction(), "local ![Parameter1]");
    EXPECT_EQ(text->GetDescription(), "Text");
    const std::vector<CReplacement> replacements{{"\x01", "'"}, {"\x02", "'"}, {"\\", "\\\\"}, {"x", ""}};
    EXPECT_EQ(text->GetReplacements(), replacements) << "start, end, then declared in document order";

    ASSERT_EQ(m->GetBlocks().size(), 1u);
    const CBlockInfo* block = m->GetBlocks()[0];
    EXPECT_EQ(block->GetNamespace(), "") << "an empty CDATA namespace stays empty";
    EXPECT_EQ(block->GetSeparator(), "\n");
    EXPECT_EQ(block->GetType(), m->GetTypes()[1]);

    ASSERT_EQ(m->GetConstants().size(), 1u);
    EXPECT_EQ(m->GetConstants()[0]->GetValue(), "");
    EXPECT_EQ(m->GetConstants()[0]->GetNamespace(), "Constant");

    ASSERT_EQ(m->GetStructures().size(), 1u);
    const CStructureInfo* structure = m->GetStructures()[0];
    EXPECT_EQ(structure->GetShortDescription(), "If");
    EXPECT_EQ(structure->GetBlockCount(), 1u);
    EXPECT_EQ(structure->GetBlock(0), block);
    EXPECT_EQ(structure->GetParameter(0)->GetType(), m->GetTypes()[0]);
    EXPECT_EQ(std::count(log.begin(), log.end(),
                         "NOTICE: No short description of structure If found; used normal description instead "
                         "(deprecated behaviour).\n"),
              1);

    ASSERT_EQ(m->GetCalls().size(), 1u);
    const CCallInfo* call = m->GetCalls()[0];
    EXPECT_EQ(call->GetNamespace(), "Call");
    EXPECT_EQ(call->GetShortDescription(), "Call/Print") << "an empty short description takes the description";
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.starts_with("NOTICE"); }), 1)
        << "an empty short description logs no notice";
    ASSERT_EQ(call->GetParameterCount(), 5u);
    EXPECT_TRUE(std::isnan(call->GetParameter(0)->GetMinValue()));
    EXPECT_FALSE(call->GetParameter(0)->HasMinValue());
    EXPECT_EQ(call->GetParameter(1)->GetMinValue(), -25.0);
    EXPECT_EQ(call->GetParameter(2)->GetType(), m->GetTypes()[1]) << "Type wins over Values";
    const CParameterInfo* e = call->GetParameter(3);
    EXPECT_TRUE(e->IsEnumerated());
    EXPECT_EQ(e->GetParameterCount(), 2u);
    EXPECT_EQ(e->GetValues(), (std::vector<CEnumValue>{{"Yes", "1"}, {"No", "0"}}));
    EXPECT_EQ(e->GetNamespace(), "Parameter");
    EXPECT_TRUE(call->GetParameter(4)->IsReference());
    EXPECT_EQ(call->GetParameter(4)->GetReferenceTo(), 3u);

    ASSERT_EQ(m->GetScriptCount(), 2u);
    EXPECT_EQ(m->GetScriptName(0), "runtime.lua");
    EXPECT_EQ(m->GetScriptName(1), "");

    EXPECT_EQ(GetAllTypes().size(), 6u);
    EXPECT_EQ(GetAllBlocks().size(), 1u);
    EXPECT_EQ(GetAllConstants().size(), 1u);
    EXPECT_EQ((std::vector<const CCodeInfoBase*>(GetAllInstructions())),
              (std::vector<const CCodeInfoBase*>{structure, call}));
}

TEST_F(ModuleXmlTest, MalformedXmlLogsTheParserReason)
{
    std::string log;
    CDiagnostics::Instance().SetObserver([&](std::string_view text) { log += text; });
    EXPECT_THROW(CreateModuleFromXml("M", "<Module>\n<NeededModules></Module>"), CModuleException);
    CDiagnostics::Instance().SetObserver(nullptr);
    EXPECT_EQ(log, "Reading data of module M.\nXML error in line 2: Start-end tags mismatch\n");
}

TEST_F(ModuleXmlTest, AFailureKeepsTheDeclarationsReadBefore)
{
    ModuleSource source;
    source.types = test::StandardTypes();
    source.blocks = Block() + Block({{"Name", "C"}, {"Type", "Missing"}}) + Block({{"Name", "D"}});
    EXPECT_EQ(LoadError(source), "Valid type name in 'Blocks'->'Block'->'Type' expected.");
    ASSERT_EQ(GetModuleCount(), 1u);
    EXPECT_EQ(GetModule(0)->GetTypes().size(), 5u);
    EXPECT_EQ(GetModule(0)->GetBlocks().size(), 1u);
    EXPECT_EQ(GetAllBlocks().size(), 1u);
}

} // namespace
} // namespace bram

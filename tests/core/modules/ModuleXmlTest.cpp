// The module XML readers: every message a module author can meet, one data
// file of cases per section (tests/data/modules), and the values the accepted
// declarations give.

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
#include <limits>
#include <tuple>
#include <utility>

namespace bram {
namespace {

using test::ModuleSource;

// The message of the CModuleException that reading the module raises, or
// "" when it loads.
std::string LoadError(const std::string& xml)
{
    ReleaseAllModules();
    return test::ModuleErrorOf([&] { CreateModuleFromXml("M", xml); });
}

class ModuleXmlTest : public ::testing::Test {
protected:
    void TearDown() override { test::ResetProcessState(); }
};

// Each case of a section file goes into a module with the standard types (a
// types case replaces them).
TEST_F(ModuleXmlTest, SectionMessages)
{
    const std::string block = "<Block><Name>B</Name><StartInstruction>do</StartInstruction><EndInstruction>end"
                              "</EndInstruction><Separator>,</Separator><StandardValue>nil</StandardValue>"
                              "<Type>Num</Type></Block>";
    const std::pair<const char*, std::function<void(ModuleSource&, const std::string&)>> sections[] = {
        {"types", [](ModuleSource& s, const std::string& xml) { s.types = xml; }},
        {"blocks", [](ModuleSource& s, const std::string& xml) { s.blocks = xml; }},
        {"constants",
         [](ModuleSource& s, const std::string& xml) {
             s.types += "<Type><Name>Var</Name><RealType>Variable</RealType><CreationInstruction/></Type>";
             s.constants = xml;
         }},
        {"instructions",
         [&](ModuleSource& s, const std::string& xml) {
             s.blocks = block;
             (xml.starts_with("<Structure>") ? s.structures : s.calls) = xml;
         }},
    };
    for (const auto& [name, put] : sections) {
        for (const test::ExpectedCase& c : test::ExpectedCases(std::string("modules/") + name + ".txt")) {
            ModuleSource source;
            source.types = test::StandardTypes();
            put(source, c.input);
            EXPECT_EQ(LoadError(test::ModuleXml(source)), c.expected) << name << ": " << c.input;
        }
    }
}

TEST_F(ModuleXmlTest, OutlineMessages)
{
    for (const test::ExpectedCase& c : test::ExpectedCases("modules/outline.txt")) {
        EXPECT_EQ(LoadError(c.input), c.expected) << c.input;
    }
}

TEST_F(ModuleXmlTest, AcceptedDeclarationsKeepTheirValues)
{
    std::vector<std::string> log;
    CDiagnostics::Instance().SetObserver([&](std::string_view text) { log.emplace_back(text); });
    const CModule* m = CreateModuleFromXml("M", test::DataFile("modules/accepted.xml"));
    CDiagnostics::Instance().SetObserver(nullptr);

    EXPECT_EQ(m->GetPriority(), 12);
    ASSERT_EQ(m->GetTypes().size(), 6u);
    const CTypeInfo* text = m->GetTypes()[5];
    // A Namespace without text takes the kind word; an empty CDATA one stays empty.
    EXPECT_EQ(std::tuple(text->GetNamespace(), text->GetType(), text->GetRawInstruction(), text->GetDescription()),
              std::tuple("Type", text, "local ![Parameter1]", "Text"));
    const std::vector<CReplacement> replacements{{"\x01", "'"}, {"\x02", "'"}, {"\\", "\\\\"}, {"x", ""}};
    EXPECT_EQ(text->GetReplacements(), replacements) << "start, end, then declared in document order";
    ASSERT_EQ(m->GetBlocks().size(), 1u);
    const CBlockInfo* block = m->GetBlocks()[0];
    EXPECT_EQ(std::tuple(block->GetNamespace(), block->GetSeparator(), block->GetType()),
              std::tuple("", "\n", m->GetTypes()[1]));
    ASSERT_EQ(m->GetConstants().size(), 1u);
    EXPECT_EQ(std::tuple(m->GetConstants()[0]->GetValue(), m->GetConstants()[0]->GetNamespace()),
              std::tuple("", "Constant"));

    ASSERT_EQ(m->GetStructures().size(), 1u);
    const CStructureInfo* structure = m->GetStructures()[0];
    EXPECT_EQ(std::tuple(structure->GetShortDescription(), structure->GetBlockCount(), structure->GetBlock(0),
                         structure->GetParameter(0)->GetType()),
              std::tuple("If", 1u, block, m->GetTypes()[0]));
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
    EXPECT_EQ(std::tuple(e->IsEnumerated(), e->GetParameterCount(), e->GetNamespace()),
              std::tuple(true, 2u, "Parameter"));
    EXPECT_EQ(e->GetValues(), (std::vector<CEnumValue>{{"Yes", "1"}, {"No", "0"}}));
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

// MinValue is read as the C library reads a number: hexadecimal too, and
// one beyond the double range as the infinity it overflows to.
TEST_F(ModuleXmlTest, MinValueReadsEveryFormOfNumber)
{
    const std::string accepted = test::DataFile("modules/accepted.xml");
    const double inf = std::numeric_limits<double>::infinity();
    for (const auto& [text, value] :
         {std::pair{"0x1.8p3", 12.0}, std::pair{" -0X10g", -16.0}, std::pair{"0x1p99999", inf},
          std::pair{"-1e999", -inf}, std::pair{"0x1p-99999", 0.0}, std::pair{"0x", 0.0}}) {
        std::string xml = accepted;
        xml.replace(xml.find("-2.5e1x"), 7, text);
        ReleaseAllModules();
        const CModule* m = CreateModuleFromXml("M", xml);
        EXPECT_EQ(m->GetCalls()[0]->GetParameter(1)->GetMinValue(), value) << text;
    }
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
    // Blocks B, C (of a missing type) and D.
    EXPECT_EQ(LoadError(test::DataFile("modules/failure.xml")),
              "Valid type name in 'Blocks'->'Block'->'Type' expected.");
    ASSERT_EQ(GetModuleCount(), 1u);
    EXPECT_EQ(GetModule(0)->GetTypes().size(), 5u);
    EXPECT_EQ(GetModule(0)->GetBlocks().size(), 1u);
    EXPECT_EQ(GetAllBlocks().size(), 1u);
}

} // namespace
} // namespace bram

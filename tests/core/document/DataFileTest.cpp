// The data file: the writer's exact format, round trips, and every reader
// error a user can meet with a broken file.

#include "DocumentFixture.h"

#include "base/Paths.h"
#include "base/Text.h"
#include "xml/XmlDocument.h"

#include <cctype>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <csignal>
#include <unistd.h>

namespace bram::test {
namespace {

using DataFileWriter = DocumentTest;

constexpr char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";

TEST_F(DataFileWriter, AnEmptyDocumentIsTheRootWithFourEmptyChildren)
{
    EXPECT_EQ(m_document.WriteDataFile(), std::string(kDeclaration) +
                                               "<Data version=\"1.1\"><NeededModules/><Variables/><TriggerData/>"
                                               "<Categorization/></Data>");
}

TEST_F(DataFileWriter, NeededModulesListsOnlyModulesInUse)
{
    CreateModuleFromXml("extra", R"(<Module><Priority>1</Priority><NeededModules/><Data><Types>
        <Type><Name>count</Name><RealType>Number</RealType><CreationInstruction>![Parameter1] = 0</CreationInstruction></Type>
        </Types><Blocks/><Constants/><Structures/><Calls/></Data><Scripts/></Module>)");
    CState& state = *m_document.GetState();
    auto written = [&] { return m_document.WriteDataFile(); };
    EXPECT_NE(written().find("<NeededModules/>"), std::string::npos);

    // A global of a type of "lang" makes "lang" needed; "extra" stays unused.
    state.GetGlobals().push_back(std::make_unique<CUserDefinedVariable>("n", Type("number")));
    EXPECT_NE(written().find("<NeededModules><NeededModule>lang</NeededModule></NeededModules>"), std::string::npos);

    // A trigger's local of an "extra" type adds it, after "lang" (module order).
    CCodeTrigger* trigger = AddDocumentTrigger(m_document, "Main", "T");
    trigger->GetLocals().push_back(std::make_unique<CUserDefinedVariable>("c", GetModule(1)->GetTypes().front()));
    EXPECT_NE(written().find("<NeededModules><NeededModule>lang</NeededModule><NeededModule>extra</NeededModule>"),
              std::string::npos);
}

TEST_F(DataFileWriter, AConvertedTriggerHasCodeAndNoBlocks)
{
    CCodeTrigger* code = AddDocumentTrigger(m_document, "Main", "Coded");
    code->ConvertToCode("print(1) -- a & b");
    AddDocumentTrigger(m_document, "Main", "Plain");
    const std::string file = m_document.WriteDataFile();
    EXPECT_NE(file.find("<Trigger enabled=\"1\" enabledatbeginning=\"1\" bcode=\"1\"><Name><![CDATA[Coded]]></Name>"
                        "<Code><![CDATA[print(1) -- a & b]]></Code><Variables/><Blocks/></Trigger>"),
              std::string::npos)
        << file;
    const std::size_t plain = file.find("<![CDATA[Plain]]>");
    ASSERT_NE(plain, std::string::npos);
    EXPECT_EQ(file.find("<Code>", plain), std::string::npos);
    EXPECT_NE(file.find("bcode=\"0\"><Name><![CDATA[Plain]]></Name><Variables/><Blocks><Block>"), std::string::npos);
}

TEST_F(DataFileWriter, ParametersInEachForm)
{
    CCodeTrigger* trigger = AddDocumentTrigger(m_document, "Main", "T");
    CCall* set = NewCall("set"); // both parameters empty: the second is a reference
    trigger->GetBlock(1)->AddChild(set);
    CCall* compare = NewCall("compare");
    compare->GetParameter(0)->SetValue(NewNumber(3));
    compare->GetParameter(1)->SetChoiceIndex(1);
    compare->GetParameter(2)->SetValue(NewNumber(2.5));
    CStructure* branch = NewStructure("if");
    branch->GetParameter(0)->SetValue(compare);
    branch->SetEnabled(true);
    trigger->GetBlock(1)->AddChild(branch);
    CStructure* second = NewStructure("if");
    second->GetParameter(0)->SetValue(new CBoolValue(Type("boolean"), true));
    trigger->GetBlock(1)->AddChild(second);
    const std::string file = m_document.WriteDataFile();

    // Empty: values, Type, ref (and to), empty; no type attribute.
    EXPECT_NE(file.find("<Parameter values=\"0\" ref=\"0\" empty=\"1\"><Type><Name>variable</Name><Module>lang</Module>"
                        "</Type></Parameter><Parameter values=\"0\" ref=\"1\" to=\"0\" empty=\"1\"><Type><Name></Name>"
                        "<Module></Module></Type></Parameter>"),
              std::string::npos)
        << file;
    // A reference parameter's Type is the type it takes now; numbers have two decimals.
    EXPECT_NE(file.find("<Parameter values=\"1\"><Value>Op/lt</Value></Parameter><Parameter values=\"0\" ref=\"1\" "
                        "to=\"0\" empty=\"0\" type=\"64\"><Type><Name>number</Name><Module>lang</Module></Type>"
                        "<Value bool=\"0\"><![CDATA[2.50]]></Value></Parameter>"),
              std::string::npos);
    EXPECT_NE(file.find("<![CDATA[3.00]]>"), std::string::npos);
    // The structure with a complete parameter is enabled; the second was never enabled.
    EXPECT_NE(file.find("<SubElement type=\"1\" enabled=\"1\"><Name>if</Name>"), std::string::npos);
    EXPECT_NE(file.find("<SubElement type=\"1\" enabled=\"0\"><Name>if</Name>"), std::string::npos);
    EXPECT_NE(file.find("<Value bool=\"1\" val=\"-1\"/>"), std::string::npos);
    EXPECT_NE(file.find("<SubElement type=\"8\" enabled=\"0\"><Name>set</Name>"), std::string::npos);
}

TEST_F(DataFileWriter, CategoryNamesEqualTheTriggerNames)
{
    AddDocumentTrigger(m_document, "Start", "Start Game!");
    const std::string file = m_document.WriteDataFile();
    EXPECT_NE(file.find("<Trigger enabled=\"1\" enabledatbeginning=\"1\" bcode=\"0\"><Name><![CDATA[Start_Game]]>"),
              std::string::npos);
    EXPECT_NE(file.find("<Category><Name><![CDATA[Start]]></Name><Triggers><Trigger><![CDATA[Start_Game]]></Trigger>"),
              std::string::npos);
}

// ---- round trips ----------------------------------------------------------------

using DataFileRoundTrip = DocumentTest;

TEST_F(DataFileRoundTrip, WriteReadWriteGivesTheSameBytesAndTheSameState)
{
    CState& state = *m_document.GetState();
    state.GetGlobals().push_back(std::make_unique<CUserDefinedVariable>("total count", Type("number")));
    state.GetGlobals().push_back(std::make_unique<CUserDefinedVariable>("flag", Type("boolean")));
    state.SetPreamble("Line one\nline & two ]]> end");
    state.SetHeader("local x = 1 -- <header>");

    CCodeTrigger* first = AddDocumentTrigger(m_document, "Flow", "First");
    first->SetComment("Comment with & and <tags>\nand a second line");
    first->SetEnabledAtBeginning(false);
    first->GetLocals().push_back(std::make_unique<CUserDefinedVariable>("word", Type("string")));
    CBlock* actions = first->GetBlock(1);
    actions->AddChild(NewPrint("a & b\nnext line ]]> \"quoted\""));
    CCall* disabledPrint = NewPrint("off");
    disabledPrint->SetEnabled(false);
    actions->AddChild(disabledPrint);
    CCall* local = NewCall("print");
    local->GetParameter(0)->SetValue(first->GetLocal(0));
    local->SetEnabled(true);
    actions->AddChild(local);
    CCall* enable = NewCall("enable"); // refers to a trigger that comes later
    actions->AddChild(enable);
    CStructure* branch = NewStructure("if");
    CCall* compare = NewCall("compare");
    compare->GetParameter(0)->SetValue(state.GetGlobal(0));
    compare->GetParameter(1)->SetChoiceIndex(1);
    compare->GetParameter(2)->SetValue(NewNumber(2.5));
    branch->GetParameter(0)->SetValue(compare);
    branch->SetEnabled(true);
    CCall* set = NewCall("set");
    set->GetParameter(0)->SetValue(state.GetGlobal(0)); // a number variable in a "variable" slot
    CCall* add = NewCall("add");
    add->GetParameter(0)->SetValue(const_cast<CConstant*>(Constant("pi")));
    add->GetParameter(1)->SetValue(NewNumber(-1.25));
    set->GetParameter(1)->SetValue(add);
    set->SetEnabled(true);
    branch->GetChild(0)->AddChild(set);
    actions->AddChild(branch);
    CStructure* boolBranch = NewStructure("if");
    boolBranch->GetParameter(0)->SetValue(new CBoolValue(Type("boolean"), false));
    boolBranch->SetEnabled(true);
    first->GetBlock(0)->AddChild(boolBranch);

    CCodeTrigger* later = AddDocumentTrigger(m_document, "Other", "Later One");
    later->SetEnabled(false);
    CCodeTrigger* coded = AddDocumentTrigger(m_document, "Other", "Coded");
    coded->ConvertToCode("-- custom ]]> code");
    // The trigger variable of "Later One" (type trigger) goes into "enable".
    for (std::size_t i = 0; i < state.GetTriggerVariableCount(); ++i) {
        CTriggerVariable* variable = state.GetTriggerVariable(i);
        if (variable->GetTrigger() == later && variable->GetType() == Type("trigger")) {
            enable->GetParameter(0)->SetValue(variable);
        }
    }
    enable->SetEnabled(true);

    const std::string written = m_document.WriteDataFile();
    const std::string script = state.GetCode(0);
    CApplicationDocument reread;
    reread.NewDocument();
    reread.ReadDataFileFromMemory(written, "memory");
    EXPECT_EQ(reread.WriteDataFile(), written);
    const CState& copy = *reread.GetState();
    EXPECT_EQ(copy.GetCode(0), script);
    EXPECT_EQ(copy.GetPreamble(), state.GetPreamble());
    EXPECT_EQ(copy.GetHeader(), state.GetHeader());
    ASSERT_EQ(copy.GetTriggerCount(), 3u);
    const CCodeTrigger* t = copy.GetTrigger(0);
    EXPECT_EQ(t->GetName(), "First");
    EXPECT_EQ(t->GetComment(), first->GetComment());
    EXPECT_FALSE(t->IsEnabledAtBeginning());
    EXPECT_FALSE(copy.GetTrigger(1)->IsEnabled());
    EXPECT_EQ(copy.GetTrigger(1)->GetName(), "Later_One");
    EXPECT_TRUE(copy.GetTrigger(2)->IsCode());
    EXPECT_EQ(copy.GetTrigger(2)->GetCodeText(), "-- custom ]]> code");
    const CCodeBase* readActions = t->GetBlock(1);
    ASSERT_EQ(readActions->GetChildCount(), 5u);
    EXPECT_TRUE(readActions->GetChild(0)->IsEnabled());
    EXPECT_FALSE(readActions->GetChild(1)->IsEnabled());
    EXPECT_EQ(static_cast<const CStringValue*>(readActions->GetChild(0)->GetParameter(0)->GetValue())->GetValue(),
              "a & b\nnext line ]]> \"quoted\"");
    // Variables are the document's own, not copies.
    EXPECT_EQ(readActions->GetChild(2)->GetParameter(0)->GetValue(), t->GetLocal(0));
    EXPECT_EQ(readActions->GetChild(3)->GetParameter(0)->GetValue()->GetTrigger(), copy.GetTrigger(1));
    EXPECT_TRUE(readActions->GetChild(3)->IsEnabled());
    const CCodeBase* readSet = readActions->GetChild(4)->GetChild(0)->GetChild(0);
    EXPECT_EQ(readSet->GetParameter(0)->GetValue(), copy.GetGlobal(0));
    EXPECT_EQ(readSet->GetParameter(1)->GetValue()->GetParameter(0)->GetValue(), Constant("pi"));
    EXPECT_EQ(m_log.find("Warning"), std::string::npos) << m_log;
}

TEST_F(DataFileRoundTrip, NumbersKeepTwoDecimals)
{
    CCodeTrigger* trigger = AddDocumentTrigger(m_document, "Main", "T");
    CCall* add = NewCall("add");
    add->GetParameter(0)->SetValue(NewNumber(2.5));
    add->GetParameter(1)->SetValue(NewNumber(1.0 / 3.0));
    CCall* print = NewCall("print");
    CCall* text = NewCall("tostring");
    text->GetParameter(0)->SetValue(add);
    print->GetParameter(0)->SetValue(text);
    print->SetEnabled(true);
    trigger->GetBlock(1)->AddChild(print);
    CApplicationDocument reread;
    reread.NewDocument();
    reread.ReadDataFileFromMemory(m_document.WriteDataFile(), "memory");
    const CCodeBase* readAdd = reread.GetState()->GetTrigger(0)->GetBlock(1)->GetChild(0)->GetParameter(0)->GetValue()
                                   ->GetParameter(0)->GetValue();
    EXPECT_EQ(static_cast<const CNumberValue*>(readAdd->GetParameter(0)->GetValue())->GetValue(), 2.5);
    EXPECT_EQ(static_cast<const CNumberValue*>(readAdd->GetParameter(1)->GetValue())->GetValue(), 0.33);
}

TEST_F(DataFileRoundTrip, FilesWithoutTheNewTextsStayInTheDescribedFormat)
{
    AddDocumentTrigger(m_document, "Main", "T");
    const std::string file = m_document.WriteDataFile();
    EXPECT_EQ(file.find("<Comment>"), std::string::npos);
    EXPECT_EQ(file.find("<Preamble>"), std::string::npos);
    EXPECT_EQ(file.find("<Header>"), std::string::npos);
    // The texts follow Name (and Code) and Categorization when present.
    m_document.GetState()->GetTrigger(0)->SetComment("c");
    m_document.GetState()->SetHeader("h");
    const std::string withTexts = m_document.WriteDataFile();
    EXPECT_NE(withTexts.find("<Name><![CDATA[T]]></Name><Comment><![CDATA[c]]></Comment><Variables/>"), std::string::npos);
    EXPECT_NE(withTexts.find("</Categorization><Header><![CDATA[h]]></Header></Data>"), std::string::npos);
}

// ---- reader ------------------------------------------------------------------------

using DataFileReader = DocumentTest;

TEST_F(DataFileReader, TheValidFileLoadsAndNamesResolve)
{
    ASSERT_NO_THROW(m_document.ReadDataFileFromMemory(ValidFile(), "valid.bdf"));
    const CState& state = *m_document.GetState();
    ASSERT_EQ(state.GetTriggerCount(), 2u);
    EXPECT_EQ(state.GetTrigger(0)->GetName(), "First");
    EXPECT_FALSE(state.GetTrigger(1)->IsEnabledAtBeginning());
    const CCodeBase* enable = state.GetTrigger(0)->GetBlock(1)->GetChild(1);
    EXPECT_EQ(enable->GetParameter(0)->GetValue()->GetTrigger(), state.GetTrigger(1));
    EXPECT_TRUE(enable->IsEnabled());
    EXPECT_NE(m_log.find("Loading file valid.bdf.\nChecking modules.\nReading globals.\nVariable count read.\n"
                         "End reading globals.\nReading triggers.\nReading trigger.\nTrigger name: First\n"),
              std::string::npos)
        << m_log;
    EXPECT_NE(m_log.find("End reading categorization.\n"), std::string::npos);
}

struct BrokenFile {
    const char* what;
    std::string find;
    std::string replace;
    std::string message;
    bool everywhere = false; // replace every occurrence (an element's start and end tag)
};

class DataFileReaderErrors : public DocumentTest, public ::testing::WithParamInterface<BrokenFile> {};

TEST_P(DataFileReaderErrors, AreLoggedAndStopTheLoad)
{
    const BrokenFile& row = GetParam();
    std::string file = ValidFile();
    if (row.everywhere) {
        EXPECT_GT(ReplaceAll(file, row.find, row.replace), 0u);
    } else {
        file = Replaced(file, row.find, row.replace);
    }
    try {
        m_document.ReadDataFileFromMemory(file, "broken.bdf");
        FAIL() << "loaded: " << row.what;
    } catch (const CDocumentException& e) {
        EXPECT_EQ(e.GetErrorMessage(), row.message) << row.what;
    }
    EXPECT_TRUE(m_log.ends_with(row.message + "\n")) << m_log;
}

const std::string kNumber = "<Type><Name>number</Name><Module>lang</Module></Type><Name><![CDATA[count]]></Name>";

INSTANTIATE_TEST_SUITE_P(
    Table, DataFileReaderErrors,
    ::testing::Values(
        BrokenFile{"version 0.9", "version=\"1.1\"", "version=\"0.9\"", "Unsupported file version."},
        BrokenFile{"version 1.2", "version=\"1.1\"", "version=\"1.2\"", "Unsupported file version."},
        BrokenFile{"text version", "version=\"1.1\"", "version=\"new\"", "Unsupported file version."},
        BrokenFile{"no version", "version=\"1.1\"", "", "Unsupported file version."},
        BrokenFile{"no NeededModules", "<NeededModules><NeededModule>lang</NeededModule></NeededModules>", "",
                   "Element 'Data'->'NeededModules' expected."},
        BrokenFile{"unloaded module", "<NeededModule>lang</NeededModule>",
                   "<NeededModule>lang</NeededModule><NeededModule>gone</NeededModule>", "The module gone wasn't loaded."},
        BrokenFile{"empty NeededModule", "<NeededModule>lang</NeededModule>", "<NeededModule/>",
                   "Text in 'Data'->'NeededModules'->'NeededModule' expected."},
        BrokenFile{"unknown global type", kNumber, "<Type><Name>nosuch</Name><Module>lang</Module></Type><Name>x</Name>",
                   "Unknown type: nosuch"},
        BrokenFile{"global of a trigger type", kNumber, "<Type><Name>trigger</Name><Module>lang</Module></Type><Name>x</Name>",
                   "Invalid type."},
        BrokenFile{"global without name", kNumber, "<Type><Name>number</Name><Module>lang</Module></Type>",
                   "Element 'Data'->'Variables'->'Variable'->'Name' expected."},
        BrokenFile{"global type module unknown", kNumber, "<Type><Name>number</Name><Module>gone</Module></Type><Name>x</Name>",
                   "Unknown module: gone"},
        BrokenFile{"global type without module", kNumber, "<Type><Name>number</Name></Type><Name>x</Name>",
                   "Element 'Data'->'Variables'->'Variable'->'Type'->'Module' expected."},
        BrokenFile{"duplicate global", "</Variable></Variables>", "</Variable><Variable>" + kNumber + "</Variable></Variables>",
                   "Variable count already read."},
        BrokenFile{"duplicate local", "<Name><![CDATA[word]]></Name></Variable>",
                   "<Name><![CDATA[word]]></Name></Variable><Variable><Type><Name>number</Name><Module>lang</Module></Type>"
                   "<Name><![CDATA[word]]></Name></Variable>",
                   "Local 'word' multiple times defined."},
        BrokenFile{"local of an unknown type", "<Type><Name>string</Name><Module>lang</Module></Type><Name><![CDATA[word",
                   "<Type><Name>nosuch</Name><Module>lang</Module></Type><Name><![CDATA[word", "Unknown type nosuch."},
        BrokenFile{"trigger without name", "<Name><![CDATA[First]]></Name>", "",
                   "Node 'Data'->'TriggerData'->'Trigger'->'Name' expected."},
        BrokenFile{"trigger name only of removed characters", "<Name><![CDATA[First]]></Name>", "<Name>!!!</Name>",
                   "Invalid trigger name: trigger name is empty."},
        BrokenFile{"duplicate normalized trigger names", "bcode=\"0\"><Name><![CDATA[Second]]></Name>",
                   "bcode=\"0\"><Name><![CDATA[First!]]></Name>",
                   "Trigger First! already exist."},
        BrokenFile{"missing enabled flag", "<Trigger enabled=\"1\" ", "<Trigger ",
                   "Integer attribute 'enabled' expected in element 'Trigger'."},
        BrokenFile{"non-numeric flag", "enabledatbeginning=\"1\"", "enabledatbeginning=\"yes\"",
                   "Integer attribute 'enabledatbeginning' expected in element 'Trigger'."},
        BrokenFile{"code flag without code", "enabledatbeginning=\"1\" bcode=\"0\"", "enabledatbeginning=\"1\" bcode=\"1\"",
                   "Element 'Data'->'TriggerData'->'Trigger'->'Code' expected."},
        BrokenFile{"too few root blocks", "<Variables/><Blocks><Block><Type><Name>action</Name><Module>lang</Module></Type><Name>events</Name><Module>lang</Module><Data/></Block>", "<Variables/><Blocks>",
                   "Invalid number of blocks in 'Data'->'TriggerData'->'Trigger'->'Blocks'."},
        BrokenFile{"no Blocks", "<Variables/><Blocks><Block><Type><Name>action</Name><Module>lang</Module></Type><Name>events</Name><Module>lang</Module><Data/></Block><Block><Type><Name>action</Name><Module>lang</Module></Type><Name>actions</Name><Module>lang</Module><Data/></Block></Blocks>", "<Variables/>",
                   "Element 'Data'->'TriggerData'->'Trigger'->'Blocks' expected."},
        BrokenFile{"block of another type", "<Block><Type><Name>action</Name>", "<Block><Type><Name>number</Name>",
                   "Invalid type in 'Block'->'Type': got 'number', 'action' expected."},
        BrokenFile{"block type of another module", "<Block><Type><Name>action</Name><Module>lang</Module>",
                   "<Block><Type><Name>action</Name><Module>other</Module>",
                   "Invalid module in 'Block'->'Type': got 'other', 'lang' expected."},
        BrokenFile{"unknown instruction", "<Name>print</Name>", "<Name>nosuch</Name>", "Unknown structure or call nosuch."},
        BrokenFile{"instruction of an unloaded module", "<Name>print</Name><Module>lang</Module>",
                   "<Name>print</Name><Module>gone</Module>", "Unknown module: gone"},
        BrokenFile{"unknown code type of an instruction", "<SubElement type=\"1\"", "<SubElement type=\"4\"",
                   "Unknown type code 4 in 'Block'->'Data'->'SubElement'."},
        BrokenFile{"too few parameters", "<Parameters><Parameter values=\"0\" ref=\"0\" empty=\"0\" type=\"64\"><Type><Name>string</Name><Module>lang</Module></Type><Value bool=\"0\"><![CDATA[hi]]></Value></Parameter></Parameters>", "<Parameters/>",
                   "Invalid number of parameters in 'Block'->'Data'->'SubElement'->'Parameters'."},
        BrokenFile{"predefined value where none is taken", "<Parameter values=\"0\" ref=\"0\" empty=\"0\" type=\"64\">",
                   "<Parameter values=\"1\"><Value>x</Value>",
                   "Parameter does not support predefined values: Invalid change of parameter text, instruction print"},
        BrokenFile{"unknown predefined value", "<Value>Op/lt</Value>", "<Value>Op/zz</Value>",
                   "Unknown parameter value (value Op/zz, parameter op, instruction compare)."},
        BrokenFile{"enumerated parameter without choice", "<Parameter values=\"1\"><Value>Op/lt</Value>",
                   "<Parameter values=\"0\" ref=\"0\" empty=\"1\">",
                   "No predefined values expected (parameter op, instruction compare)."},
        BrokenFile{"reference not marked", "ref=\"1\" to=\"0\" empty=\"0\" type=\"8\"", "ref=\"0\" empty=\"0\" type=\"8\"",
                   "Reference expected."},
        BrokenFile{"reference to another parameter", "ref=\"1\" to=\"0\" empty=\"0\" type=\"8\"",
                   "ref=\"1\" to=\"1\" empty=\"0\" type=\"8\"", "Invalid reference: got 1, 0 expected."},
        BrokenFile{"referenced parameter empty", "<Parameter values=\"0\" ref=\"0\" empty=\"0\" type=\"32\" triggervar=\"0\">"
                                                 "<Type><Name>variable</Name>",
                   "<Parameter values=\"0\" ref=\"0\" empty=\"1\"><Type><Name>variable</Name>",
                   "Parameter which current parameter value references to not set."},
        BrokenFile{"unknown code type of a value", "type=\"64\"><Type><Name>string</Name>", "type=\"16\"><Type><Name>string</Name>",
                   "Unknown code type."},
        BrokenFile{"unknown variable", "<Name><![CDATA[count]]></Name></Parameter>", "<Name><![CDATA[nobody]]></Name></Parameter>",
                   "Unknown variable 'nobody'."},
        BrokenFile{"variable of another type", "type=\"64\"><Type><Name>string</Name><Module>lang</Module></Type><Value bool=\"0\"><![CDATA[hi]]></Value>",
                   "type=\"32\" triggervar=\"0\"><Type><Name>string</Name><Module>lang</Module></Type><Name><![CDATA[count]]></Name>",
                   "Invalid return type of variable 'count'."},
        BrokenFile{"unknown trigger variable", "<Name><![CDATA[Second]]></Name></Parameter>",
                   "<Name><![CDATA[Nobody]]></Name></Parameter>", "Unknown trigger/function or invalid type."},
        BrokenFile{"unknown constant", "<Name>pi</Name>", "<Name>tau</Name>", "Invalid constant tau."},
        BrokenFile{"unknown call value", "<Name>add</Name>", "<Name>nosuch</Name>", "Unknown call nosuch of type number."},
        BrokenFile{"call value with too few parameters", "<Parameter values=\"0\" ref=\"0\" empty=\"0\" type=\"128\"><Type><Name>number</Name><Module>lang</Module></Type><Name>pi</Name><Module>lang</Module></Parameter>",
                   "",
                   "Invalid number of parameters in 'Parameter'->'Parameters'."},
        BrokenFile{"boolean on a number", "<Value bool=\"0\"><![CDATA[2.50]]></Value>", "<Value bool=\"1\" val=\"-1\"/>",
                   "Boolean type expected."},
        BrokenFile{"literal without text", "<Value bool=\"0\"><![CDATA[2.50]]></Value>", "<Value bool=\"0\"/>",
                   "Text in 'Parameter'->'Value' expected."},
        BrokenFile{"literal without value", "<Value bool=\"0\"><![CDATA[2.50]]></Value>", "",
                   "Element 'Parameter'->'Value' expected."},
        BrokenFile{"unknown trigger in the categorization", "<Trigger><![CDATA[Second]]></Trigger>",
                   "<Trigger><![CDATA[Nobody]]></Trigger>", "Unknown trigger."},
        BrokenFile{"trigger in two categories", "</Category>",
                   "</Category><Category><Name>Again</Name><Triggers><Trigger><![CDATA[First]]></Trigger></Triggers></Category>",
                   "Unknown trigger."},
        BrokenFile{"categorization missing", "Categorization>", "Other>",
                   "Categorization is missing although triggers are included.", true},
        BrokenFile{"trigger in no category", "<Trigger><![CDATA[Second]]></Trigger>", "",
                   "Trigger Second is not listed in any category."},
        BrokenFile{"duplicate category", "</Category>", "</Category><Category><Name>Main</Name><Triggers/></Category>",
                   "Category Main already exists."},
        BrokenFile{"empty category name", "<Name><![CDATA[Main]]></Name>", "<Name/>", "Invalid category name."},
        BrokenFile{"category without triggers", "Triggers>", "Names>",
                   "Element 'Data'->'Categorization'->'Triggers' expected.", true}),
    [](const ::testing::TestParamInfo<BrokenFile>& info) {
        std::string name;
        for (const char c : std::string(info.param.what)) {
            name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        }
        return name;
    });

TEST_F(DataFileReader, BrokenXmlNamesTheFileAndTheParserError)
{
    EXPECT_THROW(m_document.ReadDataFileFromMemory("<Other version=\"1.1\"/>", "other.bdf"), CDocumentException);
    EXPECT_TRUE(m_log.ends_with("Invalid root: element 'Data' expected.\n")) << m_log;
    try {
        m_document.ReadDataFileFromMemory("<Data version=\"1.1\"><NeededModules>", "cut.bdf");
        FAIL();
    } catch (const CDocumentException& e) {
        EXPECT_TRUE(e.GetErrorMessage().starts_with("Could not load file cut.bdf.\n Error message: ")) << e.GetErrorMessage();
    }
}

TEST_F(DataFileReader, Version10FilesNameDefinitionsWithoutModules)
{
    std::string file = ValidFile();
    file = Replaced(file, "version=\"1.1\"", "version=\"1.0\"");
    file = Replaced(file, "<NeededModules><NeededModule>lang</NeededModule></NeededModules>", "");
    ReplaceAll(file, "<Module>lang</Module>", "");
    ASSERT_NO_THROW(m_document.ReadDataFileFromMemory(file, "old.bdf"));
    EXPECT_EQ(m_document.GetState()->GetTriggerCount(), 2u);
    EXPECT_EQ(m_log.find("Checking modules."), std::string::npos);
    // Written back in the current version, the result reads as the original.
    CApplicationDocument current;
    current.NewDocument();
    current.ReadDataFileFromMemory(ValidFile(), "new.bdf");
    EXPECT_EQ(m_document.WriteDataFile(), current.WriteDataFile());

    // 1.05 takes the current paths and needs the modules.
    CApplicationDocument between;
    between.NewDocument();
    EXPECT_THROW(between.ReadDataFileFromMemory(Replaced(file, "<Data version=\"1.0\"", "<Data version=\"1.05\""), "x.bdf"),
                 CDocumentException);
}

TEST_F(DataFileReader, DeepNestingIsRefusedBeforeTheStackRunsOut)
{
    // tostring(add(add(add(...)))) nested far beyond any real document.
    std::string value = R"(<Parameter values="0" ref="0" empty="1"/>)";
    for (int i = 0; i < 2000; ++i) {
        value = R"(<Parameter values="0" ref="0" empty="0" type="8"><Name>add</Name><Module>lang</Module><Parameters>)" +
                value + R"(<Parameter values="0" ref="0" empty="1"/></Parameters></Parameter>)";
    }
    const std::string file = Replaced(
        ValidFile(), R"(<Parameter values="0" ref="0" empty="0" type="128"><Type><Name>number</Name><Module>lang</Module></Type><Name>pi</Name><Module>lang</Module></Parameter>)",
        value);
    try {
        m_document.ReadDataFileFromMemory(file, "deep.bdf");
        FAIL();
    } catch (const CDocumentException& e) {
        EXPECT_EQ(e.GetErrorMessage(), "Instructions are nested too deeply.");
    }
}

TEST_F(DataFileReader, MissingSectionsAreWarnings)
{
    ASSERT_NO_THROW(m_document.ReadDataFileFromMemory(
        R"(<Data version="1.1"><NeededModules/><Variables><Variable><Type><Name>number</Name><Module>lang</Module></Type>)"
        R"(<Name>n</Name></Variable></Variables></Data>)",
        "partial.bdf"));
    EXPECT_NE(m_log.find("Warning: Element 'TriggerData' is missing; could not read triggers.\n"), std::string::npos);
    EXPECT_NE(m_log.find("Warning: Element 'Categorization' is missing; could not read triggers.\n"), std::string::npos);
    EXPECT_EQ(m_document.GetState()->GetGlobalCount(), 1u);
    EXPECT_EQ(m_document.GetState()->GetTriggerCount(), 0u);
}

TEST_F(DataFileReader, ADefinitionOfAnotherModuleIsFoundAfterAWarning)
{
    CreateModuleFromXml("other", R"(<Module><Priority>1</Priority><NeededModules/><Data><Types/><Blocks/><Constants/><Structures/>)"
                                 R"(<Calls/></Data><Scripts/></Module>)");
    std::string file = Replaced(ValidFile(), "<Name>print</Name><Module>lang</Module>", "<Name>print</Name><Module>other</Module>");
    file = Replaced(file, "<Name>pi</Name><Module>lang</Module>", "<Name>pi</Name><Module>other</Module>");
    ASSERT_NO_THROW(m_document.ReadDataFileFromMemory(file, "moved.bdf"));
    EXPECT_NE(m_log.find("Could not find instruction print in module other.\n"), std::string::npos);
    EXPECT_NE(m_log.find("Could not find constant pi in module other.\n"), std::string::npos);
    EXPECT_EQ(m_document.GetState()->GetTrigger(0)->GetBlock(1)->GetChild(0)->GetDefinition(), Call("print"));
}

// ---- open and save ---------------------------------------------------------------------

using DocumentFiles = DocumentTest;

TEST_F(DocumentFiles, AFailedOpenLeavesAnEmptyDocumentAndTheFileAsItWas)
{
    CTempDir dir;
    const std::string broken = Replaced(ValidFile(), "<Trigger><![CDATA[Second]]></Trigger>", "<Trigger>Nobody</Trigger>");
    WriteFile(dir / "broken.bdf", broken);
    std::string error;
    EXPECT_FALSE(m_document.OpenDocument(dir / "broken.bdf", &error));
    EXPECT_EQ(error, "Unknown trigger.");
    EXPECT_NE(m_log.find("Unknown trigger.\nLoading failed.\n"), std::string::npos) << m_log;
    ASSERT_NE(m_document.GetState(), nullptr);
    EXPECT_EQ(m_document.GetState()->GetTriggerCount(), 0u);
    EXPECT_EQ(m_document.GetState()->GetGlobalCount(), 0u);
    EXPECT_EQ(m_document.GetCategorySystem().GetCategoryCount(), 0u);
    EXPECT_FALSE(m_document.IsModified());
    EXPECT_EQ(ReadFile(dir / "broken.bdf"), broken);

    // A failure after a category was read leaves no category behind either.
    const std::string late = Replaced(ValidFile(), "</Category>",
                                      "</Category><Category><Name>B</Name><Triggers><Trigger>x</Trigger></Triggers></Category>");
    WriteFile(dir / "late.bdf", late);
    EXPECT_FALSE(m_document.OpenDocument(dir / "late.bdf", &error));
    EXPECT_EQ(m_document.GetCategorySystem().GetCategoryCount(), 0u);

    EXPECT_FALSE(m_document.OpenDocument(dir / "missing.bdf", &error));
    EXPECT_TRUE(error.starts_with("Could not load file ")) << error;
}

TEST_F(DocumentFiles, ANewDocumentStartsFromTheStandardNewDocument)
{
    CTempDir dir;
    WriteFile(dir / "templates/standard.bdf", ValidFile());
    {
        CScopedSettings settings("[Data]\nPath=" + dir.Path() + "templates\nStandardNewDocument=standard.bdf\n");
        CApplicationDocument document;
        EXPECT_EQ(document.GetStandardNewDocumentPath(), dir / "templates/standard.bdf");
        document.NewDocument();
        EXPECT_EQ(document.GetState()->GetTriggerCount(), 2u);
        EXPECT_EQ(document.GetCategorySystem().GetCategoryCount(), 1u);
        EXPECT_FALSE(document.IsModified());
        EXPECT_TRUE(document.GetPathName().empty());
        document.DeleteContents();
    }
    // A standard new document that cannot be opened gives an empty one.
    CScopedSettings settings("[Data]\nPath=" + dir.Path() + "\nStandardNewDocument=missing.bdf\n");
    CApplicationDocument document;
    document.NewDocument();
    EXPECT_EQ(document.GetState()->GetTriggerCount(), 0u);
    EXPECT_EQ(document.GetCategorySystem().GetCategoryCount(), 0u);
}

TEST_F(DocumentFiles, OpenAndSaveSetThePathAndTheSavedPoint)
{
    CTempDir dir;
    WriteFile(dir / "a.bdf", ValidFile());
    ASSERT_TRUE(m_document.OpenDocument(dir / "a.bdf"));
    EXPECT_EQ(m_document.GetTitle(), "a.bdf");
    EXPECT_FALSE(m_document.IsModified());
    m_document.AddHistoryStep("History/Text_Input");
    EXPECT_TRUE(m_document.IsModified());
    ASSERT_TRUE(m_document.SaveDocument(dir / "b.bdf"));
    EXPECT_FALSE(m_document.IsModified());
    EXPECT_EQ(m_document.GetSavedHistoryPoint(), 1);
    EXPECT_EQ(m_document.GetPathName(), dir / "b.bdf");
    EXPECT_EQ(ReadFile(dir / "b.bdf"), m_document.WriteDataFile());
}

TEST_F(DocumentFiles, ASaveIntoAReadOnlyFolderFailsAndKeepsTheOldFile)
{
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not bind root; the write-limit test covers a failing save";
    }
    CTempDir dir;
    WriteFile(dir / "sub/doc.bdf", "old contents");
    AddDocumentTrigger(m_document, "Main", "T");
    ASSERT_EQ(::chmod((dir / "sub").c_str(), 0555), 0);
    std::string error;
    EXPECT_FALSE(m_document.SaveDocument(dir / "sub/doc.bdf", &error));
    ::chmod((dir / "sub").c_str(), 0755);
    EXPECT_FALSE(error.empty());
    EXPECT_NE(m_log.find("Saving failed.\n"), std::string::npos) << m_log;
    EXPECT_EQ(ReadFile(dir / "sub/doc.bdf"), "old contents");
    EXPECT_TRUE(m_document.IsModified() || m_document.GetPathName().empty());
}

TEST_F(DocumentFiles, ASaveThatCannotWriteEverythingKeepsTheOldFile)
{
    // A file size limit makes the write fail part way, as a full disk would.
    CTempDir dir;
    const std::string old(64, 'o');
    WriteFile(dir / "doc.bdf", old);
    for (int i = 0; i < 50; ++i) {
        AddDocumentTrigger(m_document, "Main", "Trigger" + std::to_string(i));
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{100, 100};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string error;
        const bool saved = m_document.SaveDocument(dir / "doc.bdf", &error);
        ::_exit(saved ? 1 : (error.empty() ? 2 : 0));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(ReadFile(dir / "doc.bdf"), old);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        ++files;
    }
    EXPECT_EQ(files, 1u) << "a temporary file was left behind";
}

} // namespace
} // namespace bram::test

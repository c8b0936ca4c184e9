// The data file: the writer's exact format, round trips, and every reader
// error a user can meet with a broken file.

#include "DocumentFixture.h"

#include "base/Paths.h"
#include "base/Text.h"
#include "document/ScriptPreview.h"
#include "document/Search.h"
#include "xml/XmlDocument.h"

#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bram::test {
namespace {

using DataFileWriter = DocumentTest;

constexpr char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";

// Opening and saving a path, the title: MainFrameTest.SaveNewOpenRoundTrip.
TEST_F(DataFileWriter, NeededModulesListsOnlyModulesInUse)
{
    CreateModuleFromXml("extra", R"(<Module><Priority>1</Priority><NeededModules/><Data><Types>
        <Type><Name>count</Name><RealType>Number</RealType><CreationInstruction>![Parameter1] = 0</CreationInstruction></Type>
        </Types><Blocks/><Constants/><Structures/><Calls/></Data><Scripts/></Module>)");
    CState& state = *m_document.GetState();
    auto written = [&] { return m_document.WriteDataFile(); };
    EXPECT_EQ(written(), std::string(kDeclaration) + "<Data version=\"1.1\"><NeededModules/><Variables/><TriggerData/>"
                                                     "<Categorization/></Data>");

    // A global of a type of "lang" makes "lang" needed; "extra" stays unused.
    state.GetGlobals().push_back(std::make_unique<CUserDefinedVariable>("n", Type("number")));
    EXPECT_NE(written().find("<NeededModules><NeededModule>lang</NeededModule></NeededModules>"), std::string::npos);

    // A trigger's local of an "extra" type adds it, after "lang" (module order).
    CCodeTrigger* trigger = AddDocumentTrigger(m_document, "Main", "T");
    trigger->GetLocals().push_back(std::make_unique<CUserDefinedVariable>("c", GetModule(1)->GetTypes().front()));
    EXPECT_NE(written().find("<NeededModules><NeededModule>lang</NeededModule><NeededModule>extra</NeededModule>"),
              std::string::npos);
}

// Without a comment, preamble or header there are no elements for them (the
// round trip shows where they go); categories name triggers as the triggers
// name themselves, normalized.
TEST_F(DataFileWriter, AConvertedTriggerHasCodeAndNoBlocks)
{
    AddDocumentTrigger(m_document, "Main", "Coded")->ConvertToCode("print(1) -- a & b");
    AddDocumentTrigger(m_document, "Start", "Start Game!");
    EXPECT_EQ(m_document.WriteDataFile(), JoinedDataFile("document/converted-trigger.bdf"));
}

// Empty parameters (with and without a reference), a predefined value, a
// reference taking a number, numbers with two decimals (a third is 0.33), a
// boolean, and structures enabled or never enabled.
TEST_F(DataFileWriter, ParametersInEachForm)
{
    CCodeTrigger* trigger = AddDocumentTrigger(m_document, "Main", "T");
    CCall* set = NewCall("set"); // both parameters empty: the second is a reference
    trigger->GetBlock(1)->AddChild(set);
    CCall* compare = NewCall("compare");
    compare->GetParameter(0)->SetValue(NewNumber(3));
    compare->GetParameter(1)->SetChoiceIndex(1);
    compare->GetParameter(2)->SetValue(NewNumber(1.0 / 3.0));
    CStructure* branch = NewStructure("if");
    branch->GetParameter(0)->SetValue(compare);
    branch->SetEnabled(true);
    trigger->GetBlock(1)->AddChild(branch);
    CStructure* second = NewStructure("if");
    second->GetParameter(0)->SetValue(new CBoolValue(Type("boolean"), true));
    trigger->GetBlock(1)->AddChild(second);
    EXPECT_EQ(m_document.WriteDataFile(), JoinedDataFile("document/parameters.bdf"));
}

// ---- round trips ----------------------------------------------------------------

using DataFileRoundTrip = DocumentTest;

// Texts with "&", "<", "]]>", quotes and line breaks; globals, a local and a
// constant in calls; a trigger enabling one that comes after it; disabled
// triggers and instructions; a converted trigger.
TEST_F(DataFileRoundTrip, ReadWriteGivesTheSameBytesAndTheSameScript)
{
    ResetBooleanDefinitions(); // no definition file: a boolean's code is its key
    const std::string written = JoinedDataFile("document/round-trip.bdf");
    m_document.ReadDataFileFromMemory(written, "memory");
    EXPECT_EQ(m_document.WriteDataFile(), written);
    EXPECT_NE(m_log.find("Loading file memory.\nChecking modules.\nReading globals.\nVariable total count read.\n"
                         "Variable flag read.\nEnd reading globals.\nReading triggers.\nReading trigger.\n"
                         "Trigger name: First\n"),
              std::string::npos)
        << m_log;
    EXPECT_NE(m_log.find("End reading categorization.\n"), std::string::npos);
    // Texts, names and flags show in the bytes written back and in the script.
    const CState& copy = *m_document.GetState();
    EXPECT_EQ(copy.GetCode(0), DataFile("document/round-trip.lua"));
    ASSERT_EQ(copy.GetTriggerCount(), 3u);
    const CCodeTrigger* t = copy.GetTrigger(0);
    const CCodeBase* readActions = t->GetBlock(1);
    ASSERT_EQ(readActions->GetChildCount(), 5u);
    // Variables are the document's own, not copies.
    EXPECT_EQ(readActions->GetChild(2)->GetParameter(0)->GetValue(), t->GetLocal(0));
    EXPECT_EQ(readActions->GetChild(3)->GetParameter(0)->GetValue()->GetTrigger(), copy.GetTrigger(1));
    EXPECT_TRUE(readActions->GetChild(3)->IsEnabled());
    const CCodeBase* readSet = readActions->GetChild(4)->GetChild(0)->GetChild(0);
    EXPECT_EQ(readSet->GetParameter(0)->GetValue(), copy.GetGlobal(0));
    EXPECT_EQ(readSet->GetParameter(1)->GetValue()->GetParameter(0)->GetValue(), Constant("pi"));
    EXPECT_EQ(m_log.find("Warning"), std::string::npos) << m_log;
}

// A reader turns carriage returns in CDATA into line feeds; texts that hold
// them (read from character references or pasted) still read back as written.
TEST_F(DataFileRoundTrip, CarriageReturnsInTextsReadBackAsThemselves)
{
    const std::string text = "a\r\nb\rc]]>\r";
    AddDocumentTrigger(m_document, "Main", "T")->SetComment(text);
    m_document.GetState()->SetPreamble(text);
    const std::string written = m_document.WriteDataFile();
    CApplicationDocument again;
    again.NewDocument();
    again.ReadDataFileFromMemory(written, "again.bdf");
    EXPECT_EQ(again.GetState()->GetTrigger(0)->GetComment(), text);
    EXPECT_EQ(again.GetState()->GetPreamble(), text);
    EXPECT_EQ(again.WriteDataFile(), written);
}

// ---- reader ------------------------------------------------------------------------

using DataFileReader = DocumentTest;

TEST_F(DataFileReader, ErrorsOfBrokenFilesAreLoggedAndStopTheLoad)
{
    const std::vector<FieldCase> cases = FieldCases("document/broken-files.txt");
    ASSERT_GE(cases.size(), 54u);
    for (const FieldCase& row : cases) {
        SCOPED_TRACE(row.name);
        std::string file = ValidFile();
        if (row.Has("every")) {
            EXPECT_GT(ReplaceAll(file, row["find"], row["by"]), 0u);
        } else {
            file = Replaced(file, row["find"], row["by"]);
        }
        m_log.clear();
        CApplicationDocument document;
        document.NewDocument();
        try {
            document.ReadDataFileFromMemory(file, "broken.bdf");
            ADD_FAILURE() << "loaded";
        } catch (const CDocumentException& e) {
            EXPECT_EQ(e.GetErrorMessage(), row["error"]);
        }
        EXPECT_TRUE(m_log.ends_with(row["error"] + "\n")) << m_log;
        document.DeleteContents();
    }
}

// Earlier versions saved a "set" whose variable was deleted with its value
// still there: the file opens with the value empty and the instruction
// disabled, and what it writes then reads back the same.
TEST_F(DataFileReader, AValueWhoseTypeGivingParameterIsEmptyIsLeftEmpty)
{
    const std::string file = Replaced(
        ValidFile(),
        R"(<Parameter values="0" ref="0" empty="0" type="32" triggervar="0"><Type><Name>variable</Name><Module>lang</Module></Type><Name><![CDATA[count]]></Name></Parameter>)",
        R"(<Parameter values="0" ref="0" empty="1"/>)");
    ASSERT_NO_THROW(m_document.ReadDataFileFromMemory(file, "old.bdf"));
    EXPECT_NE(m_log.find("Warning: The value of parameter value, instruction set was left empty"), std::string::npos)
        << m_log;
    const CCodeBase* set = m_document.GetState()->GetTrigger(0)->GetBlock(1)->GetChild(2);
    EXPECT_EQ(set->GetParameter(1)->GetValue(), nullptr);
    EXPECT_FALSE(set->IsEnabled());
    const std::string written = m_document.WriteDataFile();
    CApplicationDocument again;
    again.NewDocument();
    again.ReadDataFileFromMemory(written, "again.bdf");
    EXPECT_EQ(again.WriteDataFile(), written);
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
    EXPECT_THROW(
        between.ReadDataFileFromMemory(Replaced(file, "<Data version=\"1.0\"", "<Data version=\"1.05\""), "x.bdf"),
        CDocumentException);
}

TEST_F(DataFileReader, DeepNestingIsRefusedBeforeTheStackRunsOut)
{
    // tostring(add(add(add(...)))) nested far beyond any real document.
    std::string value = R"(<Parameter values="0" ref="0" empty="1"/>)";
    for (int i = 0; i < 2000; ++i) {
        value =
            R"(<Parameter values="0" ref="0" empty="0" type="8"><Name>add</Name><Module>lang</Module><Parameters>)" +
            value + R"(<Parameter values="0" ref="0" empty="1"/></Parameters></Parameter>)";
    }
    const std::string file = Replaced(
        ValidFile(),
        R"(<Parameter values="0" ref="0" empty="0" type="128"><Type><Name>number</Name><Module>lang</Module></Type><Name>pi</Name><Module>lang</Module></Parameter>)",
        value);
    try {
        m_document.ReadDataFileFromMemory(file, "deep.bdf");
        FAIL();
    } catch (const CDocumentException& e) {
        EXPECT_EQ(e.GetErrorMessage(), "Instructions are nested too deeply.");
    }
}

// The script cannot hold a number the double range does not: a long
// number is refused (and named short), a tiny one is zero.
TEST_F(DataFileReader, NumberLiteralsOutsideTheDoubleRange)
{
    const std::string digits(100000, '7');
    try {
        m_document.ReadDataFileFromMemory(Replaced(ValidFile(), "2.50", digits), "long.bdf");
        FAIL() << "loaded";
    } catch (const CDocumentException& e) {
        EXPECT_EQ(e.GetErrorMessage(), "Invalid number literal '" + digits.substr(0, 40) + "...' in trigger First.");
    }
    m_document.DeleteContents();
    m_document.NewDocument();
    ASSERT_NO_THROW(m_document.ReadDataFileFromMemory(Replaced(ValidFile(), "2.50", "1e-999"), "tiny.bdf"));
    const CCodeBase* add = m_document.GetState()->GetTrigger(0)->GetBlock(1)->GetChild(2)->GetParameter(1)->GetValue();
    EXPECT_EQ(static_cast<const CNumberValue*>(add->GetParameter(1)->GetValue())->GetValue(), 0.0);
}

TEST_F(DataFileReader, MissingSectionsAreWarnings)
{
    ASSERT_NO_THROW(m_document.ReadDataFileFromMemory(
        R"(<Data version="1.1"><NeededModules/><Variables><Variable><Type><Name>number</Name><Module>lang</Module></Type>)"
        R"(<Name>n</Name></Variable></Variables></Data>)",
        "partial.bdf"));
    EXPECT_NE(m_log.find("Warning: Element 'TriggerData' is missing; could not read triggers.\n"), std::string::npos);
    EXPECT_NE(m_log.find("Warning: Element 'Categorization' is missing; could not read triggers.\n"),
              std::string::npos);
    EXPECT_EQ(m_document.GetState()->GetGlobalCount(), 1u);
    EXPECT_EQ(m_document.GetState()->GetTriggerCount(), 0u);
}

TEST_F(DataFileReader, ADefinitionOfAnotherModuleIsFoundAfterAWarning)
{
    CreateModuleFromXml(
        "other", R"(<Module><Priority>1</Priority><NeededModules/><Data><Types/><Blocks/><Constants/><Structures/>)"
                 R"(<Calls/></Data><Scripts/></Module>)");
    std::string file =
        Replaced(ValidFile(), "<Name>print</Name><Module>lang</Module>", "<Name>print</Name><Module>other</Module>");
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
    const std::string broken =
        Replaced(ValidFile(), "<Trigger><![CDATA[Second]]></Trigger>", "<Trigger>Nobody</Trigger>");
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
    const std::string late =
        Replaced(ValidFile(), "</Category>",
                 "</Category><Category><Name>B</Name><Triggers><Trigger>x</Trigger></Triggers></Category>");
    WriteFile(dir / "late.bdf", late);
    EXPECT_FALSE(m_document.OpenDocument(dir / "late.bdf", &error));
    EXPECT_EQ(m_document.GetCategorySystem().GetCategoryCount(), 0u);

    EXPECT_FALSE(m_document.OpenDocument(dir / "missing.bdf", &error));
    EXPECT_TRUE(error.starts_with("Could not load file ")) << error;

    // A FIFO is refused at once instead of waiting for a writer.
    const CFifo fifo(dir / "pipe.bdf");
    EXPECT_FALSE(m_document.OpenDocument(dir / "pipe.bdf", &error));
    EXPECT_EQ(error, "Could not load file " + dir / "pipe.bdf" + ".\n Error message: 1:Not a regular file.");
    EXPECT_FALSE(fifo.ReaderWaited());
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
        // The save itself keeps the limit's signal from ending the process.
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
    EXPECT_EQ(FileNames(dir.Path()), std::vector<std::string>{"doc.bdf"}) << "a temporary file was left behind";
}

// A save killed half way leaves its temporary file; the next save of that
// file clears it away (and only what matches its own pattern).
TEST_F(DocumentFiles, TheNextSaveRemovesTemporaryFilesAKilledSaveLeft)
{
    CTempDir dir;
    for (const char* name : {".doc.bdf.tmpAb3xYz", ".doc.bdf.tmpAb3xY", "doc.bdf.backup", ".other.bdf.tmpAb3xYz"}) {
        WriteFile(dir / name, "left");
    }
    ASSERT_TRUE(m_document.SaveDocument(dir / "doc.bdf"));
    EXPECT_EQ(FileNames(dir.Path()),
              (std::vector<std::string>{".doc.bdf.tmpAb3xY", ".other.bdf.tmpAb3xYz", "doc.bdf", "doc.bdf.backup"}));
}

// As in editors, saving onto a link writes the file it leads to; the link
// stays a link.
TEST_F(DocumentFiles, SavingOntoASymbolicLinkWritesItsTarget)
{
    CTempDir dir;
    WriteFile(dir / "real/doc.bdf", "old contents");
    std::filesystem::create_directories(dir / "links");
    std::filesystem::create_symlink("../real/doc.bdf", dir / "links/doc.bdf");
    AddDocumentTrigger(m_document, "Main", "T");
    ASSERT_TRUE(m_document.SaveDocument(dir / "links/doc.bdf"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "links/doc.bdf"));
    EXPECT_EQ(ReadFile(dir / "real/doc.bdf"), m_document.WriteDataFile());
}

// A save goes through a temporary file renamed over the target, so onto a
// FIFO or a device it would replace the node; such a target is refused.
TEST_F(DocumentFiles, ASaveOntoSomethingThatIsNoRegularFileIsRefused)
{
    CTempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink("fifo", dir / "link");
    // Making a device node needs root; without it that case is left out.
    const bool device = ::mknod((dir / "null").c_str(), S_IFCHR | 0600, ::makedev(1, 3)) == 0;
    for (const char* name : {"fifo", "link", "null"}) {
        if (std::string(name) == "null" && !device) {
            continue;
        }
        std::string error;
        EXPECT_FALSE(m_document.SaveDocument(dir / name, &error)) << name;
        EXPECT_EQ(error, "Not a regular file.") << name;
    }
    struct stat st {};
    EXPECT_TRUE(::stat((dir / "fifo").c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    EXPECT_TRUE(!device || (::stat((dir / "null").c_str(), &st) == 0 && S_ISCHR(st.st_mode)));
    EXPECT_EQ(FileNames(dir.Path()).size(), device ? 3u : 2u) << "a temporary file was left behind";
}

// The temporary name is longer than the file's; a name at the system's
// limit is saved all the same, and saved again over what it left.
TEST_F(DocumentFiles, AFileWhoseNameIsAtTheLimitIsSaved)
{
    CTempDir dir;
    std::string umlauts;
    for (int i = 0; i < 125; ++i) {
        umlauts += "\xC3\xA4";
    }
    for (const std::string& name : {std::string(251, 'x') + ".bdf", umlauts + ".bdf"}) {
        std::string error;
        ASSERT_TRUE(m_document.SaveDocument(dir / name, &error)) << error;
        ASSERT_TRUE(m_document.SaveDocument(dir / name, &error)) << error;
        EXPECT_EQ(ReadFile(dir / name), m_document.WriteDataFile());
    }
    EXPECT_EQ(FileNames(dir.Path()).size(), 2u);
}

using DocumentQueries = DocumentTest;

// Usages follow the parameters, values of nested calls too; a place is the
// root block's text (here its untranslated key) and 1-based positions.
TEST_F(DocumentQueries, UsagesOfAVariableAreTheInstructionsThatUseIt)
{
    m_document.ReadDataFileFromMemory(ValidFile(), "valid.bdf");
    const CState& state = *m_document.GetState();
    const CUserDefinedVariable& count = *state.GetGlobals().front();
    std::vector<std::string> places;
    for (const SMatch& match : FindUsages(state, count)) {
        places.push_back(match.trigger + " " + match.place);
    }
    EXPECT_EQ(places, (std::vector<std::string>{"First Block/actions/3", "First Block/actions/4"}));
    EXPECT_EQ(FindUsages(state, *state.GetTrigger(0)->GetLocals().front()).size(), 0u);
}

using DocumentPreview = DocumentTest;

// The preview follows the current trigger; the highlighter's words come from
// the language (comment and string marks) and the document (script names).
TEST_F(DocumentPreview, TextOfTheCurrentTriggerOrTheScriptAndTheLanguagesWords)
{
    m_document.ReadDataFileFromMemory(ValidFile(), "valid.bdf");
    CState& state = *m_document.GetState();
    EXPECT_EQ(PreviewText(m_document), state.GetCode(m_document.GetStartLevel()));
    state.SetCurrentTrigger(state.GetTrigger(1)->GetId());
    EXPECT_EQ(PreviewText(m_document), state.GetTrigger(1)->GetCode(m_document.GetStartLevel()));

    const SHighlightWords words = HighlightWords(state);
    EXPECT_EQ(words.commentPrefix, "--");
    EXPECT_EQ(words.stringMarks, (std::vector<std::pair<std::string, std::string>>{{"\"", "\""}}));
    for (const char* name : {"v_count", "trg_First", "fn_Second", "v_word"}) {
        EXPECT_TRUE(std::binary_search(words.names.begin(), words.names.end(), name)) << name;
    }

    // Of two instructions that write the same lines, each owns its own place.
    CCodeTrigger& first = *state.GetTrigger(0);
    CCodeBase* actions = first.GetBlock(1);
    actions->InsertChild(actions->GetChild(0)->Clone(), 2);
    state.SetCurrentTrigger(first.GetId());
    const SPreview preview = PreviewScript(m_document);
    const auto one = PreviewLinesOf(preview.lines, first, *actions->GetChild(0));
    const auto twin = PreviewLinesOf(preview.lines, first, *actions->GetChild(2));
    EXPECT_EQ(one.second, 1u);
    // After the instruction between them and the two separator lines of this language.
    EXPECT_EQ(twin, std::make_pair(one.first + 4, std::size_t{1}));
}

} // namespace
} // namespace bram::test

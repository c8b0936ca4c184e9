// Generated documents of the sample language: files the writer made come
// back byte for byte, whatever their layout, and a file with several faults
// reports the one the reader has always reported first.

#include "DataFileFuzzTarget.h"
#include "ProcessMemory.h"
#include "SampleDataFile.h"
#include "TestSupport.h"

#include "code/State.h"
#include "document/ApplicationDocument.h"
#include "document/DocumentEdits.h"
#include "generation/GenerationSettings.h"
#include "modules/Module.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <sstream>

namespace bram {
namespace {

class SampleDocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ResetProcessState();
        const std::string examples = BRAMBLETON_EXAMPLES_SOURCE_DIR;
        fuzz::SetUpDataFileLanguage(test::ReadFile(examples + "/modules-src/core/Data/data.xml"),
                                    test::ReadFile(examples + "/modules-src/standard/Data/data.xml"));
        m_document.NewDocument();
    }
    void TearDown() override
    {
        m_document.DeleteContents();
        CGenerationSettings::Instance().Clear();
        ReleaseAllModules();
        test::ResetProcessState();
    }
    // The reader's message, or "" when the file loads.
    std::string ReadError(const std::string& file)
    {
        m_document.DeleteContents();
        m_document.NewDocument();
        try {
            m_document.ReadDataFileFromMemory(file, "sample.bdf");
        } catch (const CDocumentException& e) {
            return e.GetErrorMessage();
        }
        return {};
    }

    CApplicationDocument m_document;
};

TEST_F(SampleDocumentTest, GeneratedFilesReadAndWriteToTheSameBytes)
{
    for (const int triggers : {0, 1, 60}) {
        SCOPED_TRACE(triggers);
        const std::string file = test::SampleDataFile(triggers);
        ASSERT_EQ(ReadError(file), "");
        EXPECT_EQ(m_document.WriteDataFile(), file);
        const CState& state = *m_document.GetState();
        ASSERT_EQ(state.GetTriggerCount(), static_cast<std::size_t>(triggers));
        EXPECT_EQ(state.GetGlobalCount(), 3u);
        EXPECT_FALSE(state.GetCode(0).empty());
    }
    const CState& state = *m_document.GetState();
    EXPECT_TRUE(state.GetTrigger(49)->IsCode());
    EXPECT_FALSE(state.GetTrigger(9)->IsEnabled());
    EXPECT_FALSE(state.GetTrigger(3)->IsEnabledAtBeginning());
    EXPECT_EQ(state.GetTrigger(4)->GetComment(), "Counts, sums & prints.\nSecond line of Trigger_4");
    EXPECT_EQ(m_document.GetCategorySystem().GetCategoryCount(), 1u);
}

// Undo steps keep what an edit changed, not the document: a thousand flag
// clicks on 2,000 triggers cost about what the clicked triggers hold, and
// undoing them all gives back the file.
TEST_F(SampleDocumentTest, FlagClicksKeepOnlyTheTriggersTheyChanged)
{
    const std::string file = test::SampleDataFile(2000);
    ASSERT_EQ(ReadError(file), "");
    [[maybe_unused]] const long before = test::ResidentKiB();
    const CState& state = *m_document.GetState();
    std::size_t largest = 0;
    for (int click = 0; click < 1000; ++click) {
        const CCodeTrigger* trigger = state.GetTrigger(static_cast<std::size_t>(click * 7) % state.GetTriggerCount());
        largest = std::max(largest, trigger->EstimateSize());
        ASSERT_TRUE(SetTriggerEnabled(m_document, trigger->GetId(), !trigger->IsEnabled()));
    }
    EXPECT_EQ(m_document.GetUndoCount(), 1000u);
    EXPECT_LE(m_document.GetHistoryMemory(), 1000 * (largest + 1024)) << "a click keeps its trigger, no more";
#ifndef __SANITIZE_ADDRESS__ // its shadow and quarantine are no measure
    EXPECT_LE(test::ResidentKiB() - before, 64 * 1024) << "KiB more resident after 1,000 clicks";
#endif
    while (m_document.CanUndo()) {
        m_document.Undo();
    }
    EXPECT_EQ(m_document.WriteDataFile(), file);
}

// Reading a file gives its text back page by page as the triggers are
// read; nothing given back may be needed again.
TEST_F(SampleDocumentTest, AFileOnDiskReadsAsTheSameTextInMemory)
{
    const test::CTempDir dir;
    const std::string file = test::SampleDataFile(120);
    test::WriteFile(dir / "big.bdf", file);
    ASSERT_TRUE(m_document.OpenDocument(dir / "big.bdf"));
    EXPECT_EQ(m_document.WriteDataFile(), file);
    EXPECT_EQ(m_document.GetCategorySystem().GetCategoryCount(), 2u);
    // A fault in the last triggers is still found and told after the text before it went.
    std::string late = file;
    const std::string call = "<Name>ScriptStarts</Name>";
    late.replace(late.rfind(call), call.size(), "<Name>Nothing</Name>");
    test::WriteFile(dir / "late.bdf", late);
    std::string error;
    EXPECT_FALSE(m_document.OpenDocument(dir / "late.bdf", &error));
    EXPECT_EQ(error, "Unknown structure or call Nothing.");
}

TEST_F(SampleDocumentTest, IndentedFilesAndOtherLayoutsReadAsTheWrittenOne)
{
    const std::string file = test::SampleDataFile(3);
    pugi::xml_document dom;
    ASSERT_TRUE(dom.load_buffer(file.data(), file.size(), pugi::parse_default | pugi::parse_declaration));
    std::ostringstream indented;
    dom.save(indented, "  ", pugi::format_indent, pugi::encoding_utf8);
    std::string windows;
    for (const char c : indented.str()) {
        windows += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    // A document type is no part of the plain form the fast path takes.
    const std::string doctype = test::Replaced(file, "?>", "?><!DOCTYPE Data>");
    for (const std::string& layout : {indented.str(), windows, doctype}) {
        ASSERT_EQ(ReadError(layout), "");
        EXPECT_EQ(m_document.WriteDataFile(), file);
    }
}

TEST_F(SampleDocumentTest, OfSeveralFaultsTheFirstInReadingOrderIsReported)
{
    const std::string file = test::SampleDataFile(60);
    // A broken instruction in the first trigger, a name used twice further on.
    const std::string badBody = test::Replaced(file, "<Name>ScriptStarts</Name>", "<Name>Nothing</Name>");
    ASSERT_EQ(ReadError(badBody), "Unknown structure or call Nothing.");
    const std::string twice =
        test::Replaced(badBody, "bcode=\"0\"><Name><![CDATA[Trigger_59]]>", "bcode=\"0\"><Name><![CDATA[Trigger_58]]>");
    EXPECT_EQ(ReadError(twice), "Trigger Trigger_58 already exist.") << "names are read before the bodies";
    // A fault of the XML near the end comes before anything the file says.
    const std::string broken = test::Replaced(twice, "</Categorization>", "</Categorisation>");
    EXPECT_TRUE(ReadError(broken).starts_with("Could not load file sample.bdf.\n Error message: "));
}

} // namespace
} // namespace bram

// Generated scripts: the encoding table, the byte order mark, module scripts
// first and unconverted, and failures.

#include "DocumentFixture.h"

#include "base/Text.h"
#include "log/Diagnostics.h"

namespace bram::test {
namespace {

class ScriptGeneration : public DocumentTest {
protected:
    // A document made under the given encoding settings, whose preamble (the
    // first line) holds "é€ж" (in Windows-1252 the first two, in CP437 only the first).
    std::string Generate(const std::string& encoding, bool bom)
    {
        CScopedSettings settings("[FileExtensions]\nGenScriptEncoding=" + encoding + "\nGenScriptUseBOM=" + (bom ? "1" : "0") + "\n");
        CApplicationDocument document;
        document.NewDocument();
        CCodeTrigger* trigger = AddDocumentTrigger(document, "Main", "T");
        trigger->SetComment("x");
        document.GetState()->SetPreamble("\xC3\xA9\xE2\x82\xAC\xD0\xB6");
        std::string data = document.GenerateScriptData();
        m_text = document.GetState()->GetCode(0);
        document.DeleteContents();
        return data;
    }
    std::string m_text;
};

TEST_F(ScriptGeneration, EncodingsAndByteOrderMarksByteForByte)
{
    struct Row {
        std::string name;
        bool bom;
        std::string prefix;
        std::string comment; // the comment line as bytes
    };
    const std::string utf16Comment = std::string("-\0-\0 \0\xE9\0\xAC\x20\x36\x04", 12);
    const std::vector<Row> rows = {
        {"Ansi", true, "", "-- \xE9\x80?"},
        {"OEM", true, "", "-- \x82??"},
        {"UTF-8", true, "\xEF\xBB\xBF", "-- \xC3\xA9\xE2\x82\xAC\xD0\xB6"},
        {"UTF-8", false, "", "-- \xC3\xA9\xE2\x82\xAC\xD0\xB6"},
        {"Unicode", true, "\xFF\xFE", utf16Comment},
        {"Unicode", false, "", utf16Comment},
        {"utf-8", true, "", "-- \xE9\x80?"}, // names are exact: anything else is Ansi
        {"", true, "", "-- \xE9\x80?"},
    };
    for (const Row& row : rows) {
        const std::string data = Generate(row.name, row.bom);
        EXPECT_TRUE(data.starts_with(row.prefix + row.comment)) << row.name << " " << row.bom;
        EXPECT_EQ(data.size(), row.prefix.size() + EncodeScriptText(m_text, ScriptEncodingFromName(row.name)).size());
    }
    // The whole text in UTF-16LE is the text's code units.
    EXPECT_EQ(Generate("Unicode", false), Utf8ToUtf16LEBytes(m_text));
}

TEST_F(ScriptGeneration, ModuleScriptsComeFirstAndUnconverted)
{
    // A module with a script cannot be made from XML alone: the test language
    // has none, so the order is checked on a document without triggers.
    CScopedSettings settings("[FileExtensions]\nGenScriptEncoding=Unicode\nGenScriptUseBOM=1\n");
    CApplicationDocument document;
    document.NewDocument();
    document.GetState()->SetHeader("h");
    // Empty preamble (comment start only), the header: "-- \nh\n".
    EXPECT_EQ(document.GenerateScriptData(), std::string("\xFF\xFE", 2) + Utf8ToUtf16LEBytes("-- \nh\n"));
}

TEST_F(ScriptGeneration, StartLevelIndentsWhatNodesStart)
{
    CScopedSettings settings("[ScriptCreation]\nStartLevel=1\n[FileExtensions]\nGenScriptEncoding=UTF-8\nGenScriptUseBOM=0\n");
    CApplicationDocument document;
    document.NewDocument();
    document.GetState()->GetGlobals().push_back(std::make_unique<CUserDefinedVariable>("n", Type("number")));
    EXPECT_EQ(document.GenerateScriptData(), "-- \n\n\tlocal v_n = 0\n");
    document.DeleteContents();
}

TEST_F(ScriptGeneration, AFailedWriteIsLoggedAndReported)
{
    CTempDir dir;
    std::string error;
    EXPECT_FALSE(m_document.GenerateScript(dir / "missing/folder/out.lua", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_NE(m_log.find("Error while saving script. Error message: " + error + "\n"), std::string::npos) << m_log;
    EXPECT_TRUE(m_document.GenerateScript(dir / "out.lua", &error));
    EXPECT_EQ(ReadFile(dir / "out.lua"), m_document.GenerateScriptData());
}

} // namespace
} // namespace bram::test

// Generated scripts: the encoding table, the byte order mark, the start
// level, and failures (module scripts coming first: the CLI generate test).

#include "DocumentFixture.h"

#include "base/Text.h"
#include "log/Diagnostics.h"

namespace bram::test {
namespace {

class ScriptGeneration : public DocumentTest {
protected:
    // A document made under the given encoding settings, with the preamble
    // of tests/data/document/script-encodings.txt.
    std::string Generate(const std::string& encoding, bool bom)
    {
        CScopedSettings settings("[FileExtensions]\nGenScriptEncoding=" + encoding +
                                 "\nGenScriptUseBOM=" + (bom ? "1" : "0") + "\n");
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
    const std::vector<FieldCase> rows = FieldCases("document/script-encodings.txt");
    ASSERT_EQ(rows.size(), 8u);
    for (const FieldCase& row : rows) {
        const std::string data = Generate(row["encoding"], row["bom"] == "1");
        EXPECT_TRUE(data.starts_with(row["mark"] + row["comment"])) << row.name;
        EXPECT_EQ(data.size(),
                  row["mark"].size() + EncodeScriptText(m_text, ScriptEncodingFromName(row["encoding"])).size());
    }
    // The whole text in UTF-16LE is the text's code units.
    EXPECT_EQ(Generate("Unicode", false), Utf8ToUtf16LEBytes(m_text));
}

TEST_F(ScriptGeneration, StartLevelIndentsWhatNodesStart)
{
    CScopedSettings settings(
        "[ScriptCreation]\nStartLevel=1\n[FileExtensions]\nGenScriptEncoding=UTF-8\nGenScriptUseBOM=0\n");
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

#include "TestSupport.h"

#include "base/Text.h"
#include "xml/XmlDocument.h"

#include <gtest/gtest.h>

namespace bram {
namespace {

const char* kModuleXml = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
                         "<Module xmlns=\"\">\n"
                         "  <Data priority=\"5\">\n"
                         "    <Name>Core &amp; more</Name>\n"
                         "    <Script><![CDATA[if a < b then]]></Script>\n"
                         "    <Empty/>\n"
                         "    <Item id=\"a\">one</Item><Item id=\"b\">two</Item>\n"
                         "  </Data>\n"
                         "</Module>\n";

TEST(XmlDocumentTest, LoadsUtf16LEWithAndWithoutByteOrderMarkAndUtf8)
{
    const std::string utf16 = Utf8ToUtf16LEBytes(kModuleXml);
    const std::string inputs[] = {"\xFF\xFE" + utf16, utf16, std::string(kModuleXml),
                                  "\xEF\xBB\xBF" + std::string(kModuleXml)};
    for (const std::string& input : inputs) {
        CXmlDocument doc;
        CXmlParseError error;
        ASSERT_TRUE(doc.LoadMemory(input, &error)) << error.reason;
        EXPECT_EQ(doc.GetDocumentElement().GetName(), "Module");
        EXPECT_EQ(doc.GetDocumentElement().SelectSingleNode("Data/Name/text()").GetText(), "Core & more");
    }
}

TEST(XmlDocumentTest, ParseErrorsReportLineCodeAndReason)
{
    CXmlDocument doc;
    CXmlParseError error;
    EXPECT_FALSE(doc.LoadMemory("<a>\n<b>\n</a>\n", &error));
    EXPECT_EQ(error.line, 3);
    EXPECT_NE(error.code, 0);
    EXPECT_FALSE(error.reason.empty());

    EXPECT_FALSE(doc.LoadMemory(Utf8ToUtf16LEBytes("<a>\n\n<b></a>"), &error));
    EXPECT_EQ(error.line, 3) << "lines count in the decoded text of UTF-16 input";

    EXPECT_FALSE(doc.LoadFile("/nonexistent/brambleton.xml", &error));
    EXPECT_FALSE(error.reason.empty());
}

TEST(XmlDocumentTest, SelectsTheFormsTheReadersUse)
{
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadMemory(kModuleXml));
    const CXmlNode root = doc.GetDocumentElement();
    const CXmlNode data = root.SelectSingleNode("child::Data");
    ASSERT_FALSE(data.IsNull());
    EXPECT_EQ(data.GetAttribute("priority").value_or(""), "5");
    EXPECT_FALSE(data.GetAttribute("missing").has_value());

    const CXmlNode script = data.SelectSingleNode("child::Script");
    EXPECT_EQ(script.GetText(), "if a < b then");
    EXPECT_EQ(script.SelectSingleNode("child::text()").GetType(), EXmlNodeType::CData);
    EXPECT_EQ(data.SelectSingleNode("Name/text()").GetType(), EXmlNodeType::Text);

    EXPECT_FALSE(data.SelectSingleNode("child::Empty").FindText().has_value());
    EXPECT_TRUE(data.SelectSingleNode("child::Missing").IsNull());

    const CXmlNodeList items = data.SelectNodes("child::Item");
    ASSERT_EQ(items.GetLength(), 2u);
    EXPECT_EQ(items.GetItem(1).GetText(), "two");
    EXPECT_TRUE(items.GetItem(2).IsNull());

    // Absolute paths work from any node.
    EXPECT_EQ(script.SelectSingleNode("/Module/Data/Name").GetText(), "Core & more");
    EXPECT_EQ(data.Child("Item").GetAttribute("id").value_or(""), "a");
    EXPECT_TRUE(data.SelectSingleNode("!!bad xpath").IsNull());
}

TEST(XmlDocumentTest, UsingAMissingNodeThrowsTheInvalidPointerError)
{
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadMemory("<a/>"));
    const CXmlNode missing = doc.GetDocumentElement().SelectSingleNode("child::b");
    EXPECT_THROW(missing.GetText(), CXmlNullNodeException);
    EXPECT_THROW(missing.GetName(), CXmlNullNodeException);
    EXPECT_THROW(missing.SelectSingleNode("x"), CXmlNullNodeException);
    EXPECT_EQ(missing.GetType(), EXmlNodeType::None);
}

TEST(XmlDocumentTest, BuildsAndSavesAsUtf8WithTheDeclaration)
{
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadMemory("<?xml version=\"1.0\" encoding=\"utf-8\" ?><Data />"));
    CXmlNode data = doc.GetDocumentElement();
    data.SetAttribute("version", "1.1");
    CXmlNode name = data.AppendElement("Name");
    name.AppendText("a & b < c");
    data.AppendElement("Code").AppendCData("x = \"ü\"");
    data.SetAttribute("version", "1.2");
    const std::string saved = doc.SaveToString();
    EXPECT_EQ(saved, "<?xml version=\"1.0\" encoding=\"utf-8\"?><Data version=\"1.2\"><Name>a &amp; b &lt; c</Name>"
                     "<Code><![CDATA[x = \"ü\"]]></Code></Data>");

    test::CTempDir dir;
    EXPECT_EQ(doc.SaveFile(dir / "out.xml"), "");
    CXmlDocument back;
    ASSERT_TRUE(back.LoadFile(dir / "out.xml"));
    EXPECT_EQ(back.GetDocumentElement().Child("Code").GetText(), "x = \"ü\"");
}

} // namespace
} // namespace bram

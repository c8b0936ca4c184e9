// The XML index and the XML writer against the XML document they stand in
// for: the same elements, attributes and texts read, the same errors, the
// same bytes written.

#include "SampleDataFile.h"
#include "TestSupport.h"

#include "base/Text.h"
#include "xml/XmlDocument.h"
#include "xml/XmlIndex.h"
#include "xml/XmlWriter.h"

#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <set>

namespace bram {
namespace {

// Every element and attribute name of a document, as a name table.
class CNames {
public:
    explicit CNames(const CXmlDocument& document)
    {
        std::vector<pugi::xml_node> todo{document.GetDocumentElement().Native()};
        while (!todo.empty()) {
            const pugi::xml_node node = todo.back();
            todo.pop_back();
            m_set.insert(node.name());
            for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
                m_set.insert(a.name());
            }
            for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
                if (child.type() == pugi::node_element) {
                    todo.push_back(child);
                }
            }
        }
        m_set.insert("never-used");
        for (const std::string& name : m_set) {
            m_views.push_back(name);
        }
    }
    const std::vector<std::string_view>& Views() const { return m_views; }

private:
    std::set<std::string> m_set;
    std::vector<std::string_view> m_views;
};

std::optional<std::string> Owned(std::optional<std::string_view> text)
{
    return text ? std::optional<std::string>(std::string(*text)) : std::nullopt;
}

// The index shows what the document shows, element by element (children by
// name, in order).
void ExpectSameTree(const CXmlIndexNode& index, const CXmlNode& node, const std::vector<std::string_view>& names,
                    const std::string& path = "")
{
    const std::string here = path + "/" + node.GetName();
    ASSERT_EQ(index.GetName(), node.GetName()) << here;
    EXPECT_EQ(Owned(index.FindTextView()), Owned(node.FindTextView())) << here;
    EXPECT_EQ(index.FindJoinedText(), node.FindJoinedText()) << here;
    for (std::size_t id = 0; id < names.size(); ++id) {
        const std::string name(names[id]);
        EXPECT_EQ(Owned(index.GetAttribute(static_cast<int>(id))), node.GetAttribute(name)) << here << "@" << name;
        const std::vector<CXmlNode> children = node.Children(name.c_str());
        ASSERT_EQ(index.CountChildren(static_cast<int>(id)), children.size()) << here << "/" << name;
        CXmlIndexNode child = index.Child(static_cast<int>(id));
        for (const CXmlNode& expected : children) {
            ExpectSameTree(child, expected, names, here);
            child = child.NextSibling(static_cast<int>(id));
        }
    }
}

// Loads the text both ways (as UTF-16LE bytes with utf16); returns whether
// the index took it without the parser.
bool ExpectSameReading(const std::string& text, int indexDepth = 3, bool utf16 = false)
{
    CXmlDocument document;
    CXmlParseError documentError;
    const bool parsed = utf16 ? document.LoadUtf16LE(text, &documentError) : document.LoadMemory(text, &documentError);
    std::vector<std::string_view> names{"a"};
    std::unique_ptr<CNames> table;
    if (parsed) {
        table = std::make_unique<CNames>(document);
        names = table->Views();
    }
    CXmlIndex index(names, indexDepth);
    CXmlParseError indexError;
    const bool indexed = utf16 ? index.LoadUtf16LE(text, &indexError) : index.Load(text, &indexError);
    EXPECT_EQ(indexed, parsed) << text;
    if (!parsed || !indexed) {
        EXPECT_EQ(indexError.reason, documentError.reason) << text;
        EXPECT_EQ(indexError.code, documentError.code);
        EXPECT_EQ(indexError.line, documentError.line);
        return false;
    }
    ExpectSameTree(index.GetDocumentElement(), document.GetDocumentElement(), names);
    return !index.UsedDocumentParser();
}

TEST(XmlIndexTest, ReadsThePlainFormItselfAsTheDocumentReadsIt)
{
    const char* const texts[] = {
        "<a/>",
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><a x=\"1\" y='2'>t</a>",
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<a>\n  <b>one</b>\n  <b>two</b>\n</a>\n\n",
        // Entities, line ends of every kind, in texts and in CDATA sections.
        "<a><b>x &amp; y &lt;z&gt; &quot;q&quot; &apos;s&apos;</b><c>l1\r\nl2\rl3\n</c>"
        "<d><![CDATA[c1\r\nc2\r]]></d></a>",
        // Texts split by CDATA sections, comments and blanks join; an element ends the run.
        "<a><b>one<![CDATA[ two]]><!-- c --><![CDATA[ three]]>  <![CDATA[]]></b>"
        "<c><d/>after<e/>later</c><f><![CDATA[]]></f><g></g><h>  </h></a>",
        "<!-- before --><a  x=\"1\"\n\ty=\"2\"  ><b\n/></a  ><!-- after -->\r\n",
        // The first of two attributes of one name counts; names of every allowed character.
        "<a x=\"1\" x=\"2\"><n-a.m_e:1 v=\"\"/></a>",
        "<a><b>]]&gt; and ]]></b><c><![CDATA[a]]]]><![CDATA[>b]]></c></a>",
    };
    for (const char* text : texts) {
        EXPECT_TRUE(ExpectSameReading(text)) << "left to the parser: " << text;
    }
    // Deep nesting needs no recursion.
    std::string deep;
    for (int i = 0; i < 20000; ++i) {
        deep += "<e>";
    }
    for (int i = 0; i < 20000; ++i) {
        deep += "</e>";
    }
    CXmlIndex index(std::vector<std::string_view>{"e"}, 3);
    ASSERT_TRUE(index.Load(deep));
    EXPECT_FALSE(index.UsedDocumentParser());
    CXmlIndexNode node = index.GetDocumentElement();
    int depth = 1;
    while (!node.Child(0).IsNull()) {
        node = node.Child(0);
        ++depth;
    }
    EXPECT_EQ(depth, 20000);
}

TEST(XmlIndexTest, LeavesEveryOtherFormAndEveryErrorToTheParserWithTheSameResult)
{
    const char* const texts[] = {
        "<!DOCTYPE a><a/>",
        "<?xml version=\"1.0\"?><?pi data?><a/>",
        "<a>&#65;&#x42;</a>",
        "<a>&unknown; & alone</a>",
        "<\xC3\xA4>text</\xC3\xA4>",
        "<a x=\"&amp;\" y=\"tab\there\" z=\"line\r\nend\"/>",
        "<a x='say \"hi\"'/>",
        "<a x = \"1\"/>",
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE4</a>",
        "<?XML version=\"1.0\"?><a/>",
        "  <?xml version=\"1.0\"?><a/>",
        "<a/>text after",
        "<a/><b/>",
    };
    for (const char* text : texts) {
        EXPECT_FALSE(ExpectSameReading(text)) << "read without the parser: " << text;
    }
    EXPECT_FALSE(ExpectSameReading(std::string("<a>x</a>\0<b>", 12)));
    EXPECT_FALSE(ExpectSameReading(Utf8ToUtf16LEBytes("<a>x</a>")));
    // Errors, reported as the parser reports them.
    for (const char* text : {"", "   ", "<a>", "<a></b>", "<a x=1/>", "<a><!-- open</a>", "<a><![CDATA[x</a>", "text",
                             "<a>\n<b>\n</a>\n", "<a/", "</a>", "<r><a><b><c><d>text</d>", "<r><a><b><c>x"}) {
        EXPECT_FALSE(ExpectSameReading(text)) << text;
    }
}

// Module files: UTF-16LE whatever their declaration says, converted as the parser converts.
TEST(XmlIndexTest, ReadsUtf16AsTheDocumentReadsIt)
{
    const std::string text = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<Module><Name>K\xC3\xA4se \xE2\x82\xAC "
                             "\xF0\x9D\x84\x9E</Name><T a=\"\xC3\xA9\"/></Module>";
    const std::string utf16 = Utf8ToUtf16LEBytes(text);
    for (const std::string& bytes : {"\xFF\xFE" + utf16, utf16, utf16 + "x"}) {
        EXPECT_TRUE(ExpectSameReading(bytes, 3, true));
    }
    const std::string name = Utf8ToUtf16LEBytes("<Name>");
    const auto at = utf16.find(name) + name.size();
    const std::string highAlone = utf16.substr(0, at) + std::string("\x3D\xD8x\0", 4) + utf16.substr(at);
    const std::string lowAlone = utf16.substr(0, at) + std::string("\x1E\xDD", 2) + utf16.substr(at);
    const std::string stop = utf16.substr(0, at) + std::string("\0\0", 2) + utf16.substr(at);
    for (const std::string& bytes : {highAlone, lowAlone, stop, Utf8ToUtf16LEBytes("<a><b></a>")}) {
        EXPECT_FALSE(ExpectSameReading(bytes, 3, true));
    }
}

// Faults anywhere in a real file: what the parser refuses is refused with
// its error, what it takes reads the same.
TEST(XmlIndexTest, DamagedFilesReadAsTheDocumentReadsThem)
{
    const std::string file = test::SampleDataFile(2);
    std::mt19937 random(20240917);
    static const char kBytes[] = "<>/!?&;\"'= ]-[\r\n\tAx\xC3";
    int plain = 0;
    for (int round = 0; round < 600; ++round) {
        std::string text = file;
        const std::size_t at = random() % text.size();
        switch (random() % 4) {
        case 0: text.erase(at, 1 + random() % 3); break;
        case 1: text.insert(at, 1, kBytes[random() % (sizeof kBytes - 1)]); break;
        case 2: text[at] = kBytes[random() % (sizeof kBytes - 1)]; break;
        default: text.resize(at); break;
        }
        plain += ExpectSameReading(text) ? 1 : 0;
        if (::testing::Test::HasFailure()) {
            ADD_FAILURE() << "round " << round;
            return;
        }
    }
    EXPECT_GT(plain, 60) << "damage that leaves the plain form is read without the parser";
}

TEST(XmlIndexTest, ContentIndexedLaterCanBeDroppedAndIndexedAgain)
{
    const std::string file = test::SampleDataFile(3);
    CXmlDocument document;
    ASSERT_TRUE(document.LoadMemory(file));
    const CNames names(document);
    for (const int depth : {1, 2, 4, 1000}) {
        SCOPED_TRACE(depth);
        CXmlIndex index(names.Views(), depth);
        ASSERT_TRUE(index.Load(file));
        EXPECT_FALSE(index.UsedDocumentParser());
        for (int pass = 0; pass < 2; ++pass) {
            const CXmlIndex::SMark mark = index.Mark();
            ExpectSameTree(index.GetDocumentElement(), document.GetDocumentElement(), names.Views());
            index.Release(mark);
        }
        if (depth == 1) {
            EXPECT_EQ(index.Mark().elements, 1u) << "only the document element is indexed up front";
        }
    }
    EXPECT_THROW((void)CXmlIndexNode().Child(0), CXmlNullNodeException);
}

TEST(XmlIndexTest, ChildrenTheReaderNeverReadsStayOut)
{
    const std::vector<std::string_view> names{"r", "a", "u", "b", "v"};
    const std::string text =
        "<r><a>x<u k=\"1\"><v/><![CDATA[<a>]]><!-- <b> --><u><b>in</b></u></u>y<b>z</b><u/></a></r>";
    CXmlIndex index(names, 1);
    const std::pair<int, int> unread[] = {{1, 2}};
    index.SetUnread(unread);
    ASSERT_TRUE(index.Load(text));
    const CXmlIndexNode a = index.GetDocumentElement().Child(1);
    EXPECT_TRUE(a.Child(2).IsNull());
    EXPECT_EQ(a.FindJoinedText(), "x") << "an element left out still ends the text";
    EXPECT_EQ(a.CountChildren(3), 1u);
    EXPECT_EQ(a.Child(3).FindTextView(), "z");
}

// ---- writer ------------------------------------------------------------------------

std::string Saved(const std::function<void(CXmlNode)>& build)
{
    CXmlDocument document;
    EXPECT_TRUE(document.LoadMemory("<?xml version=\"1.0\" encoding=\"utf-8\" ?><r />"));
    build(document.GetDocumentElement());
    return document.SaveToString(false);
}

std::string Written(const std::function<void(CXmlWriter&)>& build)
{
    std::string out;
    CXmlWriter writer(out);
    writer.Declaration();
    writer.StartElement("r");
    build(writer);
    writer.EndElement();
    return out;
}

TEST(XmlWriterTest, WritesTheBytesTheDocumentSaves)
{
    for (int c = 1; c < 256; ++c) {
        const std::string text = std::string("a") + static_cast<char>(c) + "b";
        EXPECT_EQ(Written([&](CXmlWriter& w) {
                      w.StartElement("e");
                      w.Attribute("v", text);
                      w.Text(text);
                      w.EndElement();
                  }),
                  Saved([&](CXmlNode r) {
                      CXmlNode e = r.AppendElement("e");
                      e.AppendAttribute("v", text.c_str());
                      e.AppendText(text);
                  }))
            << "character " << c;
    }
    const std::string withNul("cut\0here", 8);
    for (const std::string& text : {std::string(), std::string("x]]>y"), std::string("]]>]]>"), std::string("]]"),
                                    std::string("a]]]>b"), withNul}) {
        EXPECT_EQ(Written([&](CXmlWriter& w) {
                      w.CDataElement("c", text);
                      w.TextElement("t", text);
                      w.StartElement("empty");
                      w.EndElement();
                  }),
                  Saved([&](CXmlNode r) {
                      r.AppendElement("c").AppendCData(text);
                      r.AppendElement("t").AppendText(text);
                      r.AppendElement("empty");
                  }))
            << text;
    }
}

} // namespace
} // namespace bram

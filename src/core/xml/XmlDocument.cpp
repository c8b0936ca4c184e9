#include "xml/XmlDocument.h"

#include "base/Paths.h"
#include "base/Text.h"

#include <cstring>
#include <memory>
#include <sstream>
#include <unordered_map>

namespace bram {

namespace {

// Compiling an XPath expression costs far more than evaluating it; readers
// use a handful of fixed expressions many times, so keep them compiled.
const pugi::xpath_query* CompiledQuery(std::string_view xpath)
{
    static std::unordered_map<std::string, std::unique_ptr<pugi::xpath_query>> cache;
    const std::string key(xpath);
    auto it = cache.find(key);
    if (it == cache.end()) {
        std::unique_ptr<pugi::xpath_query> query;
        try {
            query = std::make_unique<pugi::xpath_query>(key.c_str());
        } catch (const pugi::xpath_exception&) {
            query.reset();
        }
        if (query && !*query) {
            query.reset();
        }
        it = cache.emplace(key, std::move(query)).first;
    }
    return it->second.get();
}

bool LooksLikeUtf16LE(std::string_view data)
{
    if (data.size() >= 2 && static_cast<unsigned char>(data[0]) == 0xFF &&
        static_cast<unsigned char>(data[1]) == 0xFE) {
        return true;
    }
    return data.size() >= 2 && data[0] != '\0' && data[1] == '\0';
}

// The line and column (both from 1, the column in characters) of a byte offset.
std::pair<int, int> LocationOfOffset(std::string_view text, std::ptrdiff_t offset)
{
    if (offset < 0) {
        return {0, 0};
    }
    const auto end = std::min<std::size_t>(static_cast<std::size_t>(offset), text.size());
    int line = 1;
    int column = 1;
    for (std::size_t i = 0; i < end; ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++column;
        }
    }
    return {line, column};
}

} // namespace

pugi::xml_node CXmlNode::Checked() const
{
    if (!m_node) {
        throw CXmlNullNodeException();
    }
    return m_node;
}

std::string CXmlNode::GetName() const { return Checked().name(); }

EXmlNodeType CXmlNode::GetType() const
{
    switch (m_node.type()) {
    case pugi::node_null: return EXmlNodeType::None;
    case pugi::node_element: return EXmlNodeType::Element;
    case pugi::node_pcdata: return EXmlNodeType::Text;
    case pugi::node_cdata: return EXmlNodeType::CData;
    default: return EXmlNodeType::Other;
    }
}

CXmlNode CXmlNode::SelectSingleNode(std::string_view xpath) const
{
    const pugi::xml_node node = Checked();
    const pugi::xpath_query* query = CompiledQuery(xpath);
    if (query == nullptr) {
        return CXmlNode();
    }
    const pugi::xpath_node hit = node.select_node(*query);
    if (hit.attribute()) {
        // Attributes are not nodes in this model; callers read them with GetAttribute.
        return CXmlNode();
    }
    return CXmlNode(hit.node());
}

CXmlNodeList CXmlNode::SelectNodes(std::string_view xpath) const
{
    const pugi::xml_node node = Checked();
    const pugi::xpath_query* query = CompiledQuery(xpath);
    if (query == nullptr) {
        return CXmlNodeList();
    }
    return CXmlNodeList(node.select_nodes(*query));
}

CXmlNode CXmlNode::Child(std::string_view name) const
{
    for (pugi::xml_node child = Checked().first_child(); child; child = child.next_sibling()) {
        const char* childName = child.name();
        if (child.type() == pugi::node_element && std::strncmp(childName, name.data(), name.size()) == 0 &&
            childName[name.size()] == '\0') {
            return CXmlNode(child);
        }
    }
    return CXmlNode();
}

CXmlNode CXmlNode::Child(const char* name) const
{
    pugi::xml_node child = Checked().child(name);
    // Only elements carry names below an element, but stay exact about it.
    while (child && child.type() != pugi::node_element) {
        child = child.next_sibling(name);
    }
    return CXmlNode(child);
}

std::vector<CXmlNode> CXmlNode::Children(const char* name) const
{
    std::vector<CXmlNode> children;
    for (pugi::xml_node child = Checked().child(name); child; child = child.next_sibling(name)) {
        if (child.type() == pugi::node_element) {
            children.emplace_back(child);
        }
    }
    return children;
}

CXmlNode CXmlNode::NextSibling(const char* name) const
{
    pugi::xml_node sibling = Checked().next_sibling(name);
    while (sibling && sibling.type() != pugi::node_element) {
        sibling = sibling.next_sibling(name);
    }
    return CXmlNode(sibling);
}

std::size_t CXmlNode::CountChildren(const char* name) const
{
    std::size_t count = 0;
    for (pugi::xml_node child = Checked().child(name); child; child = child.next_sibling(name)) {
        count += child.type() == pugi::node_element ? 1 : 0;
    }
    return count;
}

std::optional<std::string> CXmlNode::FindText() const
{
    if (const auto view = FindTextView()) {
        return std::string(*view);
    }
    return std::nullopt;
}

std::optional<std::string_view> CXmlNode::FindTextView() const
{
    const pugi::xml_node node = Checked();
    if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
        return std::string_view(node.value());
    }
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
            return std::string_view(child.value());
        }
    }
    return std::nullopt;
}

std::optional<std::string> CXmlNode::FindJoinedText() const
{
    const pugi::xml_node node = Checked();
    auto isText = [](pugi::xml_node n) { return n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata; };
    pugi::xml_node child = isText(node) ? node : node.first_child();
    while (child && !isText(child)) {
        child = child.next_sibling();
    }
    if (!child) {
        return std::nullopt;
    }
    std::string text = child.value();
    for (child = child.next_sibling(); child && isText(child); child = child.next_sibling()) {
        text += child.value();
    }
    return text;
}

std::string CXmlNode::GetText() const { return FindText().value_or(std::string()); }

std::optional<std::string> CXmlNode::GetAttribute(std::string_view name) const
{
    const pugi::xml_node node = Checked();
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
        if (name == a.name()) {
            return std::string(a.value());
        }
    }
    return std::nullopt;
}

std::optional<std::string> CXmlNode::GetAttribute(const char* name) const
{
    const pugi::xml_attribute a = Checked().attribute(name);
    if (!a) {
        return std::nullopt;
    }
    return std::string(a.value());
}

void CXmlNode::GetAttributes(std::initializer_list<const char*> names, const char** values) const
{
    const std::size_t count = names.size();
    for (std::size_t i = 0; i < count; ++i) {
        values[i] = nullptr;
    }
    for (pugi::xml_attribute a = Checked().first_attribute(); a; a = a.next_attribute()) {
        const char* name = a.name();
        std::size_t i = 0;
        for (const char* wanted : names) {
            // The first one of a name counts, as with a single lookup.
            if (values[i] == nullptr && name[0] == wanted[0] && std::strcmp(name, wanted) == 0) {
                values[i] = a.value();
                break;
            }
            ++i;
        }
    }
}

void CXmlNode::SetAttribute(std::string_view name, std::string_view value)
{
    pugi::xml_node node = Checked();
    const std::string n(name);
    pugi::xml_attribute a = node.attribute(n.c_str());
    if (!a) {
        a = node.append_attribute(n.c_str());
    }
    a.set_value(std::string(value).c_str());
}

CXmlNode CXmlNode::AppendElement(std::string_view name)
{
    return CXmlNode(Checked().append_child(std::string(name).c_str()));
}

CXmlNode CXmlNode::AppendElement(const char* name) { return CXmlNode(Checked().append_child(name)); }

void CXmlNode::AppendAttribute(const char* name, const char* value)
{
    Checked().append_attribute(name).set_value(value);
}

CXmlNode CXmlNode::AppendText(std::string_view text)
{
    pugi::xml_node node = Checked().append_child(pugi::node_pcdata);
    node.set_value(text.data(), text.size());
    return CXmlNode(node);
}

CXmlNode CXmlNode::AppendCData(std::string_view text)
{
    pugi::xml_node node = Checked().append_child(pugi::node_cdata);
    node.set_value(text.data(), text.size());
    return CXmlNode(node);
}

bool CXmlDocument::LoadFile(std::string_view path, CXmlParseError* error)
{
    const auto data = ReadWholeFile(path);
    if (!data) {
        m_doc.reset();
        if (error != nullptr) {
            *error = {0, static_cast<int>(pugi::status_file_not_found), "File could not be read."};
        }
        return false;
    }
    return LoadMemory(*data, error);
}

bool CXmlDocument::LoadMemory(std::string_view data, CXmlParseError* error)
{
    constexpr unsigned options = pugi::parse_default | pugi::parse_declaration;
    std::string utf8;
    pugi::xml_encoding encoding = pugi::encoding_auto;
    if (LooksLikeUtf16LE(data)) {
        if (data.size() >= 2 && static_cast<unsigned char>(data[0]) == 0xFF) {
            data.remove_prefix(2);
        }
        utf8 = Utf16LEBytesToUtf8(data);
        encoding = pugi::encoding_utf8;
        data = utf8;
    }
    // The parser copies the buffer itself.
    const pugi::xml_parse_result result = m_doc.load_buffer(data.data(), data.size(), options, encoding);
    if (result) {
        return true;
    }
    if (error != nullptr) {
        // Where it went wrong follows the parser's description, so that a message
        // built from the reason tells the user where to look.
        const auto [line, column] = LocationOfOffset(data, result.offset);
        *error = {line, static_cast<int>(result.status),
                  StringPrintf("%s (line %d, column %d)", result.description(), line, column)};
    }
    return false;
}

bool CXmlDocument::LoadUtf16LE(std::string_view bytes, CXmlParseError* error)
{
    constexpr unsigned options = pugi::parse_default | pugi::parse_declaration;
    bytes = bytes.substr(0, bytes.size() & ~static_cast<std::size_t>(1));
    // The parser converts on its own, which is much faster than a copy through UTF-8.
    const pugi::xml_parse_result result =
        m_doc.load_buffer(bytes.data(), bytes.size(), options, pugi::encoding_utf16_le);
    if (result) {
        return true;
    }
    if (error != nullptr) {
        // The offset counts characters; count the line feeds before it.
        int line = 1;
        for (std::size_t i = 0; i + 1 < bytes.size() && static_cast<std::ptrdiff_t>(i / 2) < result.offset; i += 2) {
            if (bytes[i] == '\n' && bytes[i + 1] == '\0') {
                ++line;
            }
        }
        *error = {line, static_cast<int>(result.status), result.description()};
    }
    return false;
}

std::string CXmlDocument::SaveToString(bool indent) const
{
    std::ostringstream out;
    m_doc.save(out, "\t", indent ? pugi::format_indent : pugi::format_raw, pugi::encoding_utf8);
    return out.str();
}

std::string CXmlDocument::SaveFile(std::string_view path, bool indent) const
{
    return WriteFileAtomically(path, SaveToString(indent));
}

} // namespace bram

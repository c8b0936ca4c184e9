#pragma once
// The one XML access layer every reader and writer goes through: documents
// loaded from files or memory (UTF-8 or UTF-16LE, with or without byte order
// mark), XPath selection relative to a node, texts, attributes and node
// creation. Using a node that was not found throws CXmlNullNodeException.

#include "base/Exceptions.h"

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace bram {

// What using a missing node raises (the DOM's invalid-pointer error).
class CXmlNullNodeException : public CException {
public:
    static constexpr unsigned kErrorCode = 0x80004003u;
    CXmlNullNodeException() : CException("Invalid pointer.") {}
};

enum class EXmlNodeType { None, Element, Text, CData, Other };

class CXmlNodeList;

class CXmlNode {
public:
    CXmlNode() = default;
    explicit CXmlNode(pugi::xml_node node) : m_node(node) {}

    bool IsNull() const { return !m_node; }
    explicit operator bool() const { return static_cast<bool>(m_node); }

    std::string GetName() const;
    EXmlNodeType GetType() const;

    // XPath 1.0 relative to this node ("child::Name", "Name/text()",
    // "attribute::id", "/Root/Child", ...). A missing node is a null node.
    CXmlNode SelectSingleNode(std::string_view xpath) const;
    CXmlNodeList SelectNodes(std::string_view xpath) const;

    // The first child element of that name; a null node when there is none.
    CXmlNode Child(std::string_view name) const;
    // The same for a literal name; the lookup stays inside the parser.
    CXmlNode Child(const char* name) const;
    // Every child element of that name, in document order (what "child::Name"
    // selects, without building a node set).
    std::vector<CXmlNode> Children(const char* name) const;
    // The next sibling element of that name (walks what Children lists
    // without building the list); a null node at the end.
    CXmlNode NextSibling(const char* name) const;
    std::size_t CountChildren(const char* name) const;

    // For an element: the text of its first text or CDATA child, or nullopt
    // when it has none. For a text or CDATA node: its own text.
    std::optional<std::string> FindText() const;
    // As FindText, without a copy: the first text or CDATA child's text,
    // valid as long as the node.
    std::optional<std::string_view> FindTextView() const;
    // As FindText, joined with the text and CDATA nodes that directly follow
    // the first one (a writer splits a CDATA section holding "]]>" in two).
    std::optional<std::string> FindJoinedText() const;
    // As FindText, but a missing text reads as empty.
    std::string GetText() const;

    std::optional<std::string> GetAttribute(std::string_view name) const;
    // The same for a literal name; the lookup stays inside the parser.
    std::optional<std::string> GetAttribute(const char* name) const;
    // Several attributes in one pass: values[i] is the value of names[i], or
    // null when the element has no such attribute. The texts live as long as the node.
    void GetAttributes(std::initializer_list<const char*> names, const char** values) const;
    void SetAttribute(std::string_view name, std::string_view value);

    CXmlNode AppendElement(std::string_view name);
    // The same for a literal name, without a copy of it.
    CXmlNode AppendElement(const char* name);
    // Appends an attribute without looking for an existing one (writers
    // that set each attribute once).
    void AppendAttribute(const char* name, const char* value);
    CXmlNode AppendText(std::string_view text);
    CXmlNode AppendCData(std::string_view text);

    pugi::xml_node Native() const { return m_node; }

private:
    pugi::xml_node Checked() const;
    pugi::xml_node m_node;
};

class CXmlNodeList {
public:
    CXmlNodeList() = default;
    explicit CXmlNodeList(pugi::xpath_node_set set) : m_set(std::move(set)) {}
    std::size_t GetLength() const { return m_set.size(); }
    CXmlNode GetItem(std::size_t index) const
    {
        return index < m_set.size() ? CXmlNode(m_set[index].node()) : CXmlNode();
    }

private:
    pugi::xpath_node_set m_set;
};

struct CXmlParseError {
    int line = 0;
    int code = 0;
    // The parser's description; from LoadMemory and LoadFile followed by
    // " (line L, column C)". LoadUtf16LE's callers print the line themselves.
    std::string reason;
};

class CXmlDocument {
public:
    bool LoadFile(std::string_view path, CXmlParseError* error = nullptr);
    bool LoadMemory(std::string_view data, CXmlParseError* error = nullptr);
    // UTF-16LE text whatever its first bytes look like (module files); a
    // leading byte order mark is skipped, the text ends at a U+0000 or at the
    // last whole character.
    bool LoadUtf16LE(std::string_view bytes, CXmlParseError* error = nullptr);

    // UTF-8 text with the document's declaration (a default one when the
    // document has none).
    std::string SaveToString(bool indent = false) const;
    // Written atomically; returns an empty text on success, else the reason.
    std::string SaveFile(std::string_view path, bool indent = false) const;

    CXmlNode GetDocumentElement() const { return CXmlNode(m_doc.document_element()); }
    // The document node itself, for absolute paths.
    CXmlNode GetRoot() const { return CXmlNode(m_doc.root()); }

private:
    pugi::xml_document m_doc;
};

} // namespace bram

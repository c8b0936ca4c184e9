#pragma once
// Reading large XML files that a reader walks by element names (the data
// file): an index of the elements, their attributes and their first text,
// made by scanning the text where it lies, without a copy of it and without
// a node per text or attribute value. Content below a chosen depth is
// indexed only when the reader first looks into it and can be dropped again
// (Mark/Release), so the index of a big document stays as small as the part
// being read. Names the reader asks for are numbered once (the name table),
// so a look-up compares numbers, not texts.
//
// Results equal those of CXmlDocument with its default parsing: a text
// outside the plain form this scanner takes (a document type, processing
// instructions, character references, names beyond ASCII, another
// encoding, ...) is parsed by CXmlDocument instead, which also reports the
// errors of a text that is not well-formed.

#include "xml/XmlDocument.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace bram {

class CXmlIndex;

// A name's first 16 bytes (zero beyond its end): with the length, the name
// itself for names up to 16 characters. Made while a name is scanned.
struct SNameKey {
    std::uint64_t low = 0;
    std::uint64_t high = 0;
};

// An element of the index; a null node throws CXmlNullNodeException when
// used, as CXmlNode does. Valid while the index lives and, for content
// indexed after a Mark, until the matching Release.
class CXmlIndexNode {
public:
    CXmlIndexNode() = default;

    bool IsNull() const { return m_index == nullptr; }
    std::string_view GetName() const;
    // The name's number in the name table, or -1.
    int GetNameId() const;

    // The first child element with that name number; null when there is none.
    CXmlIndexNode Child(int nameId) const;
    // The next sibling element with that name number; null at the end.
    CXmlIndexNode NextSibling(int nameId) const;
    std::size_t CountChildren(int nameId) const;

    // The first text or CDATA child's text, or nullopt.
    std::optional<std::string_view> FindTextView() const;
    // As FindTextView, joined with the texts and CDATA sections that follow it directly.
    std::optional<std::string> FindJoinedText() const;
    // The value of the first attribute with that name number, or nullopt.
    std::optional<std::string_view> GetAttribute(int nameId) const;

private:
    friend class CXmlIndex;
    CXmlIndexNode(CXmlIndex* index, std::uint32_t id) : m_index(index), m_id(id) {}
    CXmlIndex& Checked() const;

    CXmlIndex* m_index = nullptr;
    std::uint32_t m_id = 0;
};

class CXmlIndex {
public:
    // names: the element and attribute names the reader looks up, numbered
    // from 0 in this order. Content of elements deeper than indexDepth (the
    // document element is at depth 1) is indexed when first visited.
    CXmlIndex(std::span<const std::string_view> names, int indexDepth);
    ~CXmlIndex();
    CXmlIndex(const CXmlIndex&) = delete;
    CXmlIndex& operator=(const CXmlIndex&) = delete;

    // Indexes the text, which must stay unchanged while the index is used.
    // On failure the error is CXmlDocument::LoadMemory's.
    bool Load(std::string_view text, CXmlParseError* error = nullptr);
    // The same for UTF-16LE bytes as CXmlDocument::LoadUtf16LE takes them
    // (module files); the index keeps its own UTF-8 copy of the text.
    bool LoadUtf16LE(std::string_view bytes, CXmlParseError* error = nullptr);
    // Children the reader never asks for, as (parent name, child name)
    // numbers: content indexed when first visited leaves them out, which
    // keeps that indexing lean. Call before Load.
    void SetUnread(std::span<const std::pair<int, int>> unread);

    // True when the text was parsed by CXmlDocument (not the plain form).
    bool UsedDocumentParser() const { return m_document != nullptr; }

    CXmlIndexNode GetDocumentElement();

    // Content indexed after a mark is dropped again by Release(mark).
    struct SMark {
        std::size_t elements = 0, attributes = 0, texts = 0, decoded = 0, expansions = 0;
    };
    SMark Mark() const;
    void Release(const SMark& mark);

private:
    friend class CXmlIndexNode;
    class CScanner;
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

    struct SElement {
        std::string_view name;
        int nameId = -1;
        std::uint32_t firstChild = kNone;
        std::uint32_t nextSibling = kNone;
        std::uint32_t firstAttribute = 0;
        std::uint32_t attributeCount = 0;
        std::uint32_t firstText = 0;
        std::uint32_t textCount = 0;
        // Content not indexed yet: the text between the start and the end tag.
        const char* pending = nullptr;
        std::size_t pendingSize = 0;
    };
    struct SAttribute {
        int nameId = -1;
        std::string_view value;
    };
    struct SExpansion {
        std::uint32_t element;
        const char* pending;
        std::size_t pendingSize;
    };

    static SNameKey KeyOf(std::string_view name);
    int NameId(std::string_view name, const SNameKey& key) const;
    std::uint32_t AddElement(std::string_view name, int nameId);
    bool IsUnread(int parent, int child) const
    {
        return !m_unread.empty() && parent >= 0 && child >= 0 &&
               m_unread[static_cast<std::size_t>(parent) * m_names.size() + static_cast<std::size_t>(child)];
    }
    void AddText(std::uint32_t element, std::string_view text);
    SElement& Expanded(std::uint32_t id)
    {
        SElement& element = m_elements[id];
        return element.pending == nullptr ? element : Expand(id);
    }
    SElement& Expand(std::uint32_t id);
    void Clear();
    bool IndexDocument(const CXmlDocument& document);

    std::vector<std::string_view> m_names;
    // Name numbers by key, open addressing; number -1: a free slot.
    struct SNameSlot {
        SNameKey key;
        std::size_t length = 0;
        int id = -1;
    };
    std::vector<SNameSlot> m_nameTable;
    std::vector<bool> m_unread; // by parent name * names + child name
    int m_indexDepth;
    std::vector<SElement> m_elements;
    std::vector<SAttribute> m_attributes;
    std::vector<std::string_view> m_texts;
    // Texts that differ from their source (entities, line ends).
    std::deque<std::string> m_decoded;
    std::vector<SExpansion> m_expansions;
    std::unique_ptr<CXmlDocument> m_document;
    // The text of LoadUtf16LE.
    std::unique_ptr<unsigned char[]> m_utf8;
};

} // namespace bram

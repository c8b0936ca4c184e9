#include "xml/XmlIndex.h"

#include <algorithm>
#include <array>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <climits>
#include <cstring>

namespace bram {

namespace {

// Character classes of the plain form. Names are ASCII letters, "_" and ":"
// first, then also digits, "-" and "."; the parser takes more, and those
// texts go to it.
enum : unsigned char {
    kSpace = 1,
    kNameStart = 2,
    kNameChar = 4,
    // In an attribute value: what the parser would change.
    kValueSpecial = 8,
    // In a text: what the parser would change.
    kTextSpecial = 16,
    // Ends the plain part of an attribute value: a quote, or what the parser
    // would change, or ">", which also ends every scan (see ScanDocument).
    kValueStop = 32,
    kNotSpace = 64,
};
constexpr std::array<unsigned char, 256> MakeCharTable()
{
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c) {
        unsigned char bits = 0;
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            bits |= kSpace;
        } else {
            bits |= kNotSpace;
        }
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':') {
            bits |= kNameStart | kNameChar;
        }
        if ((c >= '0' && c <= '9') || c == '-' || c == '.') {
            bits |= kNameChar;
        }
        if (c == '&' || c == '<' || c == '\t' || c == '\n' || c == '\r') {
            bits |= kValueSpecial;
        }
        if (c == '&' || c == '\r') {
            bits |= kTextSpecial;
        }
        if (c == '"' || c == '\'' || c == '>' || c == '&' || c == '<' || c == '\t' || c == '\n' || c == '\r') {
            bits |= kValueStop;
        }
        table[static_cast<std::size_t>(c)] = bits;
    }
    return table;
}
constexpr std::array<unsigned char, 256> kChars = MakeCharTable();

inline bool Is(char c, unsigned char bits) { return (kChars[static_cast<unsigned char>(c)] & bits) != 0; }

// The name going on at p (after its first character) and its key, for NameId.
inline const char* ScanName(const char* p, SNameKey& key)
{
    std::uint64_t low = static_cast<unsigned char>(p[-1]);
    std::uint64_t high = 0;
    unsigned shift = 8;
    while (Is(*p, kNameChar)) {
        const std::uint64_t c = static_cast<unsigned char>(*p);
        if (shift < 64) {
            low |= c << shift;
        } else if (shift < 128) {
            high |= c << (shift - 64);
        }
        shift += 8;
        ++p;
    }
    key = {low, high};
    return p;
}

inline std::size_t SlotOf(const SNameKey& key, std::size_t length)
{
    std::uint64_t h = (key.low ^ (key.high * 0x9E3779B97F4A7C15ULL) ^ length) * 0xFF51AFD7ED558CCDULL;
    return static_cast<std::size_t>(h ^ (h >> 29));
}

// The next "<" from p, or end: short texts (names between tags) by a
// plain loop, longer ones by memchr.
inline const char* NextTag(const char* p, const char* end)
{
    const char* stop = end - p > 32 ? p + 32 : end;
    for (const char* q = p; q < stop; ++q) {
        if (*q == '<') {
            return q;
        }
    }
    const void* lt = std::memchr(stop, '<', static_cast<std::size_t>(end - stop));
    return lt != nullptr ? static_cast<const char*>(lt) : end;
}

bool StartsWith(const char* p, const char* end, std::string_view prefix)
{
    return static_cast<std::size_t>(end - p) >= prefix.size() && std::memcmp(p, prefix.data(), prefix.size()) == 0;
}

// The text as the parser gives it: the five named entities replaced and
// "\r\n" or "\r" made "\n". False for any other "&" (character references
// and unknown entities are left to the parser).
bool DecodeText(std::string_view raw, bool entities, std::string& out)
{
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    out.clear();
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '\r') {
            out += '\n';
            i += i + 1 < raw.size() && raw[i + 1] == '\n' ? 1 : 0;
        } else if (c == '&' && entities) {
            bool known = false;
            for (const auto& [entity, character] : kEntities) {
                if (raw.substr(i, entity.size()) == entity) {
                    out += character;
                    i += entity.size() - 1;
                    known = true;
                    break;
                }
            }
            if (!known) {
                return false;
            }
        } else {
            out += c;
        }
    }
    return true;
}

} // namespace

// One scan over a text: checks that it is in the plain form and indexes the
// elements down to the recording depth.
class CXmlIndex::CScanner {
public:
    CScanner(CXmlIndex& index, const char* begin, const char* end) : m_index(index), m_p(begin), m_end(end) {}

    // The whole document, from its first byte. declaredEncoding: whether an
    // encoding the declaration names counts (it does not for UTF-16 input).
    bool ScanDocument(bool declaredEncoding = true);
    // The content of an element whose content was left for later.
    bool ScanContent(std::uint32_t element);

private:
    struct SOpen {
        std::string_view name;
        const char* contentStart = nullptr;
        std::uint32_t node = kNone; // kNone: not recorded
        std::uint32_t lastChild = kNone;
        int depth = 0;
        bool recordContent = false;
        // 0: no text yet, 1: in the first run of texts, 2: that run ended.
        unsigned char textState = 0;
    };

    bool Scan();
    bool Text(const char* end);
    bool Exclamation();
    bool StartTag();
    bool SkipContent();
    bool SkipEndTag(const char*& p);
    bool SkipText(const char*& p);
    bool SkipStartTag(const char*& p);
    void IndexStartTag();
    void SkipUnread(const char* p);
    bool Attributes(std::uint32_t node, bool& selfClosing);
    bool Attribute(const char*& p, std::uint32_t node);
    bool EndTag();
    bool CData();
    bool Comment();
    bool Declaration();
    void AddPiece(SOpen& open, std::string_view text) const;
    bool AtDocumentLevel() const { return m_documentLevel && m_top == 0; }
    SOpen& Top() { return m_open[m_top]; }
    // Each field is written in place: building an SOpen first and copying it
    // stalls on the partly written copy.
    void Push(std::string_view name, std::uint32_t node, int depth, bool recordContent)
    {
        if (++m_top == m_open.size()) {
            m_open.resize(m_open.size() * 2);
        }
        SOpen& open = m_open[m_top];
        open.name = name;
        open.contentStart = m_p;
        open.node = node;
        open.lastChild = kNone;
        open.depth = depth;
        open.recordContent = recordContent;
        open.textState = 0;
    }

    CXmlIndex& m_index;
    const char* m_p;
    const char* m_end;
    // The open elements, m_open[0] the document or the element being indexed.
    std::vector<SOpen> m_open = std::vector<SOpen>(64);
    std::size_t m_top = 0;
    bool m_documentLevel = false;
    // Elements deeper than this keep their content for later.
    int m_recordDepth = INT_MAX;
    bool m_sawRoot = false;
    bool m_declaredEncoding = true;
    std::string m_scratch;
    // The names of the elements open inside skipped content.
    std::vector<std::string_view> m_skipped;
};

bool CXmlIndex::CScanner::ScanDocument(bool declaredEncoding)
{
    m_documentLevel = true;
    m_declaredEncoding = declaredEncoding;
    m_recordDepth = m_index.m_indexDepth;
    if (std::memchr(m_p, '\0', static_cast<std::size_t>(m_end - m_p)) != nullptr) {
        return false;
    }
    // The scan ends at the last ">", after which only blanks may follow; so
    // the loops inside a tag need no end check: each stops at a ">" at last.
    while (m_end != m_p && Is(m_end[-1], kSpace)) {
        --m_end;
    }
    if (m_end == m_p || m_end[-1] != '>') {
        return false;
    }
    if (StartsWith(m_p, m_end, "\xEF\xBB\xBF")) {
        m_p += 3;
    }
    if (StartsWith(m_p, m_end, "<?xml") && Is(m_p[5], kSpace) && !Declaration()) {
        return false;
    }
    m_open[0] = {{}, nullptr, kNone, kNone, 0, true, 0};
    return Scan() && m_sawRoot;
}

bool CXmlIndex::CScanner::ScanContent(std::uint32_t element)
{
    // The content of an element the document scan checked: every tag in it
    // is known good and ends with ">", so the lean loop only indexes.
    m_open[0] = {m_index.m_elements[element].name, nullptr, element, kNone, 0, true, 0};
    while (m_p < m_end) {
        if (*m_p != '<') {
            if (!Text(NextTag(m_p, m_end))) {
                return false;
            }
            continue;
        }
        const char next = m_p[1];
        if (next == '/') {
            m_p = static_cast<const char*>(std::memchr(m_p, '>', static_cast<std::size_t>(m_end - m_p))) + 1;
            --m_top;
        } else if (next == '!') {
            if (!Exclamation()) {
                return false;
            }
        } else {
            IndexStartTag();
        }
    }
    return m_top == 0;
}

// A start tag of content known to be good: indexed with its attributes.
void CXmlIndex::CScanner::IndexStartTag()
{
    const char* nameStart = m_p + 1;
    SNameKey hash;
    const char* p = ScanName(nameStart + 1, hash);
    const std::string_view name(nameStart, static_cast<std::size_t>(p - nameStart));
    SOpen& parent = Top();
    const int nameId = m_index.NameId(name, hash);
    if (m_index.IsUnread(m_index.m_elements[parent.node].nameId, nameId)) {
        parent.textState = parent.textState == 1 ? 2 : parent.textState;
        SkipUnread(p);
        return;
    }
    const std::uint32_t node = m_index.AddElement(name, nameId);
    (parent.lastChild == kNone ? m_index.m_elements[parent.node].firstChild
                               : m_index.m_elements[parent.lastChild].nextSibling) = node;
    parent.lastChild = node;
    parent.textState = parent.textState == 1 ? 2 : parent.textState;
    for (;;) {
        while (Is(*p, kSpace)) {
            ++p;
        }
        if (*p == '>') {
            m_p = p + 1;
            Push(name, node, 0, true);
            return;
        }
        if (*p == '/') {
            m_p = p + 2;
            return;
        }
        const char* attribute = p;
        SNameKey attributeHash;
        p = ScanName(p + 1, attributeHash);
        const std::string_view attributeName(attribute, static_cast<std::size_t>(p - attribute));
        const char* value = p + 2;
        p = static_cast<const char*>(std::memchr(value, p[1], static_cast<std::size_t>(m_end - value)));
        m_index.m_attributes.push_back({m_index.NameId(attributeName, attributeHash),
                                        std::string_view(value, static_cast<std::size_t>(p - value))});
        ++m_index.m_elements[node].attributeCount;
        ++p;
    }
}

// An element of good content the reader never reads, from the end of its
// name: passed over, tags told apart by their first characters only.
void CXmlIndex::CScanner::SkipUnread(const char* p)
{
    // Values hold no ">" in the plain form, so the first one ends the tag.
    p = static_cast<const char*>(std::memchr(p, '>', static_cast<std::size_t>(m_end - p)));
    for (int depth = p[-1] == '/' ? 0 : 1; depth > 0;) {
        p = static_cast<const char*>(std::memchr(p, '<', static_cast<std::size_t>(m_end - p)));
        const std::string_view rest(p, static_cast<std::size_t>(m_end - p));
        if (rest.starts_with("<!--")) {
            p += rest.find("-->") + 2;
        } else if (rest.starts_with("<![CDATA[")) {
            p += rest.find("]]>") + 2;
        } else {
            const bool end = p[1] == '/';
            p = static_cast<const char*>(std::memchr(p, '>', static_cast<std::size_t>(m_end - p)));
            depth += end ? -1 : (p[-1] == '/' ? 0 : 1);
        }
    }
    m_p = p + 1;
}

bool CXmlIndex::CScanner::Scan()
{
    for (;;) {
        if (m_p == m_end) {
            return m_top == 0;
        }
        if (*m_p != '<') {
            if (!Text(NextTag(m_p, m_end))) {
                return false;
            }
            continue;
        }
        const char next = m_p[1];
        bool ok = false;
        if (next == '/') {
            ok = EndTag();
        } else if (Is(next, kNameStart)) {
            ok = StartTag();
        } else if (next == '!') {
            ok = Exclamation();
        }
        if (!ok) {
            return false;
        }
    }
}

bool CXmlIndex::CScanner::Text(const char* end)
{
    const std::string_view text(m_p, static_cast<std::size_t>(end - m_p));
    m_p = end;
    unsigned char seen = 0;
    for (const char c : text) {
        seen |= kChars[static_cast<unsigned char>(c)];
    }
    const bool special = (seen & kTextSpecial) != 0;
    if ((seen & kNotSpace) == 0) {
        return true; // the parser makes no node of blanks between tags
    }
    if (AtDocumentLevel()) {
        return false;
    }
    SOpen& open = Top();
    if (!special) {
        AddPiece(open, text);
        return true;
    }
    if (!DecodeText(text, true, m_scratch)) {
        return false;
    }
    if (open.recordContent && open.textState != 2) {
        m_index.m_decoded.push_back(m_scratch);
        AddPiece(open, m_index.m_decoded.back());
    }
    return true;
}

void CXmlIndex::CScanner::AddPiece(SOpen& open, std::string_view text) const
{
    if (!open.recordContent || open.textState == 2) {
        return;
    }
    open.textState = 1;
    m_index.AddText(open.node, text);
}

bool CXmlIndex::CScanner::Exclamation()
{
    if (StartsWith(m_p, m_end, "<!--")) {
        return Comment();
    }
    return StartsWith(m_p, m_end, "<![CDATA[") && !AtDocumentLevel() && CData();
}

bool CXmlIndex::CScanner::StartTag()
{
    const char* nameStart = m_p + 1;
    SNameKey hash;
    const char* p = ScanName(nameStart + 1, hash);
    const std::string_view name(nameStart, static_cast<std::size_t>(p - nameStart));
    m_p = p;
    if (AtDocumentLevel()) {
        if (m_sawRoot) {
            return false;
        }
        m_sawRoot = true;
    }
    SOpen& parent = Top();
    std::uint32_t node = kNone;
    if (parent.recordContent) {
        node = m_index.AddElement(name, m_index.NameId(name, hash));
        if (parent.lastChild == kNone) {
            if (parent.node != kNone) {
                m_index.m_elements[parent.node].firstChild = node;
            }
        } else {
            m_index.m_elements[parent.lastChild].nextSibling = node;
        }
        parent.lastChild = node;
        parent.textState = parent.textState == 1 ? 2 : parent.textState;
    }
    const int depth = parent.depth + 1;
    bool selfClosing = false;
    if (!Attributes(node, selfClosing)) {
        return false;
    }
    if (selfClosing) {
        return true;
    }
    const bool recordContent = node != kNone && depth < m_recordDepth;
    Push(name, node, depth, recordContent);
    // Content left for later is only checked here, by the lean loop.
    return recordContent || node == kNone || SkipContent();
}

// The lean loop for content left for later: checks it up to the element's
// end tag and indexes nothing.
bool CXmlIndex::CScanner::SkipContent()
{
    const char* p = m_p;
    m_skipped.clear();
    m_skipped.push_back(Top().name);
    for (;;) {
        if (p >= m_end) {
            return false; // an element left open
        }
        if (*p != '<' && !SkipText(p)) {
            return false;
        }
        const char next = p[1];
        if (next == '/') {
            const char* tagStart = p;
            if (!SkipEndTag(p)) {
                return false;
            }
            if (m_skipped.empty()) {
                SOpen& open = Top();
                if (tagStart != open.contentStart) {
                    SElement& element = m_index.m_elements[open.node];
                    element.pending = open.contentStart;
                    element.pendingSize = static_cast<std::size_t>(tagStart - open.contentStart);
                }
                --m_top;
                m_p = p;
                return true;
            }
        } else if (Is(next, kNameStart)) {
            if (!SkipStartTag(p)) {
                return false;
            }
        } else {
            m_p = p;
            if (next != '!' || !Exclamation()) {
                return false;
            }
            p = m_p;
        }
    }
}

// The start tag at p inside skipped content, checked as Attributes checks
// one; p moves past it.
bool CXmlIndex::CScanner::SkipStartTag(const char*& p)
{
    const char* q = p + 2;
    while (Is(*q, kNameChar)) {
        ++q;
    }
    const std::string_view name(p + 1, static_cast<std::size_t>(q - p - 1));
    for (;;) {
        if (*q == '>') {
            m_skipped.push_back(name);
            p = q + 1;
            return true;
        }
        if (*q == '/') {
            p = q + 2;
            return q[1] == '>';
        }
        if (!Is(*q, kSpace)) {
            return false;
        }
        while (Is(*q, kSpace)) {
            ++q;
        }
        if (!Is(*q, kNameStart)) {
            continue;
        }
        // name="value" or name='value', then a blank, "/" or ">".
        while (Is(*q, kNameChar)) {
            ++q;
        }
        if (q[0] != '=' || (q[1] != '"' && q[1] != '\'')) {
            return false;
        }
        const char quote = q[1];
        q += 2;
        while (!Is(*q, kValueStop)) {
            ++q;
        }
        if (*q != quote) {
            return false;
        }
        ++q;
        if (!Is(*q, kSpace) && *q != '/' && *q != '>') {
            return false;
        }
    }
}

// The text at p up to the next tag, which must come; only its entities
// need a look.
bool CXmlIndex::CScanner::SkipText(const char*& p)
{
    const char* q = p;
    while (q < m_end && *q != '<' && *q != '&') {
        ++q;
    }
    if (q < m_end && *q == '&') {
        const void* lt = std::memchr(q, '<', static_cast<std::size_t>(m_end - q));
        if (lt == nullptr ||
            !DecodeText(std::string_view(q, static_cast<std::size_t>(static_cast<const char*>(lt) - q)), true,
                        m_scratch)) {
            return false;
        }
        q = static_cast<const char*>(lt);
    }
    p = q;
    return q < m_end;
}

// The end tag at p of the innermost skipped element; p moves past it.
bool CXmlIndex::CScanner::SkipEndTag(const char*& p)
{
    const char* q = p + 2;
    // A name holds no ">", so the comparison stops at the last one at the latest.
    for (const char c : m_skipped.back()) {
        if (*q++ != c) {
            return false;
        }
    }
    while (Is(*q, kSpace)) {
        ++q;
    }
    if (*q != '>') {
        return false;
    }
    p = q + 1;
    m_skipped.pop_back();
    return true;
}

bool CXmlIndex::CScanner::Attributes(std::uint32_t node, bool& selfClosing)
{
    const char* p = m_p;
    for (;;) {
        while (Is(*p, kSpace)) {
            ++p;
        }
        if (*p == '>') {
            m_p = p + 1;
            return true;
        }
        if (*p == '/') {
            selfClosing = true;
            m_p = p + 2;
            return p[1] == '>';
        }
        // An attribute follows a blank, never a name or a value directly.
        if (!Is(*p, kNameStart) || !Is(p[-1], kSpace) || !Attribute(p, node)) {
            return false;
        }
    }
}

bool CXmlIndex::CScanner::Attribute(const char*& p, std::uint32_t node)
{
    const char* nameStart = p;
    SNameKey hash;
    p = ScanName(p + 1, hash);
    const std::string_view name(nameStart, static_cast<std::size_t>(p - nameStart));
    if (p[0] != '=' || (p[1] != '"' && p[1] != '\'')) {
        return false;
    }
    const char quote = p[1];
    const char* value = p + 2;
    const char* close = value;
    // Values the parser would change (and the rare ">" or other quote) go to the parser.
    while (!Is(*close, kValueStop)) {
        ++close;
    }
    if (*close != quote) {
        return false;
    }
    p = close + 1;
    if (!Is(*p, kSpace) && *p != '/' && *p != '>' && *p != '?') {
        return false;
    }
    if (node != kNone) {
        m_index.m_attributes.push_back(
            {m_index.NameId(name, hash), std::string_view(value, static_cast<std::size_t>(close - value))});
        ++m_index.m_elements[node].attributeCount;
    }
    return true;
}

bool CXmlIndex::CScanner::EndTag()
{
    if (m_top == 0) {
        return false; // the document level, or the end of the element being indexed
    }
    const SOpen& open = Top();
    const char* tagStart = m_p;
    const char* p = m_p + 2;
    // A name holds no ">", so the comparison stops at the last one at the latest.
    for (const char c : open.name) {
        if (*p++ != c) {
            return false;
        }
    }
    while (Is(*p, kSpace)) {
        ++p;
    }
    if (*p != '>') {
        return false;
    }
    m_p = p + 1;
    if (open.node != kNone && !open.recordContent && tagStart != open.contentStart) {
        SElement& element = m_index.m_elements[open.node];
        element.pending = open.contentStart;
        element.pendingSize = static_cast<std::size_t>(tagStart - open.contentStart);
    }
    --m_top;
    return true;
}

bool CXmlIndex::CScanner::CData()
{
    const char* content = m_p + 9;
    const std::string_view rest(content, static_cast<std::size_t>(m_end - content));
    const std::size_t close = rest.find("]]>");
    if (close == std::string_view::npos) {
        return false;
    }
    m_p = content + close + 3;
    SOpen& open = Top();
    if (!open.recordContent || open.textState == 2) {
        return true;
    }
    const std::string_view text = rest.substr(0, close);
    if (text.find('\r') == std::string_view::npos) {
        AddPiece(open, text);
    } else {
        DecodeText(text, false, m_scratch);
        m_index.m_decoded.push_back(m_scratch);
        AddPiece(open, m_index.m_decoded.back());
    }
    return true;
}

bool CXmlIndex::CScanner::Comment()
{
    const char* content = m_p + 4;
    const std::size_t close = std::string_view(content, static_cast<std::size_t>(m_end - content)).find("-->");
    if (close == std::string_view::npos) {
        return false;
    }
    m_p = content + close + 3;
    return true;
}

bool CXmlIndex::CScanner::Declaration()
{
    // <?xml version="1.0" encoding="utf-8"?>, attributes as in start tags,
    // not kept; an encoding other than UTF-8 goes to the parser.
    const char* p = m_p + 5;
    for (;;) {
        while (Is(*p, kSpace)) {
            ++p;
        }
        if (StartsWith(p, m_end, "?>")) {
            m_p = p + 2;
            return true;
        }
        if (!Is(*p, kNameStart) || !Is(p[-1], kSpace)) {
            return false;
        }
        const char* name = p;
        if (!Attribute(p, kNone)) {
            return false;
        }
        const std::string_view text(name, static_cast<std::size_t>(p - name));
        if (m_declaredEncoding && text.starts_with("encoding=") && text.substr(10, text.size() - 11) != "utf-8" &&
            text.substr(10, text.size() - 11) != "UTF-8") {
            return false;
        }
    }
}

// ---- the index ----------------------------------------------------------------

namespace {
// Indexes this deep take the whole text up front.
constexpr int kReserveDepth = 64;
} // namespace

SNameKey CXmlIndex::KeyOf(std::string_view name)
{
    SNameKey key;
    for (std::size_t i = 0; i < name.size() && i < 16; ++i) {
        (i < 8 ? key.low : key.high) |= static_cast<std::uint64_t>(static_cast<unsigned char>(name[i]))
                                        << (8 * (i % 8));
    }
    return key;
}

CXmlIndex::CXmlIndex(std::span<const std::string_view> names, int indexDepth)
    : m_names(names.begin(), names.end()), m_indexDepth(indexDepth)
{
    std::size_t size = 64;
    while (size < 4 * m_names.size()) {
        size *= 2;
    }
    m_nameTable.assign(size, {});
    for (std::size_t id = 0; id < m_names.size(); ++id) {
        const SNameKey key = KeyOf(m_names[id]);
        std::size_t slot = SlotOf(key, m_names[id].size()) & (size - 1);
        while (m_nameTable[slot].id >= 0) {
            slot = (slot + 1) & (size - 1);
        }
        m_nameTable[slot] = {key, m_names[id].size(), static_cast<int>(id)};
    }
}

CXmlIndex::~CXmlIndex() = default;

void CXmlIndex::SetUnread(std::span<const std::pair<int, int>> unread)
{
    m_unread.assign(m_names.size() * m_names.size(), false);
    for (const auto& [parent, child] : unread) {
        m_unread[static_cast<std::size_t>(parent) * m_names.size() + static_cast<std::size_t>(child)] = true;
    }
}

int CXmlIndex::NameId(std::string_view name, const SNameKey& key) const
{
    const std::size_t mask = m_nameTable.size() - 1;
    for (std::size_t slot = SlotOf(key, name.size()) & mask;; slot = (slot + 1) & mask) {
        const SNameSlot& known = m_nameTable[slot];
        if (known.id < 0) {
            return -1;
        }
        // The key is the whole name up to 16 characters; longer ones compare the rest.
        if (known.key.low == key.low && known.key.high == key.high && known.length == name.size() &&
            (name.size() <= 16 || m_names[static_cast<std::size_t>(known.id)].substr(16) == name.substr(16))) {
            return known.id;
        }
    }
}

std::uint32_t CXmlIndex::AddElement(std::string_view name, int nameId)
{
    const auto id = static_cast<std::uint32_t>(m_elements.size());
    SElement& element = m_elements.emplace_back();
    element.name = name;
    element.nameId = nameId;
    element.firstAttribute = static_cast<std::uint32_t>(m_attributes.size());
    return id;
}

void CXmlIndex::AddText(std::uint32_t element, std::string_view text)
{
    SElement& e = m_elements[element];
    if (e.textCount == 0) {
        e.firstText = static_cast<std::uint32_t>(m_texts.size());
    }
    ++e.textCount;
    m_texts.push_back(text);
}

void CXmlIndex::Clear()
{
    m_elements.clear();
    m_attributes.clear();
    m_texts.clear();
    m_decoded.clear();
    m_expansions.clear();
    m_document.reset();
}

bool CXmlIndex::Load(std::string_view text, CXmlParseError* error)
{
    Clear();
    CScanner scanner(*this, text.data(), text.data() + text.size());
    if (scanner.ScanDocument()) {
        return true;
    }
    Clear();
    m_document = std::make_unique<CXmlDocument>();
    if (!m_document->LoadMemory(text, error)) {
        return false;
    }
    return IndexDocument(*m_document);
}

namespace {

// UTF-16LE as the parser converts it, for the plain case only: false for a
// U+0000 (where the parser stops) and for a surrogate without its partner.
// Writes one unit or pair at i (advancing i past a pair); false where the parser would stop or differ.
bool EncodeUnit(const unsigned char* p, std::size_t units, std::size_t& i, unsigned char*& o)
{
    const unsigned c = p[2 * i] | (static_cast<unsigned>(p[2 * i + 1]) << 8);
    if (c - 1 < 0x7F) {
        *o++ = static_cast<unsigned char>(c);
    } else if (c == 0 || (c >= 0xDC00 && c < 0xE000)) {
        return false;
    } else if (c < 0x800) {
        *o++ = static_cast<unsigned char>(0xC0 | (c >> 6));
        *o++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
    } else if (c < 0xD800 || c >= 0xE000) {
        *o++ = static_cast<unsigned char>(0xE0 | (c >> 12));
        *o++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
        *o++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
    } else {
        // A pair takes two units and four bytes: within the room of two units.
        const unsigned low = i + 1 < units ? (p[2 * i + 2] | (static_cast<unsigned>(p[2 * i + 3]) << 8)) : 0;
        if (low < 0xDC00 || low >= 0xE000) {
            return false;
        }
        const unsigned code = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        *o++ = static_cast<unsigned char>(0xF0 | (code >> 18));
        *o++ = static_cast<unsigned char>(0x80 | ((code >> 12) & 0x3F));
        *o++ = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
        *o++ = static_cast<unsigned char>(0x80 | (code & 0x3F));
        ++i;
    }
    return true;
}

// UTF-16LE as the parser converts it, for the plain case only: false for a
// U+0000 (where the parser stops) and for a surrogate without its partner.
// out has room for three bytes a unit; returns the length written.
bool Utf16LEToUtf8(std::string_view bytes, unsigned char* out, std::size_t& written)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t units = bytes.size() / 2;
    unsigned char* o = out;
    std::size_t i = units > 0 && p[0] == 0xFF && p[1] == 0xFE ? 1 : 0; // after a byte order mark
    while (i < units) {
#if defined(__SSE2__)
        // Eight units of ASCII (none zero) at a time.
        if (i + 8 <= units) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * i));
            const __m128i high = _mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xFF80)));
            const __m128i zero = _mm_cmpeq_epi16(v, _mm_setzero_si128());
            if (_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(high, _mm_setzero_si128()), zero)) == 0xFFFF &&
                _mm_movemask_epi8(zero) == 0) {
                _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(v, v));
                o += 8;
                i += 8;
                continue;
            }
        }
#endif
        if (!EncodeUnit(p, units, i, o)) {
            return false;
        }
        ++i;
    }
    written = static_cast<std::size_t>(o - out);
    return true;
}

} // namespace

bool CXmlIndex::LoadUtf16LE(std::string_view bytes, CXmlParseError* error)
{
    Clear();
    // No zeroed string: three bytes a unit is room enough, and most stays untouched.
    m_utf8 = std::make_unique_for_overwrite<unsigned char[]>(bytes.size() / 2 * 3 + 1);
    std::size_t size = 0;
    if (Utf16LEToUtf8(bytes, m_utf8.get(), size)) {
        const auto* text = reinterpret_cast<const char*>(m_utf8.get());
        if (m_indexDepth > kReserveDepth) {
            // An element takes some 30 bytes of text; growing by doubling costs more.
            m_elements.reserve(size / 32);
            m_texts.reserve(size / 48);
        }
        CScanner scanner(*this, text, text + size);
        if (scanner.ScanDocument(false)) {
            return true;
        }
    }
    Clear();
    m_utf8.reset();
    m_document = std::make_unique<CXmlDocument>();
    if (!m_document->LoadUtf16LE(bytes, error)) {
        return false;
    }
    return IndexDocument(*m_document);
}

bool CXmlIndex::IndexDocument(const CXmlDocument& document)
{
    // Without recursion: the parser takes any depth.
    const pugi::xml_node root = document.GetDocumentElement().Native();
    if (!root) {
        return true;
    }
    struct SStep {
        pugi::xml_node node;
        std::uint32_t parent;
    };
    std::vector<SStep> todo{{root, kNone}};
    std::vector<std::uint32_t> lastChild; // by element
    while (!todo.empty()) {
        const SStep step = todo.back();
        todo.pop_back();
        const std::uint32_t id = AddElement(step.node.name(), NameId(step.node.name(), KeyOf(step.node.name())));
        lastChild.push_back(kNone);
        if (step.parent != kNone) {
            std::uint32_t& last = lastChild[step.parent];
            (last == kNone ? m_elements[step.parent].firstChild : m_elements[last].nextSibling) = id;
            last = id;
        }
        for (pugi::xml_attribute a = step.node.first_attribute(); a; a = a.next_attribute()) {
            m_attributes.push_back({NameId(a.name(), KeyOf(a.name())), a.value()});
            ++m_elements[id].attributeCount;
        }
        int textState = 0;
        const std::size_t firstChild = todo.size();
        for (pugi::xml_node child = step.node.first_child(); child; child = child.next_sibling()) {
            const bool text = child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata;
            if (text && textState != 2) {
                textState = 1;
                AddText(id, child.value());
            } else if (!text) {
                textState = textState == 1 ? 2 : textState;
            }
            if (child.type() == pugi::node_element) {
                todo.push_back({child, id});
            }
        }
        // Children are taken from the back: keep their order.
        std::reverse(todo.begin() + static_cast<std::ptrdiff_t>(firstChild), todo.end());
    }
    return true;
}

CXmlIndexNode CXmlIndex::GetDocumentElement() { return m_elements.empty() ? CXmlIndexNode() : CXmlIndexNode(this, 0); }

CXmlIndex::SElement& CXmlIndex::Expand(std::uint32_t id)
{
    SElement& element = m_elements[id];
    const SExpansion expansion{id, element.pending, element.pendingSize};
    element.pending = nullptr;
    m_expansions.push_back(expansion);
    CScanner scanner(*this, expansion.pending, expansion.pending + expansion.pendingSize);
    // The whole document was scanned once already.
    scanner.ScanContent(id);
    return m_elements[id];
}

CXmlIndex::SMark CXmlIndex::Mark() const
{
    return {m_elements.size(), m_attributes.size(), m_texts.size(), m_decoded.size(), m_expansions.size()};
}

void CXmlIndex::Release(const SMark& mark)
{
    while (m_expansions.size() > mark.expansions) {
        const SExpansion& expansion = m_expansions.back();
        SElement& element = m_elements[expansion.element];
        element.firstChild = kNone;
        element.textCount = 0;
        element.pending = expansion.pending;
        element.pendingSize = expansion.pendingSize;
        m_expansions.pop_back();
    }
    m_elements.resize(mark.elements);
    m_attributes.resize(mark.attributes);
    m_texts.resize(mark.texts);
    while (m_decoded.size() > mark.decoded) {
        m_decoded.pop_back();
    }
}

// ---- nodes ------------------------------------------------------------------------

CXmlIndex& CXmlIndexNode::Checked() const
{
    if (m_index == nullptr) {
        throw CXmlNullNodeException();
    }
    return *m_index;
}

std::string_view CXmlIndexNode::GetName() const { return Checked().m_elements[m_id].name; }

int CXmlIndexNode::GetNameId() const { return Checked().m_elements[m_id].nameId; }

CXmlIndexNode CXmlIndexNode::Child(int nameId) const
{
    CXmlIndex& index = Checked();
    for (std::uint32_t child = index.Expanded(m_id).firstChild; child != CXmlIndex::kNone;
         child = index.m_elements[child].nextSibling) {
        if (index.m_elements[child].nameId == nameId) {
            return {m_index, child};
        }
    }
    return {};
}

CXmlIndexNode CXmlIndexNode::NextSibling(int nameId) const
{
    CXmlIndex& index = Checked();
    for (std::uint32_t sibling = index.m_elements[m_id].nextSibling; sibling != CXmlIndex::kNone;
         sibling = index.m_elements[sibling].nextSibling) {
        if (index.m_elements[sibling].nameId == nameId) {
            return {m_index, sibling};
        }
    }
    return {};
}

std::size_t CXmlIndexNode::CountChildren(int nameId) const
{
    std::size_t count = 0;
    for (CXmlIndexNode child = Child(nameId); !child.IsNull(); child = child.NextSibling(nameId)) {
        ++count;
    }
    return count;
}

std::optional<std::string_view> CXmlIndexNode::FindTextView() const
{
    CXmlIndex& index = Checked();
    const CXmlIndex::SElement& element = index.Expanded(m_id);
    if (element.textCount == 0) {
        return std::nullopt;
    }
    return index.m_texts[element.firstText];
}

std::optional<std::string> CXmlIndexNode::FindJoinedText() const
{
    CXmlIndex& index = Checked();
    const CXmlIndex::SElement& element = index.Expanded(m_id);
    if (element.textCount == 0) {
        return std::nullopt;
    }
    std::string text(index.m_texts[element.firstText]);
    for (std::uint32_t i = 1; i < element.textCount; ++i) {
        text += index.m_texts[element.firstText + i];
    }
    return text;
}

std::optional<std::string_view> CXmlIndexNode::GetAttribute(int nameId) const
{
    const CXmlIndex& index = Checked();
    const CXmlIndex::SElement& element = index.m_elements[m_id];
    for (std::uint32_t i = 0; i < element.attributeCount; ++i) {
        const CXmlIndex::SAttribute& attribute = index.m_attributes[element.firstAttribute + i];
        if (attribute.nameId == nameId) {
            return attribute.value;
        }
    }
    return std::nullopt;
}

} // namespace bram

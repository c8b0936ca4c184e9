#pragma once
// Writes XML text straight into a string, element by element, without
// building a document first: the bytes are those CXmlDocument::SaveToString
// (raw, UTF-8) gives for the same nodes, so a writer can move from one to
// the other without changing its files. A text or value ends at a NUL, as
// in the document.

#include <string>
#include <string_view>
#include <vector>

namespace bram {

class CXmlWriter {
public:
    explicit CXmlWriter(std::string& out) : m_out(out) {}

    // <?xml version="1.0" encoding="utf-8"?>
    void Declaration();
    // Names are kept until the element ends: literals, or texts that outlive it.
    void StartElement(std::string_view name);
    // Only between StartElement and the element's first content.
    void Attribute(std::string_view name, std::string_view value);
    // An empty text still counts as content: <Name></Name>.
    void Text(std::string_view text);
    // "]]>" is split over two sections, as the document does.
    void CData(std::string_view text);
    // "<Name/>" for an element without content.
    void EndElement();

    void TextElement(std::string_view name, std::string_view text)
    {
        StartElement(name);
        Text(text);
        EndElement();
    }
    void CDataElement(std::string_view name, std::string_view text)
    {
        StartElement(name);
        CData(text);
        EndElement();
    }

private:
    void CloseStartTag();
    void Escaped(std::string_view text, bool attribute);

    std::string& m_out;
    std::vector<std::string_view> m_open;
    bool m_startTagOpen = false;
};

} // namespace bram

#include "xml/XmlWriter.h"

#include <cstring>

namespace bram {

namespace {

std::string_view UpToNul(std::string_view text)
{
    if (text.empty()) {
        return text; // memchr must not see the null pointer of an empty view
    }
    const void* nul = std::memchr(text.data(), '\0', text.size());
    return nul == nullptr ? text
                          : text.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) - text.data()));
}

} // namespace

void CXmlWriter::Declaration() { m_out += "<?xml version=\"1.0\" encoding=\"utf-8\"?>"; }

void CXmlWriter::StartElement(std::string_view name)
{
    CloseStartTag();
    m_out += '<';
    m_out += name;
    m_open.push_back(name);
    m_startTagOpen = true;
}

void CXmlWriter::Attribute(std::string_view name, std::string_view value)
{
    m_out += ' ';
    m_out += name;
    m_out += "=\"";
    Escaped(UpToNul(value), true);
    m_out += '"';
}

void CXmlWriter::CloseStartTag()
{
    if (m_startTagOpen) {
        m_out += '>';
        m_startTagOpen = false;
    }
}

void CXmlWriter::Text(std::string_view text)
{
    CloseStartTag();
    Escaped(UpToNul(text), false);
}

void CXmlWriter::CData(std::string_view text)
{
    CloseStartTag();
    text = UpToNul(text);
    m_out += "<![CDATA[";
    // A reader turns a carriage return inside CDATA into a line feed; as a
    // character reference between two sections it reads back as itself.
    for (std::size_t end = text.find_first_of("]\r"); end != std::string_view::npos;
         end = text.find_first_of("]\r", end)) {
        if (text[end] == '\r') {
            m_out.append(text.substr(0, end));
            m_out += "]]>&#13;<![CDATA[";
            text.remove_prefix(end + 1);
            end = 0;
        } else if (text.substr(end).starts_with("]]>")) {
            m_out.append(text.substr(0, end + 2));
            m_out += "]]><![CDATA[";
            text.remove_prefix(end + 2);
            end = 0;
        } else {
            ++end;
        }
    }
    m_out += text;
    m_out += "]]>";
}

void CXmlWriter::EndElement()
{
    const std::string_view name = m_open.back();
    m_open.pop_back();
    if (m_startTagOpen) {
        m_out += "/>";
        m_startTagOpen = false;
        return;
    }
    m_out += "</";
    m_out += name;
    m_out += '>';
}

void CXmlWriter::Escaped(std::string_view text, bool attribute)
{
    std::size_t plain = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const char* entity = nullptr;
        char numeric[6];
        switch (c) {
        case '&': entity = "&amp;"; break;
        case '<': entity = "&lt;"; break;
        case '>': entity = attribute ? nullptr : "&gt;"; break;
        case '"': entity = attribute ? "&quot;" : nullptr; break;
        default:
            // Control characters as two-digit references; a text keeps tabs and line breaks.
            if (c < 32 && (attribute || (c != '\t' && c != '\n' && c != '\r'))) {
                numeric[0] = '&';
                numeric[1] = '#';
                numeric[2] = static_cast<char>('0' + c / 10);
                numeric[3] = static_cast<char>('0' + c % 10);
                numeric[4] = ';';
                numeric[5] = '\0';
                entity = numeric;
            }
            break;
        }
        if (entity != nullptr) {
            m_out.append(text.substr(plain, i - plain));
            m_out += entity;
            plain = i + 1;
        }
    }
    m_out.append(text.substr(plain));
}

} // namespace bram

#include "home/key_file_xml.h"

#include <array>
#include <climits>
#include <cstdint>
#include <unordered_map>

namespace fenno {

namespace {

constexpr size_t npos = std::string_view::npos;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Deliberately loose: anything that cannot end a name or start a value belongs to it.
bool IsNameChar(char c) {
    return !IsSpace(c) && c != '/' && c != '>' && c != '<' && c != '=' && c != '"' && c != '\'';
}

bool StartsAt(std::string_view t, size_t pos, std::string_view marker) {
    return t.substr(pos, marker.size()) == marker;
}

size_t SkipPast(std::string_view t, size_t from, std::string_view marker) {
    const size_t e = t.find(marker, from);
    return e == npos ? t.size() : e + marker.size();
}

// <!DOCTYPE …> and similar: ends at the first '>' outside quotes and brackets.
size_t SkipMarkupDeclaration(std::string_view t, size_t p) {
    int depth = 0;
    char quote = 0;
    for (; p < t.size(); ++p) {
        const char c = t[p];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[') {
            ++depth;
        } else if (c == ']') {
            if (depth > 0) --depth;
        } else if (c == '>' && depth == 0) {
            return p + 1;
        }
    }
    return t.size();
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

bool StartsWithNoCase(std::string_view a, std::string_view prefix) {
    return a.size() >= prefix.size() && EqualsNoCase(a.substr(0, prefix.size()), prefix);
}

struct Span {
    size_t begin = 0, end = 0;
};

// The quoted value of the declaration's encoding pseudo-attribute, when the text starts with a
// complete declaration that has one.
bool FindDeclaredEncoding(std::string_view t, Span* value) {
    if (!StartsAt(t, 0, "<?xml") || t.size() < 6 || !IsSpace(t[5])) return false;
    const size_t close = t.find("?>");
    if (close == npos) return false;
    size_t p = 5;
    for (;;) {
        while (p < close && IsSpace(t[p]))
            ++p;
        const size_t nameBegin = p;
        while (p < close && IsNameChar(t[p]) && t[p] != '?')
            ++p;
        if (p == nameBegin) return false;
        const std::string_view name = t.substr(nameBegin, p - nameBegin);
        while (p < close && IsSpace(t[p]))
            ++p;
        if (p >= close || t[p] != '=') return false;
        ++p;
        while (p < close && IsSpace(t[p]))
            ++p;
        if (p >= close || (t[p] != '"' && t[p] != '\'')) return false;
        const char quote = t[p];
        const size_t end = t.find(quote, p + 1);
        if (end == npos || end > close) return false;
        if (name == "encoding") {
            *value = {p + 1, end};
            return true;
        }
        p = end + 1;
    }
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// Decodes the entity in `body` (between '&' and ';'); false when it is not one we know.
bool DecodeEntity(std::string_view body, std::string& out) {
    static constexpr std::array<std::pair<std::string_view, char>, 5> kNamed{
        {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}}};
    for (const auto& [name, c] : kNamed) {
        if (body == name) {
            out += c;
            return true;
        }
    }
    if (body.size() < 2 || body[0] != '#') return false;
    const bool hex = body[1] == 'x' || body[1] == 'X';
    const std::string_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty()) return false;
    uint64_t cp = 0;
    for (char c : digits) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (hex && Lower(c) >= 'a' && Lower(c) <= 'f')
            d = Lower(c) - 'a' + 10;
        else
            return false;
        cp = cp * (hex ? 16 : 10) + uint64_t(d);
        if (cp > 0x10FFFF) return false;
    }
    if (cp >= 0xD800 && cp <= 0xDFFF) return false;
    AppendUtf8(out, uint32_t(cp));
    return true;
}

} // namespace

std::string XmlReasonText(unsigned reasons) {
    static constexpr std::array<std::pair<unsigned, std::string_view>, 4> kNames{{
        {kXmlNoRootElement, "no_root_element"},
        {kXmlRootHasSibling, "root_has_sibling"},
        {kXmlUnendedStartTag, "unended_start_tag"},
        {kXmlLoneEndTag, "lone_end_tag"},
    }};
    std::string text;
    for (const auto& [bit, name] : kNames) {
        if (!(reasons & bit)) continue;
        if (!text.empty()) text += ", ";
        text += name;
    }
    return text;
}

XmlSourceEncoding DetectXmlEncoding(std::string_view bytes) {
    auto at = [&](size_t i) { return i < bytes.size() ? uint8_t(bytes[i]) : -1; };
    auto starts = [&](std::initializer_list<int> pattern) {
        size_t i = 0;
        for (int b : pattern)
            if (at(i++) != b) return false;
        return true;
    };
    if (starts({0xEF, 0xBB, 0xBF})) return {XmlEncoding::Utf8, 3, {}};
    if (starts({0x00, 0x00, 0xFE, 0xFF})) return {XmlEncoding::Utf32BE, 4, {}};
    if (starts({0xFF, 0xFE, 0x00, 0x00})) return {XmlEncoding::Utf32LE, 4, {}};
    if (starts({0xFE, 0xFF})) return {XmlEncoding::Utf16BE, 2, {}};
    if (starts({0xFF, 0xFE})) return {XmlEncoding::Utf16LE, 2, {}};
    if (starts({0x3C, 0x00, 0x00, 0x00})) return {XmlEncoding::Utf32LE, 0, {}};
    if (starts({0x00, 0x00, 0x00, 0x3C})) return {XmlEncoding::Utf32BE, 0, {}};
    if (starts({0x3C, 0x00})) return {XmlEncoding::Utf16LE, 0, {}};
    if (starts({0x00, 0x3C})) return {XmlEncoding::Utf16BE, 0, {}};

    Span v;
    if (!FindDeclaredEncoding(bytes, &v)) return {};
    const std::string_view name = bytes.substr(v.begin, v.end - v.begin);
    // A declaration that names a wide encoding over bytes that are plainly 8-bit is wrong about
    // itself; the bytes decide.
    if (name.empty() || EqualsNoCase(name, "UTF-8") || EqualsNoCase(name, "UTF8") ||
        StartsWithNoCase(name, "UTF-16") || StartsWithNoCase(name, "UTF-32") ||
        StartsWithNoCase(name, "UCS-2") || StartsWithNoCase(name, "UCS-4"))
        return {};
    return {XmlEncoding::Named, 0, std::string(name)};
}

std::string XmlEscape(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            if (uint8_t(c) < 0x20) {
                out += "&#";
                out += std::to_string(int(uint8_t(c)));
                out += ';';
            } else {
                out += c;
            }
        }
    }
    return out;
}

std::string XmlUnescape(std::string_view raw) {
    // Longest entity we decode: "&#x10FFFF;" and leading zeros are not worth more.
    constexpr size_t kMaxEntity = 12;
    std::string out;
    out.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '&') {
            const size_t semi = raw.substr(i + 1, kMaxEntity).find(';');
            if (semi != npos && DecodeEntity(raw.substr(i + 1, semi), out)) {
                i += semi + 1;
                continue;
            }
        }
        out += raw[i];
    }
    return out;
}

int XmlToInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (IsSpace(text[i]) || text[i] == '\v' || text[i] == '\f'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        v = v * 10 + (text[i] - '0');
        if (v > int64_t(INT_MAX) + 1) v = int64_t(INT_MAX) + 1;
    }
    if (negative) return int(-v);
    return v > INT_MAX ? INT_MAX : int(v);
}

std::string_view XmlDocument::Name(int element) const {
    if (element < 0 || size_t(element) >= m_elements.size()) return {};
    const XmlElement& e = m_elements[size_t(element)];
    return Slice(e.nameBegin, e.nameEnd);
}

int XmlDocument::FirstChild(int element, std::string_view name) const {
    if (element < 0 || size_t(element) >= m_elements.size()) return -1;
    int c = m_elements[size_t(element)].firstChild;
    while (c >= 0 && Name(c) != name)
        c = m_elements[size_t(c)].nextSibling;
    return c;
}

int XmlDocument::NextSibling(int element, std::string_view name) const {
    if (element < 0 || size_t(element) >= m_elements.size()) return -1;
    int c = m_elements[size_t(element)].nextSibling;
    while (c >= 0 && Name(c) != name)
        c = m_elements[size_t(c)].nextSibling;
    return c;
}

int XmlDocument::Find(int element, std::string_view name) const {
    if (element < 0 || size_t(element) >= m_elements.size()) return -1;
    const XmlElement& e = m_elements[size_t(element)];
    for (uint32_t i = e.firstAttr; i < e.firstAttr + e.attrCount; ++i) {
        const XmlAttribute& a = m_attrs[i];
        if (Slice(a.nameBegin, a.nameEnd) == name) return int(i);
    }
    return -1;
}

std::string XmlDocument::Attribute(int element, std::string_view name) const {
    const int i = Find(element, name);
    if (i < 0) return {};
    const XmlAttribute& a = m_attrs[size_t(i)];
    return XmlUnescape(Slice(a.valueBegin, a.valueEnd));
}

bool XmlDocument::SetAttribute(int element, std::string_view name, std::string_view value) {
    if (element < 0 || size_t(element) >= m_elements.size()) return false;
    const std::string quoted = "\"" + XmlEscape(value) + "\"";
    const int i = Find(element, name);
    if (i < 0) {
        m_text.insert(m_elements[size_t(element)].attrEnd, " " + std::string(name) + "=" + quoted);
    } else {
        const XmlAttribute& a = m_attrs[size_t(i)];
        if (a.quote) // keep the file's own quotes; the escaping covers either kind
            m_text.replace(a.valueBegin, a.valueEnd - a.valueBegin, XmlEscape(value));
        else if (a.hasValue)
            m_text.replace(a.valueBegin, a.valueEnd - a.valueBegin, quoted);
        else
            m_text.insert(a.nameEnd, "=" + quoted);
    }
    // The edit adds no markup, so the new parse has the same elements, shifted.
    Parse();
    return true;
}

void XmlDocument::SetDeclaredEncodingUtf8() {
    Span v;
    if (!FindDeclaredEncoding(m_text, &v)) return;
    m_text.replace(v.begin, v.end - v.begin, "UTF-8");
    Parse();
}

void XmlDocument::Parse() {
    m_elements.clear();
    m_attrs.clear();
    m_reasons = 0;
    m_root = -1;

    const std::string_view t = m_text;
    const size_t n = t.size();
    std::vector<int> open; // elements whose end tag is still to come, innermost last
    std::unordered_map<std::string_view, int> openNames;
    int topLevel = 0;

    auto addElement = [&](XmlElement e) {
        const int idx = int(m_elements.size());
        e.parent = open.empty() ? -1 : open.back();
        if (e.parent < 0) {
            ++topLevel;
            if (m_root < 0) m_root = idx;
        } else {
            XmlElement& parent = m_elements[size_t(e.parent)];
            if (parent.lastChild >= 0)
                m_elements[size_t(parent.lastChild)].nextSibling = idx;
            else
                parent.firstChild = idx;
            parent.lastChild = idx;
        }
        m_elements.push_back(e);
        return idx;
    };

    size_t pos = 0;
    while (pos < n) {
        if (t[pos] != '<') { // text and anything else outside markup is of no interest
            const size_t next = t.find('<', pos);
            pos = next == npos ? n : next;
            continue;
        }
        if (StartsAt(t, pos, "<?")) {
            pos = SkipPast(t, pos + 2, "?>");
            continue;
        }
        if (StartsAt(t, pos, "<!--")) {
            pos = SkipPast(t, pos + 4, "-->");
            continue;
        }
        if (StartsAt(t, pos, "<![CDATA[")) {
            pos = SkipPast(t, pos + 9, "]]>");
            continue;
        }
        if (StartsAt(t, pos, "<!")) {
            pos = SkipMarkupDeclaration(t, pos + 2);
            continue;
        }
        if (StartsAt(t, pos, "</")) {
            size_t p = pos + 2;
            while (p < n && IsNameChar(t[p]))
                ++p;
            const std::string_view name = t.substr(pos + 2, p - pos - 2);
            const size_t close = t.find_first_of("<>", p);
            if (close == npos || t[close] == '<' || name.empty()) {
                // A cut-off end tag closes nothing.
                m_reasons |= kXmlLoneEndTag;
                pos = close == npos ? n : (t[close] == '<' ? close : close + 1);
                continue;
            }
            pos = close + 1;
            // Counting open names keeps a run of lone end tags under deep nesting linear.
            const auto it = openNames.find(name);
            if (it == openNames.end() || it->second == 0) {
                m_reasons |= kXmlLoneEndTag;
                continue;
            }
            for (;;) {
                const int top = open.back();
                open.pop_back();
                --openNames[Name(top)];
                if (Name(top) == name) break;
                m_reasons |= kXmlUnendedStartTag;
            }
            continue;
        }
        if (pos + 1 >= n || !IsNameChar(t[pos + 1])) { // a bare '<' in text
            ++pos;
            continue;
        }

        XmlElement e;
        e.begin = pos;
        e.nameBegin = pos + 1;
        size_t p = e.nameBegin;
        while (p < n && IsNameChar(t[p]))
            ++p;
        e.nameEnd = e.attrEnd = p;
        e.firstAttr = uint32_t(m_attrs.size());
        bool ended = false, selfClosing = false;
        for (;;) {
            while (p < n && IsSpace(t[p]))
                ++p;
            if (p >= n) break;
            const char c = t[p];
            if (c == '>') {
                ++p;
                ended = true;
                break;
            }
            if (c == '/') {
                if (p + 1 < n && t[p + 1] == '>') {
                    p += 2;
                    ended = selfClosing = true;
                    break;
                }
                ++p;
                continue;
            }
            if (c == '<') break;         // the next tag starts before this one ended
            if (c == '"' || c == '\'') { // a value without a name
                const char stop[] = {c, '<', 0};
                const size_t q = t.find_first_of(stop, p + 1);
                if (q == npos || t[q] == '<') {
                    p = q == npos ? n : q;
                    break;
                }
                p = q + 1;
                continue;
            }
            if (c == '=') {
                ++p;
                continue;
            }

            XmlAttribute a;
            a.nameBegin = p;
            while (p < n && IsNameChar(t[p]))
                ++p;
            a.nameEnd = a.valueBegin = a.valueEnd = p;
            size_t q = p;
            while (q < n && IsSpace(t[q]))
                ++q;
            if (q < n && t[q] == '=') {
                const size_t afterEquals = ++q;
                while (q < n && IsSpace(t[q]))
                    ++q;
                if (q < n && (t[q] == '"' || t[q] == '\'')) {
                    // '<' cannot stand in a value: seeing one means the tag was cut off.
                    const char stop[] = {t[q], '<', 0};
                    const size_t close = t.find_first_of(stop, q + 1);
                    if (close == npos || t[close] == '<') {
                        p = close == npos ? n : close;
                        break;
                    }
                    a.quote = t[q];
                    a.valueBegin = q + 1;
                    a.valueEnd = close;
                    p = close + 1;
                } else {
                    // An unquoted value starts right at the '='. Were "b= c" read as b="c", an
                    // attribute added after an empty "b=" would turn into b's value.
                    q = a.valueBegin = afterEquals;
                    while (q < n && !IsSpace(t[q]) && t[q] != '>' && t[q] != '<' &&
                           !(t[q] == '/' && q + 1 < n && t[q + 1] == '>'))
                        ++q;
                    a.valueEnd = p = q;
                }
                a.hasValue = true;
            }
            m_attrs.push_back(a);
            ++e.attrCount;
            e.attrEnd = p;
        }

        const int idx = addElement(e);
        if (!ended) {
            m_reasons |= kXmlUnendedStartTag;
        } else if (!selfClosing) {
            open.push_back(idx);
            ++openNames[Name(idx)];
        }
        pos = p;
    }

    if (!open.empty()) m_reasons |= kXmlUnendedStartTag;
    if (topLevel == 0) m_reasons |= kXmlNoRootElement;
    if (topLevel > 1) m_reasons |= kXmlRootHasSibling;
}

XmlBuilder::XmlBuilder(std::string_view rootName) : m_root(rootName) {}

void XmlBuilder::AddChild(std::string_view name, std::initializer_list<Attr> attrs) {
    m_body += '<';
    m_body += name;
    for (const auto& [key, value] : attrs) {
        m_body += ' ';
        m_body += key;
        m_body += "=\"";
        m_body += XmlEscape(value);
        m_body += '"';
    }
    m_body += "/>\r\n";
}

std::string XmlBuilder::Finish() const {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<" + m_root + ">\r\n" + m_body + "</" +
           m_root + ">\r\n";
}

std::string NewKeyFileText() {
    XmlBuilder b(kKeysRootName);
    for (int k = 0; k < kKeySlotCount; ++k) {
        const std::string index = std::to_string(k);
        const std::string name = "Key" + std::to_string(k + 1);
        b.AddChild(kKeyElementName, {{"Index", index}, {"Name", name}, {"Status", "0"}});
    }
    return b.Finish();
}

std::vector<KeyRecord> ReadKeyRecords(const XmlDocument& doc) {
    std::vector<KeyRecord> keys;
    const int root = doc.Root();
    for (int c = doc.FirstChild(root, kKeyElementName); c >= 0;
         c = doc.NextSibling(c, kKeyElementName))
        keys.push_back({XmlToInt(doc.Attribute(c, "Index")), doc.Attribute(c, "Name"),
                        XmlToInt(doc.Attribute(c, "Status"))});
    return keys;
}

int FindKeyElement(const XmlDocument& doc, int index) {
    const int root = doc.Root();
    for (int c = doc.FirstChild(root, kKeyElementName); c >= 0;
         c = doc.NextSibling(c, kKeyElementName))
        if (XmlToInt(doc.Attribute(c, "Index")) == index) return c;
    return -1;
}

} // namespace fenno

// The small XML subset the plug key files use: a tolerant reader that keeps byte positions, the
// writer layout, in-place attribute updates and the key-file rules on top. Plain C++, no Qt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fenno {

// Why a loaded document is not usable; a document may have several.
enum XmlReason : unsigned {
    kXmlNoRootElement = 1u << 0,
    kXmlRootHasSibling = 1u << 1,
    kXmlUnendedStartTag = 1u << 2,
    kXmlLoneEndTag = 1u << 3,
};

// "no_root_element", "root_has_sibling", … joined by ", "; empty for none.
std::string XmlReasonText(unsigned reasons);

enum class XmlEncoding { Utf8, Utf16LE, Utf16BE, Utf32LE, Utf32BE, Named };

struct XmlSourceEncoding {
    XmlEncoding encoding = XmlEncoding::Utf8;
    size_t bomLength = 0; // bytes of byte-order mark at the start
    std::string name;     // the declared name, for XmlEncoding::Named
};

// Byte-order mark first, then the shape of the first characters, then the declaration's
// encoding pseudo-attribute. Bytes that look like ASCII are never taken for UTF-16 or UTF-32,
// whatever the declaration claims.
XmlSourceEncoding DetectXmlEncoding(std::string_view bytes);

// Attribute value escaping: the five predefined entities, control characters as character
// references so a value never breaks a line.
std::string XmlEscape(std::string_view value);
// Predefined entities and character references; anything else stays as it stands.
std::string XmlUnescape(std::string_view raw);

// atoi-like: leading white space, sign, digits up to the first other character; saturates.
int XmlToInt(std::string_view text);

struct XmlAttribute {
    size_t nameBegin = 0, nameEnd = 0;
    size_t valueBegin = 0, valueEnd = 0; // the raw value, without quotes
    char quote = 0;                      // '"' or '\'', 0 when unquoted or without a value
    bool hasValue = false;
};

struct XmlElement {
    size_t begin = 0; // the '<'
    size_t nameBegin = 0, nameEnd = 0;
    size_t attrEnd = 0; // where an added attribute goes: after the last one, or after the name
    int parent = -1;
    int firstChild = -1, lastChild = -1, nextSibling = -1;
    uint32_t firstAttr = 0, attrCount = 0;
};

class XmlDocument {
  public:
    XmlDocument() { Parse(); }
    // Parses UTF-8 text (any byte-order mark already removed).
    explicit XmlDocument(std::string text) : m_text(std::move(text)) { Parse(); }

    const std::string& Text() const { return m_text; }
    unsigned Reasons() const { return m_reasons; }
    bool WellFormed() const { return m_reasons == 0; }

    const std::vector<XmlElement>& Elements() const { return m_elements; }
    const std::vector<XmlAttribute>& Attributes() const { return m_attrs; }

    // The first top-level element, or -1.
    int Root() const { return m_root; }
    std::string_view Name(int element) const;
    // Child elements of `element` with the given name, in document order; -1 when none is left.
    int FirstChild(int element, std::string_view name) const;
    int NextSibling(int element, std::string_view name) const;

    bool HasAttribute(int element, std::string_view name) const { return Find(element, name) >= 0; }
    // Decoded value of the first attribute with that name; empty when missing.
    std::string Attribute(int element, std::string_view name) const;

    // Replaces the value of the first attribute with that name where it stands, or adds the
    // attribute after the last one; no other byte of the text changes. Returns false for an
    // element that does not exist.
    bool SetAttribute(int element, std::string_view name, std::string_view value);

    // Names UTF-8 in the declaration, for text that was decoded from another encoding before it
    // is saved as UTF-8. Text without a declaration is left alone (UTF-8 is the default).
    void SetDeclaredEncodingUtf8();

  private:
    void Parse();
    int Find(int element, std::string_view name) const;
    std::string_view Slice(size_t begin, size_t end) const {
        return std::string_view(m_text).substr(begin, end - begin);
    }

    std::string m_text;
    std::vector<XmlElement> m_elements;
    std::vector<XmlAttribute> m_attrs;
    unsigned m_reasons = 0;
    int m_root = -1;
};

// Builds a new document in the key-file layout: UTF-8 declaration, root start tag, one empty
// element per child with its attributes in the given order, root end tag; every line ends in
// CR LF and nothing is indented.
class XmlBuilder {
  public:
    using Attr = std::pair<std::string_view, std::string_view>;
    explicit XmlBuilder(std::string_view rootName);
    void AddChild(std::string_view name, std::initializer_list<Attr> attrs);
    std::string Finish() const;

  private:
    std::string m_root;
    std::string m_body;
};

inline constexpr int kKeySlotCount = 32;
inline constexpr std::string_view kKeysRootName = "Keys";
inline constexpr std::string_view kKeyElementName = "Key";

struct KeyRecord {
    int index = 0;
    std::string name; // UTF-8
    int status = 0;
};

// The text of a new key file: slots 0..31 named Key1..Key32, none learned.
std::string NewKeyFileText();
// Every Key child of the root in file order.
std::vector<KeyRecord> ReadKeyRecords(const XmlDocument& doc);
// The first Key child of the root whose Index reads as `index`, or -1.
int FindKeyElement(const XmlDocument& doc, int index);

} // namespace fenno

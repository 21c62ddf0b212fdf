// Arbitrary bytes as a key file: the reader must stay inside the text, and an attribute update
// must change nothing but the one value, keep the document's shape and read back as written.
#include "home/key_file_xml.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using namespace fenno;

// Names the broken rule, so a crash file explains itself.
#define Check(cond)                                                                                \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "keyfile_fuzz: %s (line %d)\n", #cond, __LINE__);                 \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

void CheckSpans(const XmlDocument& doc) {
    const size_t n = doc.Text().size();
    const auto& attrs = doc.Attributes();
    for (const XmlElement& e : doc.Elements()) {
        Check(e.begin < e.nameBegin && e.nameBegin <= e.nameEnd && e.nameEnd <= e.attrEnd &&
              e.attrEnd <= n);
        Check(size_t(e.firstAttr) + e.attrCount <= attrs.size());
        for (uint32_t i = e.firstAttr; i < e.firstAttr + e.attrCount; ++i) {
            const XmlAttribute& a = attrs[i];
            Check(e.nameEnd <= a.nameBegin && a.nameBegin < a.nameEnd &&
                  a.nameEnd <= a.valueBegin && a.valueBegin <= a.valueEnd &&
                  a.valueEnd <= e.attrEnd);
        }
        Check(e.parent < int(doc.Elements().size()));
    }
    if (doc.Root() >= 0) Check(doc.Elements()[size_t(doc.Root())].parent == -1);
}

// The part of the old text an update may touch: the old value, or the point of insertion.
void EditWindow(const XmlDocument& doc, int el, std::string_view name, size_t* begin, size_t* end) {
    const XmlElement& e = doc.Elements()[size_t(el)];
    for (uint32_t i = e.firstAttr; i < e.firstAttr + e.attrCount; ++i) {
        const XmlAttribute& a = doc.Attributes()[i];
        if (doc.Text().compare(a.nameBegin, a.nameEnd - a.nameBegin, name) != 0) continue;
        *begin = a.hasValue ? a.valueBegin : a.nameEnd;
        *end = a.hasValue ? a.valueEnd : a.nameEnd;
        return;
    }
    *begin = *end = e.attrEnd;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // Two control bytes: which element and attribute to edit; the rest is the file.
    const uint8_t pickElement = data[0];
    const uint8_t pickAttribute = data[1];
    const std::string_view bytes(reinterpret_cast<const char*>(data + 2), size - 2);

    (void)DetectXmlEncoding(bytes);
    const std::string value(bytes.substr(0, pickAttribute % 24));
    Check(XmlUnescape(XmlEscape(value)) == value);

    const XmlDocument doc{std::string(bytes)};
    CheckSpans(doc);
    const auto keys = ReadKeyRecords(doc);

    if (!doc.Elements().empty()) {
        static constexpr std::string_view kNames[] = {"Index", "Name", "Status", "Extra"};
        const std::string_view name = kNames[pickAttribute % 4];
        const int el = int(pickElement % doc.Elements().size());
        size_t begin = 0, end = 0;
        EditWindow(doc, el, name, &begin, &end);

        XmlDocument edited = doc;
        Check(edited.SetAttribute(el, name, value));
        CheckSpans(edited);
        const std::string& before = doc.Text();
        const std::string& after = edited.Text();
        const size_t tail = before.size() - end;
        Check(after.size() >= begin + tail);
        Check(after.compare(0, begin, before, 0, begin) == 0);
        Check(after.compare(after.size() - tail, tail, before, end, tail) == 0);
        Check(edited.Reasons() == doc.Reasons());
        Check(edited.Elements().size() == doc.Elements().size());
        Check(edited.Root() == doc.Root());
        Check(edited.Attribute(el, name) == value);
        // Every other attribute reads as before.
        for (int i = 0; i < int(doc.Elements().size()); ++i) {
            Check(edited.Name(i) == doc.Name(i));
            for (std::string_view other : kNames)
                if (i != el || other != name)
                    Check(edited.Attribute(i, other) == doc.Attribute(i, other));
        }
        Check(ReadKeyRecords(edited).size() == keys.size());
    }

    if (doc.WellFormed()) {
        const int k = int(pickElement % (kKeySlotCount + 1));
        const int el = FindKeyElement(doc, k);
        if (el >= 0) {
            XmlDocument marked = doc;
            Check(marked.SetAttribute(el, "Status", "1"));
            Check(marked.WellFormed());
            Check(FindKeyElement(marked, k) == el);
            Check(XmlToInt(marked.Attribute(el, "Status")) == 1);
        }
    }

    XmlDocument declared = doc;
    declared.SetDeclaredEncodingUtf8();
    Check(declared.Elements().size() == doc.Elements().size());
    Check(declared.Reasons() == doc.Reasons());
    return 0;
}

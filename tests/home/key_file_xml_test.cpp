// The Qt-free XML core of the key files: writer layout, tolerant reader, well-formedness reasons,
// in-place updates and encoding detection.
#include "home/key_file_xml.h"

#include <chrono>
#include <climits>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace fenno;

namespace {

std::string ExpectedNewFile() {
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Keys>\r\n";
    char line[96];
    for (int k = 0; k < 32; ++k) {
        std::snprintf(line, sizeof line, "<Key Index=\"%d\" Name=\"Key%d\" Status=\"0\"/>\r\n", k,
                      k + 1);
        s += line;
    }
    return s + "</Keys>\r\n";
}

TEST(KeyFileXml, NewFileHasTheExactLayout) {
    const std::string text = NewKeyFileText();
    EXPECT_EQ(text, ExpectedNewFile());
    // Spot checks written out in full, so a fault shared with the helper above still shows.
    EXPECT_TRUE(text.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Keys>\r\n<Key "));
    EXPECT_NE(text.find("\r\n<Key Index=\"0\" Name=\"Key1\" Status=\"0\"/>\r\n"),
              std::string::npos);
    EXPECT_TRUE(text.ends_with("<Key Index=\"31\" Name=\"Key32\" Status=\"0\"/>\r\n</Keys>\r\n"));
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << "bare LF at " << i;
        }
    }
}

TEST(KeyFileXml, BuilderEscapesEveryPredefinedEntity) {
    XmlBuilder b("Keys");
    b.AddChild("Key", {{"Index", "0"}, {"Name", "R&B \"<live>\" it's"}, {"Status", "1"}});
    const std::string text = b.Finish();
    EXPECT_NE(text.find("<Key Index=\"0\" Name=\"R&amp;B &quot;&lt;live&gt;&quot; it&apos;s\" "
                        "Status=\"1\"/>\r\n"),
              std::string::npos)
        << text;
    const XmlDocument doc(text);
    ASSERT_TRUE(doc.WellFormed());
    EXPECT_EQ(ReadKeyRecords(doc).at(0).name, "R&B \"<live>\" it's");
}

TEST(KeyFileXml, EscapeAndUnescapeRoundTrip) {
    const std::vector<std::string> values = {
        "",
        "plain",
        "&",
        "&amp;",
        "a\"b'c<d>e&f",
        "中文键名",
        "tab\tnew\r\nline",
        std::string("\0x", 2),
        "&#;",
        "&#x;",
        "trailing &",
    };
    for (const std::string& v : values) {
        const std::string escaped = XmlEscape(v);
        EXPECT_EQ(escaped.find_first_of("<>\"'\r\n\t"), std::string::npos) << escaped;
        EXPECT_EQ(XmlUnescape(escaped), v) << escaped;
    }
}

TEST(KeyFileXml, UnescapeDecodesKnownEntitiesOnly) {
    struct Case {
        const char* raw;
        std::string decoded;
    };
    const Case cases[] = {
        {"&lt;&gt;&amp;&quot;&apos;", "<>&\"'"},
        {"&#65;&#x42;&#X43;", "ABC"},
        {"&#x4E2D;&#25991;", "中文"},
        {"&#x1F600;", "\xF0\x9F\x98\x80"},
        {"&nbsp;", "&nbsp;"},         // not predefined: kept as written
        {"&amp", "&amp"},             // no semicolon
        {"&#xD800;", "&#xD800;"},     // a surrogate is no character
        {"&#1114112;", "&#1114112;"}, // beyond U+10FFFF
        {"&#12a;", "&#12a;"},
        {"&&amp;", "&&"},
        {"&#00000000000000065;", "&#00000000000000065;"}, // longer than any entity we accept
    };
    for (const Case& c : cases)
        EXPECT_EQ(XmlUnescape(c.raw), c.decoded) << c.raw;
}

TEST(KeyFileXml, NumbersReadLikeAtoiAndSaturate) {
    struct Case {
        const char* text;
        int value;
    };
    const Case cases[] = {
        {"", 0},
        {"12", 12},
        {" \t7", 7},
        {"-3", -3},
        {"+4", 4},
        {"3abc", 3},
        {"abc", 0},
        {"007", 7},
        {"99999999999", INT_MAX},
        {"-99999999999", INT_MIN},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
    };
    for (const Case& c : cases)
        EXPECT_EQ(XmlToInt(c.text), c.value) << c.text;
}

TEST(KeyFileXml, WellFormednessReasons) {
    struct Case {
        const char* what;
        std::string text;
        unsigned reasons;
    };
    const std::string decl = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
    const Case cases[] = {
        {"writer output", NewKeyFileText(), 0},
        {"empty file", "", kXmlNoRootElement},
        {"declaration only", decl, kXmlNoRootElement},
        {"text only", "just some words", kXmlNoRootElement},
        {"binary garbage",
         std::string("\x00\xff\xfe\x01"
                     "garbage>>",
                     13),
         kXmlNoRootElement},
        {"two roots", decl + "<Keys></Keys>\r\n<Keys></Keys>\r\n", kXmlRootHasSibling},
        {"second root empty", "<Keys/><Other/>", kXmlRootHasSibling},
        {"unended root", "<Keys><Key Index=\"0\"/>", kXmlUnendedStartTag},
        {"unended child", "<Keys><Key Index=\"0\"></Keys>", kXmlUnendedStartTag},
        {"lone end tag", "<Keys></Key></Keys>", kXmlLoneEndTag},
        {"end tag after root", "<Keys></Keys></Keys>", kXmlLoneEndTag},
        {"only an end tag", "</Keys>", kXmlLoneEndTag | kXmlNoRootElement},
        {"cut in an attribute name", "<Keys><Key Index=\"1\" Na", kXmlUnendedStartTag},
        {"cut in a value", "<Keys><Key Name=\"ab", kXmlUnendedStartTag},
        {"cut line followed by good ones",
         "<Keys>\r\n<Key Index=\"1\" Name=\"x\r\n<Key Index=\"2\"/>\r\n</Keys>\r\n",
         kXmlUnendedStartTag},
        {"cut in the end tag", "<Keys></Ke", kXmlUnendedStartTag | kXmlLoneEndTag},
        {"all at once", "<a></a></b><c>",
         kXmlLoneEndTag | kXmlRootHasSibling | kXmlUnendedStartTag},
        {"declaration without its <?",
         "xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Keys>\r\n<Key Index=\"0\"/>\r\n</Keys>\r\n",
         0},
        {"comments, PI, doctype and CDATA",
         decl + "<!DOCTYPE Keys [<!ELEMENT Keys ANY>]>\r\n<!-- <b> -->\r\n<Keys><?pi <x>?>"
                "<![CDATA[<Key>]]><!-- </Keys> --></Keys>\r\n<!-- trailing -->",
         0},
        {"a bare < in text", "<Keys> a < b </Keys>", 0},
        {"unterminated comment inside root", "<Keys><!-- </Keys>", kXmlUnendedStartTag},
        {"nested same names", "<a><a><a/></a></a>", 0},
    };
    for (const Case& c : cases) {
        const XmlDocument doc(c.text);
        EXPECT_EQ(XmlReasonText(doc.Reasons()), XmlReasonText(c.reasons)) << c.what;
        EXPECT_EQ(doc.WellFormed(), c.reasons == 0) << c.what;
    }
}

TEST(KeyFileXml, EveryCutOfTheFileBeforeTheEndTagIsRefused) {
    const std::string text = NewKeyFileText();
    const size_t endOfRoot = text.rfind("</Keys>") + 7;
    for (size_t cut = 0; cut < endOfRoot; ++cut)
        ASSERT_FALSE(XmlDocument(text.substr(0, cut)).WellFormed()) << "cut at " << cut;
    EXPECT_TRUE(XmlDocument(text.substr(0, endOfRoot)).WellFormed());
}

TEST(KeyFileXml, ReaderAcceptsMoreThanTheWriterProduces) {
    // Any root name, any order, fewer slots, other elements (also ones named Key deeper down),
    // missing attributes, other quoting and spacing, LF endings and indentation.
    const std::string text = "xml version=\"1.0\"?>\n"
                             "<Remote kind='plug'>\n"
                             "  <Key Index='7' Name='Seven' Status='1'/>\n"
                             "  <Other><Key Index=\"99\" Name=\"nested\"/></Other>\n"
                             "  <Key Status = \"1\" Index = \"2\" />\n"
                             "  <Key Index=40 Name=Forty Status=0/>\n"
                             "  <Key Index=\"0\" Name=\"A &amp; B\" Status=\"0\">text</Key>\n"
                             "</Remote>\n"
                             "trailing text is ignored\n";
    const XmlDocument doc(text);
    ASSERT_TRUE(doc.WellFormed()) << XmlReasonText(doc.Reasons());
    const auto keys = ReadKeyRecords(doc);
    ASSERT_EQ(keys.size(), 4u);
    EXPECT_EQ(keys[0].index, 7);
    EXPECT_EQ(keys[0].name, "Seven");
    EXPECT_EQ(keys[0].status, 1);
    EXPECT_EQ(keys[1].index, 2);
    EXPECT_EQ(keys[1].name, "");
    EXPECT_EQ(keys[1].status, 1);
    EXPECT_EQ(keys[2].index, 40);
    EXPECT_EQ(keys[2].name, "Forty");
    EXPECT_EQ(keys[3].name, "A & B");
    EXPECT_EQ(FindKeyElement(doc, 99), -1) << "only children of the root count";
    EXPECT_EQ(doc.Attribute(FindKeyElement(doc, 40), "Name"), "Forty");
}

TEST(KeyFileXml, FindKeyElementTakesTheFirstMatchingIndex) {
    const XmlDocument doc(
        "<Keys><Key Index=\"3\" Name=\"first\"/><Key Index=\"03\" Name=\"second\"/>"
        "<Key Name=\"no index\"/></Keys>");
    EXPECT_EQ(doc.Attribute(FindKeyElement(doc, 3), "Name"), "first");
    EXPECT_EQ(doc.Attribute(FindKeyElement(doc, 0), "Name"), "no index"); // missing reads as 0
    EXPECT_EQ(FindKeyElement(doc, 4), -1);
    EXPECT_EQ(FindKeyElement(XmlDocument(""), 0), -1);
}

// Each case edits the one element of a document wrapped in odd but valid surroundings; the
// result must be the surroundings unchanged around the expected element.
TEST(KeyFileXml, SetAttributeChangesOnlyTheValue) {
    struct Case {
        const char* what;
        const char* element;
        const char* attribute;
        const char* value;
        const char* expected;
    };
    const Case cases[] = {
        {"double quotes", "<Key Index=\"3\" Name=\"Key4\" Status=\"0\"/>", "Status", "1",
         "<Key Index=\"3\" Name=\"Key4\" Status=\"1\"/>"},
        {"single quotes stay", "<Key Index='3' Status='0'/>", "Status", "1",
         "<Key Index='3' Status='1'/>"},
        {"quote inside single quotes", "<Key Name='a'/>", "Name", "it's",
         "<Key Name='it&apos;s'/>"},
        {"entities", "<Key Name=\"x\"/>", "Name", "A&B \"q\"",
         "<Key Name=\"A&amp;B &quot;q&quot;\"/>"},
        {"longer and shorter", "<Key Name=\"a rather long name\" Status=\"0\"/>", "Name", "x",
         "<Key Name=\"x\" Status=\"0\"/>"},
        {"spaces around =", "<Key Status = \"0\" />", "Status", "1", "<Key Status = \"1\" />"},
        {"unquoted value", "<Key Index=3 Status=0/>", "Status", "1", "<Key Index=3 Status=\"1\"/>"},
        {"attribute without value", "<Key Index=\"3\" Status/>", "Status", "1",
         "<Key Index=\"3\" Status=\"1\"/>"},
        {"missing attribute added last", "<Key Index=\"3\" Name=\"n\"/>", "Status", "1",
         "<Key Index=\"3\" Name=\"n\" Status=\"1\"/>"},
        {"added before a spaced />", "<Key Index=\"3\" />", "Status", "1",
         "<Key Index=\"3\" Status=\"1\" />"},
        {"added to a bare element", "<Key/>", "Status", "1", "<Key Status=\"1\"/>"},
        {"added after an empty unquoted value", "<Key Index= />", "Status", "1",
         "<Key Index= Status=\"1\" />"},
        {"first of two duplicates", "<Key Status=\"0\" Status=\"5\"/>", "Status", "1",
         "<Key Status=\"1\" Status=\"5\"/>"},
        {"CJK value", "<Key Name=\"Key1\"/>", "Name", "电视开关", "<Key Name=\"电视开关\"/>"},
        {"line break kept off the line", "<Key Name=\"Key1\"/>", "Name", "a\r\nb",
         "<Key Name=\"a&#13;&#10;b\"/>"},
    };
    const std::string before = "stray text\n<!-- <Key Index=\"3\"/> -->\n<Root a='1'>\n"
                               "\t<Pad x=\"&amp;\"/>\n\t";
    const std::string after = "\n\t<Pad y='2'></Pad>\n</Root>\n<!-- end -->";
    for (const Case& c : cases) {
        XmlDocument doc(before + c.element + after);
        ASSERT_TRUE(doc.WellFormed()) << c.what;
        const int el = doc.FirstChild(doc.Root(), "Key");
        ASSERT_GE(el, 0) << c.what;
        ASSERT_TRUE(doc.SetAttribute(el, c.attribute, c.value)) << c.what;
        EXPECT_EQ(doc.Text(), before + c.expected + after) << c.what;
        EXPECT_TRUE(doc.WellFormed()) << c.what;
        EXPECT_EQ(doc.Attribute(doc.FirstChild(doc.Root(), "Key"), c.attribute), c.value) << c.what;
    }
}

TEST(KeyFileXml, SetAttributeRefusesAMissingElement) {
    XmlDocument doc("<Keys/>");
    EXPECT_FALSE(doc.SetAttribute(-1, "Status", "1"));
    EXPECT_FALSE(doc.SetAttribute(1, "Status", "1"));
    EXPECT_EQ(doc.Text(), "<Keys/>");
}

TEST(KeyFileXml, EncodingDetection) {
    struct Case {
        const char* what;
        std::string bytes;
        XmlEncoding encoding;
        size_t bom;
        std::string name;
    };
    const Case cases[] = {
        {"no declaration", "<Keys/>", XmlEncoding::Utf8, 0, ""},
        {"UTF-8 declared", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Keys/>", XmlEncoding::Utf8,
         0, ""},
        {"UTF-8 BOM", "\xEF\xBB\xBF<Keys/>", XmlEncoding::Utf8, 3, ""},
        {"UTF-16LE BOM", std::string("\xFF\xFE<\0", 4), XmlEncoding::Utf16LE, 2, ""},
        {"UTF-16BE BOM", std::string("\xFE\xFF\0<", 4), XmlEncoding::Utf16BE, 2, ""},
        {"UTF-32LE BOM", std::string("\xFF\xFE\0\0<\0\0\0", 8), XmlEncoding::Utf32LE, 4, ""},
        {"UTF-32BE BOM", std::string("\0\0\xFE\xFF\0\0\0<", 8), XmlEncoding::Utf32BE, 4, ""},
        {"UTF-16LE without BOM", std::string("<\0?\0x\0", 6), XmlEncoding::Utf16LE, 0, ""},
        {"UTF-16BE without BOM", std::string("\0<\0?\0x", 6), XmlEncoding::Utf16BE, 0, ""},
        {"GBK declared", "<?xml version='1.0' encoding='GBK'?><Keys/>", XmlEncoding::Named, 0,
         "GBK"},
        {"UTF-16 claimed over 8-bit bytes", "<?xml version=\"1.0\" encoding=\"UTF-16\"?><Keys/>",
         XmlEncoding::Utf8, 0, ""},
        {"declaration without <?", "xml version=\"1.0\" encoding=\"GBK\"?><Keys/>",
         XmlEncoding::Utf8, 0, ""},
        {"unterminated declaration", "<?xml version=\"1.0\" encoding=\"GBK\"", XmlEncoding::Utf8, 0,
         ""},
        {"empty input", "", XmlEncoding::Utf8, 0, ""},
    };
    for (const Case& c : cases) {
        const XmlSourceEncoding enc = DetectXmlEncoding(c.bytes);
        EXPECT_EQ(enc.encoding, c.encoding) << c.what;
        EXPECT_EQ(enc.bomLength, c.bom) << c.what;
        EXPECT_EQ(enc.name, c.name) << c.what;
    }
}

TEST(KeyFileXml, DeclaredEncodingBecomesUtf8) {
    XmlDocument doc("<?xml version=\"1.0\" encoding='GBK' standalone=\"yes\"?>\r\n<Keys/>\r\n");
    doc.SetDeclaredEncodingUtf8();
    EXPECT_EQ(doc.Text(),
              "<?xml version=\"1.0\" encoding='UTF-8' standalone=\"yes\"?>\r\n<Keys/>\r\n");
    XmlDocument bare("<Keys/>");
    bare.SetDeclaredEncodingUtf8();
    EXPECT_EQ(bare.Text(), "<Keys/>");
}

TEST(KeyFileXml, HostileNestingParsesInLinearTime) {
    // A deep stack of open elements followed by end tags that match none of them: a reader that
    // searches the open stack for every end tag takes minutes here.
    constexpr int kDepth = 200000;
    std::string text;
    for (int i = 0; i < kDepth; ++i)
        text += "<a>";
    for (int i = 0; i < kDepth; ++i)
        text += "</b>";
    const auto start = std::chrono::steady_clock::now();
    const XmlDocument doc(text);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(doc.Reasons(), unsigned(kXmlUnendedStartTag | kXmlLoneEndTag));
    EXPECT_EQ(doc.Elements().size(), size_t(kDepth));
    EXPECT_LT(took, std::chrono::seconds(5));
}

} // namespace

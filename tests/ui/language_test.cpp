#include "app/lang/apply_language.h"
#include "app/lang/language.h"
#include "app/lang/language_table.h"
#include "app/lang/ribbon_captions.h"
#include "ui/controls/control_id.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <set>
#include <vector>

namespace fenno {
namespace {

QString U(const char* s) {
    return QString::fromUtf8(s);
}

LanguageTable BuiltIn(int id) {
    const auto text = LanguageTable::BuiltInText(id);
    EXPECT_TRUE(text.has_value()) << id;
    return LanguageTable::Parse(text.value_or(QByteArray()));
}

TEST(LanguageTables, LookupsInBothTables) {
    struct Case {
        const char* what;
        int table;
        QString key;
        QString expected;
    };
    const std::vector<Case> cases = {
        {"network dialog label", kChineseTableId, "IDD521_1005", U("机器IP地址")},
        {"network dialog label", kEnglishTableId, "IDD521_1005", "Host IP:"},
        {"network dialog title", kEnglishTableId, "IDD521_title", "Connect IP"},
        {"trailing space kept", kEnglishTableId, "IDD373_title", "Learn remoter control "},
        {"remote apply button", kEnglishTableId, "IDD373_1", "Apply"},
        {"last remote key", kEnglishTableId, "IDD373_1623", "Down Tone"},
        {"leading spaces kept", kChineseTableId, "IDD484_1238",
         U("      某些设备无法工作在低电压状态，可能损坏设备")},
        {"empty English warning", kEnglishTableId, "IDD484_1239", ""},
        {"compressor channel 6 is Chinese only", kChineseTableId, "IDD346_1077", U("通道6")},
        {"compressor channel 6 is Chinese only", kEnglishTableId, "IDD346_1077", ""},
        {"compressor's own location caption", kChineseTableId, "IDD346_1073", U("声道定位")},
        {"output page location caption", kChineseTableId, "IDD385_1073", U("声场定位")},
        {"CH 2 sits on 1072", kEnglishTableId, "IDD385_1072", "CH 2"},
        {"degree sign", kEnglishTableId, "IDD385_1054", U("Phase 180°")},
        {"machine settings title", kChineseTableId, "IDD335_title", U("机器设置")},
        {"board-code input source title", kEnglishTableId, "IDD543_title", "Input Source"},
        {"model input source title", kEnglishTableId, "IDD512_title", "Music source setting"},
        {"missing key", kEnglishTableId, "IDD999_1", ""},
    };
    const LanguageTable zh = BuiltIn(kChineseTableId);
    const LanguageTable en = BuiltIn(kEnglishTableId);
    for (const auto& c : cases)
        EXPECT_EQ((c.table == kChineseTableId ? zh : en).value(c.key), c.expected)
            << c.what << " " << c.key.toStdString();
    EXPECT_TRUE(zh.contains("IDD346_1077"));
    EXPECT_FALSE(en.contains("IDD346_1077"));
    EXPECT_TRUE(en.contains("IDD484_1239")) << "present, but empty";
}

// Catches typos in the tables: malformed keys, and keys that exist in one table only by
// accident.
TEST(LanguageTables, KeysAreWellFormedAndPaired) {
    const LanguageTable zh = BuiltIn(kChineseTableId);
    const LanguageTable en = BuiltIn(kEnglishTableId);
    const QRegularExpression form(QStringLiteral("^IDD\\d+_(title|\\d+)$"));
    std::set<QString> zhOnly;
    for (const QString& key : zh.keys()) {
        EXPECT_TRUE(form.match(key).hasMatch()) << key.toStdString();
        if (!en.contains(key)) zhOnly.insert(key);
    }
    for (const QString& key : en.keys()) {
        EXPECT_TRUE(form.match(key).hasMatch()) << key.toStdString();
        EXPECT_TRUE(zh.contains(key)) << "English-only key " << key.toStdString();
    }
    EXPECT_EQ(zhOnly, (std::set<QString>{"IDD346_1077", "IDD346_1078", "IDD346_1079"}));
    for (const QString& key : zh.keys())
        EXPECT_FALSE(zh.value(key).isEmpty()) << "empty Chinese caption " << key.toStdString();
}

TEST(LanguageTable, ParsesTheIniForm) {
    const QByteArray text = "// comment = not an entry\r\n"
                            "IDD1_1=before any section\r\n"
                            "[Other]\r\n"
                            "IDD1_2=other section\r\n"
                            "[String]\r\n"
                            "\r\n"
                            "; semicolon comment\r\n"
                            "IDD1_title = Title \r\n"
                            "idd1_3=lower-case key\n"
                            "IDD1_4=\"  quoted  \"\r\n"
                            "IDD1_5=first\r\n"
                            "IDD1_5=second\r\n"
                            "no equals sign\r\n"
                            "=no key\r\n"
                            "IDD1_6=a=b\r\n"
                            "[string]\r\n"
                            "IDD1_7=section names ignore case\r\n";
    const LanguageTable t = LanguageTable::Parse(text);
    EXPECT_EQ(t.value("IDD1_1"), "");
    EXPECT_EQ(t.value("IDD1_2"), "");
    EXPECT_EQ(t.title(1), "Title");
    EXPECT_EQ(t.caption(1, 3), "lower-case key");
    EXPECT_EQ(t.value("IDD1_4"), "  quoted  ");
    EXPECT_EQ(t.value("IDD1_5"), "first");
    EXPECT_EQ(t.value("IDD1_6"), "a=b");
    EXPECT_EQ(t.value("IDD1_7"), "section names ignore case");
    EXPECT_EQ(t.size(), 6);
}

template <typename W> W* Child(QWidget* parent, int id, const QString& text) {
    auto* w = new W(text, parent);
    SetControlId(w, id);
    return w;
}

TEST(ApplyLanguage, CaptionsTitleAndDirectChildrenOnly) {
    const LanguageTable table = LanguageTable::Parse("[String]\n"
                                                     "IDD7_title=Window\n"
                                                     "IDD7_1=OK\n"
                                                     "IDD7_1005=Label\n"
                                                     "IDD7_1008=Group\n"
                                                     "IDD7_1009=Inside\n"
                                                     "IDD7_1010=\n"
                                                     "IDD7_1011=Passed\n");
    QWidget window;
    window.setWindowTitle(U("模板"));
    auto* ok = Child<QPushButton>(&window, 1, U("确定"));
    auto* label = Child<QLabel>(&window, 1005, U("标签"));
    auto* noKey = Child<QCheckBox>(&window, 1006, U("无键"));
    auto* empty = Child<QLabel>(&window, 1010, U("空值"));
    auto* group = Child<QGroupBox>(&window, 1008, U("组"));
    auto* inside = Child<QPushButton>(group, 1009, U("里面"));
    auto* frame = new QWidget(&window);
    frame->setProperty(kCaptionPassThroughProperty, true);
    auto* passed = Child<QPushButton>(frame, 1011, U("透过"));
    auto* noId = new QLabel(U("无号"), &window);

    EXPECT_EQ(ApplyLanguage(&window, 7, table), 5);
    EXPECT_EQ(window.windowTitle(), "Window");
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_EQ(label->text(), "Label");
    EXPECT_EQ(group->title(), "Group");
    EXPECT_EQ(noKey->text(), U("无键")) << "missing key leaves the caption";
    EXPECT_EQ(empty->text(), U("空值")) << "empty value leaves the caption";
    EXPECT_EQ(inside->text(), U("里面")) << "grandchildren are not visited";
    EXPECT_EQ(passed->text(), "Passed") << "a pass-through frame is looked through";
    EXPECT_EQ(noId->text(), U("无号"));

    EXPECT_EQ(ApplyLanguage(&window, 8, table), 0) << "another template's keys do not apply";
}

TEST(ApplyLanguage, ChineseOnlyKeyKeepsTheTemplateCaptionInEnglish) {
    Language lang(kEnglish);
    QWidget page;
    auto* ch5 = Child<QPushButton>(&page, 1076, U("通道5"));
    auto* ch6 = Child<QPushButton>(&page, 1077, U("通道6"));
    lang.applyTo(&page, 346);
    EXPECT_EQ(ch5->text(), "CH 5");
    EXPECT_EQ(ch6->text(), U("通道6"));
}

TEST(Language, PicksTextsByIndex) {
    Language zh(kChinese);
    Language en(kEnglish);
    Language other(7);
    EXPECT_EQ(zh.text("静音", "Mute"), U("静音"));
    EXPECT_EQ(en.text("静音", "Mute"), "Mute");
    EXPECT_EQ(en.text(Tr2{"关闭", "Close"}), "Close");
    EXPECT_EQ(other.index(), kChinese) << "an unknown stored value starts in Chinese";
    EXPECT_EQ(zh.table().title(521), U("网络连接"));
    EXPECT_EQ(en.table().title(521), "Connect IP");
}

TEST(Language, ToggleTwiceReturnsToTheStart) {
    Language lang(kChinese);
    QSignalSpy stored(&lang, &Language::indexChanged);
    QWidget dialog;
    auto* connect = Child<QPushButton>(&dialog, 1, U("尝试连接"));
    RecaptionHooks hooks;
    hooks.window = [&](LanguageTarget t) {
        if (t == LanguageTarget::NetworkConnection) lang.applyTo(&dialog, TemplateOf(t));
    };

    lang.toggle(hooks);
    EXPECT_EQ(lang.index(), kEnglish);
    EXPECT_EQ(connect->text(), "Connect");
    EXPECT_EQ(dialog.windowTitle(), "Connect IP");
    lang.toggle(hooks);
    EXPECT_EQ(lang.index(), kChinese);
    EXPECT_EQ(connect->text(), U("尝试连接"));
    EXPECT_EQ(dialog.windowTitle(), U("网络连接"));
    ASSERT_EQ(stored.count(), 2) << "each toggle is stored";
    EXPECT_EQ(stored.at(0).at(0).toInt(), kEnglish);
    EXPECT_EQ(stored.at(1).at(0).toInt(), kChinese);
}

TEST(Language, RecaptionsRibbonFirstThenWindowsInOrder) {
    Language lang(kChinese);
    std::vector<QString> calls;
    RecaptionHooks hooks;
    hooks.ribbon = [&] { calls.push_back("ribbon"); };
    hooks.window = [&](LanguageTarget t) { calls.push_back(QString::number(TemplateOf(t))); };
    EXPECT_TRUE(lang.applyToApplication(hooks));
    const std::vector<QString> expected = {"ribbon", "335", "410", "543", "542", "512",
                                           "373",    "479", "515", "521", "-1"};
    EXPECT_EQ(calls, expected);
}

TEST(Language, MissingTableStillRecaptionsTheRibbonOnly) {
    int askedFor = 0;
    Language lang(kChinese, [&](int id) -> std::optional<QByteArray> {
        askedFor = id;
        return std::nullopt;
    });
    EXPECT_FALSE(lang.tableLoaded());
    int ribbon = 0, windows = 0;
    RecaptionHooks hooks{[&] { ++ribbon; }, [&](LanguageTarget) { ++windows; }};
    lang.toggle(hooks);
    EXPECT_EQ(askedFor, kEnglishTableId);
    EXPECT_EQ(lang.index(), kEnglish) << "program-built texts still follow the switch";
    EXPECT_EQ(ribbon, 1);
    EXPECT_EQ(windows, 0);

    QWidget w;
    auto* b = Child<QPushButton>(&w, 1, U("尝试连接"));
    EXPECT_EQ(lang.applyTo(&w, 521), 0);
    EXPECT_EQ(b->text(), U("尝试连接")) << "template captions stay";
}

TEST(RibbonCaptions, CategoryNamesFollowTheSwitch) {
    struct Case {
        const char* name;
        int to;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"Input", kChinese, "输入控制"}, {"Output", kChinese, "输出调节"},
        {"输入控制", kEnglish, "Input"}, {"输出调节", kEnglish, "Output"},
        {"Input", kEnglish, ""},         {"输出调节", kChinese, ""},
        {"Home", kEnglish, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RecaptionedCategory(U(c.name), c.to), U(c.expected)) << c.name;
}

TEST(RibbonCaptions, LabelFormats) {
    EXPECT_EQ(PitchPanelName(kEnglish, 2), "Music Pitch:+2");
    EXPECT_EQ(PitchPanelName(kChinese, -1), U("音乐变调:-1"));
    EXPECT_EQ(PitchPanelName(kEnglish, 0), "Music Pitch:+0");
    EXPECT_EQ(LevelLabel(Tr2{"话筒音量:", "Mic    Vol: "}, kEnglish, 40), "Mic    Vol:  40");
    EXPECT_EQ(NoiseGateLabel(kEnglish, 5), "Noisegate:      5");
    EXPECT_EQ(NoiseGateLabel(kChinese, 5), U("音乐噪声门:  5"));
}

} // namespace
} // namespace fenno

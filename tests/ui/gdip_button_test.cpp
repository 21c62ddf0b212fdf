#include "tests/ui/grab_util.h"
#include "ui/controls/gdip_button.h"

#include <QElapsedTimer>
#include <QHelpEvent>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace fenno {
namespace {

using Face = CGdipButton::Face;

class ButtonTest : public ::testing::Test {
  protected:
    void SetUp() override {
        page = std::make_unique<QWidget>();
        page->resize(300, 200);
        button = new CGdipButton(1069, page.get());
        button->setImages(414, 395);
        button->setText(QStringLiteral("CH 2"));
        button->setTextColour(Qt::white);
        button->setGeometry(20, 20, 80, 28);
        page->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
    }

    QImage paint() { return test::Grab(button); }

    std::unique_ptr<QWidget> page;
    CGdipButton* button = nullptr;
};

TEST_F(ButtonTest, FacePrecedence) {
    struct Case {
        const char* what;
        bool enabled, selected, down;
        Face expected;
    };
    const std::vector<Case> cases = {
        {"plain", true, false, false, Face::Standard},
        {"pressed", true, false, true, Face::Pressed},
        {"selected shows the alternate image", true, true, false, Face::Alternate},
        {"selected wins over pressed", true, true, true, Face::Alternate},
        {"disabled wins over everything", false, true, true, Face::Disabled},
    };
    for (const auto& c : cases) {
        button->setEnabled(c.enabled);
        button->setSelected(c.selected);
        button->setDown(c.down);
        EXPECT_EQ(button->face(), c.expected) << c.what;
    }
}

TEST_F(ButtonTest, SelectedPaintsTheAlternateImage) {
    const QImage standard = paint();
    button->setSelected(true);
    const QImage selected = paint();
    EXPECT_NE(standard, selected);
    // Face 395 is the lit blue one; 414 is dark slate.
    const QPoint probe(6, 6);
    EXPECT_GT(test::PixelAt(selected, probe).blue(), test::PixelAt(standard, probe).blue() + 60);
    button->setSelected(false);
    EXPECT_EQ(paint(), standard);
}

TEST_F(ButtonTest, PressShiftsTheImageAndClickFires) {
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    const QImage standard = paint();
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(40, 14));
    EXPECT_EQ(button->face(), Face::Pressed);
    const QImage pressed = paint();
    // The whole picture moves one pixel right and down.
    EXPECT_EQ(test::PixelAt(pressed, QPoint(41, 3)), test::PixelAt(standard, QPoint(40, 2)));
    EXPECT_EQ(test::PixelAt(pressed, QPoint(31, 21)), test::PixelAt(standard, QPoint(30, 20)));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(40, 14));
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(button->face(), Face::Standard);
}

TEST_F(ButtonTest, HoverBrightensUntilThePointerLeaves) {
    const QImage standard = paint();
    QTest::mouseMove(button, QPoint(40, 14));
    QTRY_VERIFY(button->isHovered());
    EXPECT_EQ(button->face(), Face::Hover);
    const QImage hover = paint();
    const QPoint probe(6, 14);
    EXPECT_GT(test::PixelAt(hover, probe).lightness(), test::PixelAt(standard, probe).lightness());

    QTest::mouseMove(page.get(), QPoint(250, 150));
    QTRY_VERIFY(!button->isHovered());
    EXPECT_EQ(button->face(), Face::Standard);
}

TEST_F(ButtonTest, DisabledIsGreyed) {
    button->setEnabled(false);
    const QImage grey = paint();
    const QColor c = test::PixelAt(grey, QPoint(6, 14));
    EXPECT_LE(std::abs(c.red() - c.blue()), 2);
    EXPECT_LE(std::abs(c.red() - c.green()), 2);
}

TEST_F(ButtonTest, TooltipShowsAndGoesAfterTwoSeconds) {
    button->setTooltipText(QStringLiteral("Power ON"));
    QHelpEvent help(QEvent::ToolTip, QPoint(10, 10), button->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(button, &help);
    ASSERT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Power ON"));
    QElapsedTimer t;
    t.start();
    QTest::qWait(CGdipButton::kTooltipMs - 500);
    EXPECT_TRUE(QToolTip::isVisible()) << "still there before the time is up";
    QTRY_VERIFY_WITH_TIMEOUT(!QToolTip::isVisible(), 2000);
    EXPECT_GE(t.elapsed(), CGdipButton::kTooltipMs - 100);
}

TEST(GdipButton, MissingImageDrawsTextOnly) {
    CGdipButton b(1078);
    b.setImages(9999);
    EXPECT_FALSE(b.hasImage());
    b.setText(QStringLiteral("Reset"));
    b.resize(80, 28);
    const QImage img = test::Grab(&b);
    EXPECT_EQ(test::PixelAt(img, QPoint(2, 2)), b.palette().color(QPalette::Window))
        << "no face behind the text";
    EXPECT_EQ(b.property("controlId").toInt(), 1078);
    EXPECT_EQ(b.font().pixelSize(), 12);
}

} // namespace
} // namespace fenno

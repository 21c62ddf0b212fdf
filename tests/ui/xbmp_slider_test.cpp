#include "tests/ui/grab_util.h"
#include "tests/ui/slider_test_util.h"
#include "ui/controls/control_art.h"
#include "ui/controls/xbmp_slider.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace fenno {
namespace {

constexpr int kId = 1041;

class SliderTest : public ::testing::Test {
  protected:
    void SetUp() override { build(); }

    void build() {
        page = std::make_unique<QWidget>();
        page->resize(300, 200);
        slider = new CXBmpSlider(kId, page.get());
        slider->setMargins(7, 7, 3, 2);
        slider->setImages(324, 320, 369, 325);
        slider->setRange(0, 100);
        slider->setGeometry(10, 10, 120, 22);
        other = new QLineEdit(page.get());
        other->setGeometry(10, 100, 80, 22);
        page->show();
        page->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(page.get()));
        other->setFocus();
        changed = std::make_unique<QSignalSpy>(slider, &CXBmpSlider::positionChanged);
        released = std::make_unique<QSignalSpy>(slider, &CXBmpSlider::released);
        focused = std::make_unique<QSignalSpy>(slider, &CXBmpSlider::focusGained);
    }

    void makeVertical(int min, int max) {
        slider->setOrientation(true);
        slider->setMargins(6, 4, 13, 12);
        slider->setImages(323, 322, 350, 321);
        slider->setRange(min, max);
        slider->setGeometry(10, 10, 32, 120);
    }

    QPoint thumbCentre() const { return slider->mapping().thumbRect(slider->getPos()).center(); }

    static QList<QVariant> Args(int id, int pos) { return {id, pos}; }

    std::unique_ptr<QWidget> page;
    CXBmpSlider* slider = nullptr;
    QLineEdit* other = nullptr;
    std::unique_ptr<QSignalSpy> changed, released, focused;
};

TEST_F(SliderTest, TrackClickMovesExactlyOneStepTowardThePointer) {
    struct Case {
        const char* what;
        bool vertical;
        int start;
        int expected;
        bool towardsEnd; // click right of (or above) the thumb
    };
    const std::vector<Case> cases = {
        {"far right of the thumb", false, 50, 51, true},
        {"far left of the thumb", false, 50, 49, false},
        {"at the maximum it stays put", false, 100, 100, true},
        {"vertical above the thumb", true, 4, 5, true},
        {"vertical below the thumb", true, 4, 3, false},
    };
    for (const auto& c : cases) {
        build();
        if (c.vertical) makeVertical(1, 8);
        slider->setPos(c.start);
        const QRect t = slider->mapping().thumbRect(c.start);
        QPoint at;
        if (c.vertical)
            at = QPoint(t.center().x(), c.towardsEnd ? 14 : slider->height() - 1);
        else
            at = QPoint(c.towardsEnd ? slider->width() - 2 : 1, t.center().y());
        ASSERT_FALSE(slider->mapping().hitsThumb(c.start, at)) << c.what;
        QTest::mousePress(slider, Qt::LeftButton, {}, at);
        EXPECT_FALSE(slider->isDragging()) << c.what;
        QTest::mouseRelease(slider, Qt::LeftButton, {}, at);
        EXPECT_EQ(slider->getPos(), c.expected) << c.what;
        ASSERT_EQ(changed->count(), 1) << c.what;
        EXPECT_EQ(changed->at(0), Args(kId, c.expected)) << c.what;
        ASSERT_EQ(released->count(), 1) << c.what;
        EXPECT_EQ(released->at(0), Args(kId, c.expected)) << c.what;
        EXPECT_TRUE(slider->hasFocus()) << c.what << ": a press takes the focus";
    }
}

TEST_F(SliderTest, DragFollowsThePointerAndReleaseReports) {
    slider->setPos(20);
    const SliderGeometry g = slider->mapping();
    QTest::mousePress(slider, Qt::LeftButton, {}, thumbCentre());
    ASSERT_TRUE(slider->isDragging());
    EXPECT_EQ(changed->count(), 1) << "pressing the thumb reports the position too";
    EXPECT_EQ(changed->at(0), Args(kId, 20));

    const QPoint to(g.PosToPixel(70) + g.thumb.width() / 2, thumbCentre().y());
    QTest::mouseMove(slider, to);
    EXPECT_EQ(slider->getPos(), g.dragPos(to));
    EXPECT_NEAR(slider->getPos(), 70, 1);
    EXPECT_EQ(changed->count(), 2);
    EXPECT_EQ(released->count(), 0) << "nothing is released while dragging";

    QTest::mouseMove(slider, QPoint(slider->width() + 50, to.y()));
    EXPECT_EQ(slider->getPos(), 100) << "clamped past the end";
    QTest::mouseMove(slider, QPoint(slider->width() + 60, to.y()));
    EXPECT_EQ(changed->count(), 3) << "a move that leaves the position alone reports nothing";

    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(slider->width() + 60, to.y()));
    EXPECT_FALSE(slider->isDragging());
    ASSERT_EQ(released->count(), 1);
    EXPECT_EQ(released->at(0), Args(kId, 100));
}

TEST_F(SliderTest, VerticalDragToTheTopMarginGivesTheMaximum) {
    makeVertical(1, 8);
    slider->setPos(2);
    QTest::mousePress(slider, Qt::LeftButton, {}, thumbCentre());
    const QPoint top(thumbCentre().x(), slider->margins().top() + slider->thumbSize().height() / 2);
    QTest::mouseMove(slider, top);
    EXPECT_EQ(slider->getPos(), 8);
    QTest::mouseMove(slider, QPoint(top.x(), slider->height() - 1));
    EXPECT_EQ(slider->getPos(), 1);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(top.x(), slider->height() - 1));
}

TEST_F(SliderTest, KeysStepAndReportChangeThenRelease) {
    struct Case {
        Qt::Key key;
        int start;
        int expected;
    };
    const std::vector<Case> cases = {
        {Qt::Key_Up, 50, 51},   {Qt::Key_Right, 50, 51}, {Qt::Key_Left, 50, 49},
        {Qt::Key_Down, 50, 49}, {Qt::Key_Up, 100, 100},  {Qt::Key_Down, 0, 0},
    };
    for (const auto& c : cases) {
        slider->setPos(c.start);
        slider->setFocus();
        changed->clear();
        released->clear();
        QTest::keyClick(slider, c.key);
        EXPECT_EQ(slider->getPos(), c.expected) << c.key;
        ASSERT_EQ(changed->count(), 1) << c.key << ": reported even when clamped";
        EXPECT_EQ(changed->at(0), Args(kId, c.expected));
        ASSERT_EQ(released->count(), 1) << c.key;
        EXPECT_EQ(released->at(0), Args(kId, c.expected));
    }
}

TEST_F(SliderTest, OtherKeysAreSwallowedButTabMovesOn) {
    slider->setPos(10);
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_A);
    QTest::keyClick(slider, Qt::Key_Escape);
    EXPECT_EQ(slider->getPos(), 10);
    EXPECT_EQ(changed->count(), 0);
    QTest::keyClick(slider, Qt::Key_Tab);
    EXPECT_TRUE(other->hasFocus());
}

TEST_F(SliderTest, WheelNotchesStepOncePerNotch) {
    slider->setPos(50);
    test::Wheel(slider, 2);
    EXPECT_EQ(slider->getPos(), 52);
    test::Wheel(slider, -1);
    EXPECT_EQ(slider->getPos(), 51);
    ASSERT_EQ(changed->count(), 2) << "one report per wheel event, not per notch";
    EXPECT_EQ(released->count(), 2);

    // Half notches from a fine-grained wheel add up to one step.
    test::Wheel(slider, 1, 60);
    EXPECT_EQ(slider->getPos(), 51);
    EXPECT_EQ(changed->count(), 2);
    test::Wheel(slider, 1, 60);
    EXPECT_EQ(slider->getPos(), 52);
    EXPECT_EQ(changed->count(), 3);
}

TEST_F(SliderTest, DisabledIgnoresPressesAndKeysButNotTheWheel) {
    slider->setPos(50);
    slider->setSliderEnabled(false);
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(slider->width() - 2, 10));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(slider->width() - 2, 10));
    EXPECT_EQ(slider->getPos(), 50);
    EXPECT_FALSE(slider->hasFocus()) << "a disabled slider does not take the focus by click";
    EXPECT_EQ(changed->count(), 0);
    EXPECT_EQ(released->count(), 0);

    slider->setFocus();
    EXPECT_EQ(focused->count(), 1) << "focus changes still work";
    QTest::keyClick(slider, Qt::Key_Up);
    EXPECT_EQ(slider->getPos(), 50);
    EXPECT_EQ(changed->count(), 0);

    test::Wheel(slider, 1);
    EXPECT_EQ(slider->getPos(), 51);
    ASSERT_EQ(changed->count(), 1);
    EXPECT_EQ(changed->at(0), Args(kId, 51));
    EXPECT_EQ(released->count(), 1);
}

TEST_F(SliderTest, FocusGainReportsOnceWithThePosition) {
    slider->setPos(33);
    slider->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(focused->count(), 1);
    EXPECT_EQ(focused->at(0), Args(kId, 33));
    other->setFocus();
    EXPECT_EQ(focused->count(), 1);
}

TEST_F(SliderTest, SettersClampWithoutNotifying) {
    slider->setPos(500);
    EXPECT_EQ(slider->getPos(), 100);
    slider->setRange(10, 20);
    EXPECT_EQ(slider->getPos(), 20);
    slider->setRange(30, 5);
    EXPECT_EQ(slider->minimum(), 5);
    EXPECT_EQ(slider->maximum(), 30);
    EXPECT_EQ(changed->count(), 0);

    CXBmpSlider fresh(7);
    EXPECT_EQ(fresh.minimum(), 0);
    EXPECT_EQ(fresh.maximum(), 127);
    EXPECT_EQ(fresh.getPos(), 0);
    EXPECT_EQ(fresh.backgroundColour(), QColor(199, 199, 199));
    EXPECT_EQ(fresh.property("controlId").toInt(), 7);
}

// The thumb region as painted, for comparing the three thumb faces.
QImage ThumbPixels(CXBmpSlider* s) {
    const QRect r = s->mapping().thumbRect(s->getPos());
    return test::Region(test::Grab(s), r);
}

TEST_F(SliderTest, ThumbFaceFollowsFocusAndEnabledState) {
    slider->setPos(50);
    const QImage normal = ThumbPixels(slider);
    slider->setFocus();
    const QImage focusedFace = ThumbPixels(slider);
    slider->setSliderEnabled(false);
    const QImage disabled = ThumbPixels(slider);
    other->setFocus();
    const QImage disabledUnfocused = ThumbPixels(slider);

    EXPECT_NE(normal, focusedFace);
    EXPECT_NE(normal, disabled);
    EXPECT_NE(focusedFace, disabled);
    EXPECT_EQ(disabled, disabledUnfocused) << "disabled wins over focused";
}

TEST_F(SliderTest, FillIsLitOnlyBetweenTheStartAndTheThumb) {
    slider->setBackgroundColour(QColor(240, 250, 255));
    slider->setPos(50);
    const QImage img = test::Grab(slider);
    const QRect t = slider->mapping().thumbRect(50);
    const int y = t.center().y();
    const QColor lit = test::PixelAt(img, QPoint(t.left() - 6, y));
    const QColor dark = test::PixelAt(img, QPoint(t.right() + 6, y));
    EXPECT_GT(lit.blue(), 150) << "cyan fill left of the thumb";
    EXPECT_LT(dark.lightness(), 60) << "unlit groove right of the thumb";
    EXPECT_EQ(test::PixelAt(img, QPoint(2, 1)), QColor(240, 250, 255))
        << "cleared with the page colour";

    makeVertical(1, 8);
    slider->setPos(4);
    const QImage v = test::Grab(slider);
    const QRect vt = slider->mapping().thumbRect(4);
    EXPECT_GT(test::PixelAt(v, QPoint(vt.center().x(), vt.bottom() + 6)).red(), 150)
        << "amber fill below";
    EXPECT_LT(test::PixelAt(v, QPoint(vt.center().x(), vt.top() - 6)).lightness(), 60)
        << "dark above";
}

TEST(SliderArt, RendersAtTheDevicePixelRatio) {
    const SliderGeometry g{QSize(100, 22), QSize(11, 17), QMargins(7, 3, 7, 2), false, 0, 99};
    const QPixmap track = art::SliderTrack(g, QColor(25, 181, 254), true, 2.0);
    EXPECT_EQ(track.size(), QSize(200, 44));
    EXPECT_EQ(track.deviceIndependentSize().toSize(), QSize(100, 22));
    const QPixmap thumb =
        art::SliderThumb(QSize(11, 17), false, art::ThumbLook::Focused, QColor(25, 181, 254), 2.0);
    EXPECT_EQ(thumb.size(), QSize(22, 34));
}

} // namespace
} // namespace fenno

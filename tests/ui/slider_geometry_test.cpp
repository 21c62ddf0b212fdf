#include "ui/controls/slider_geometry.h"

#include <gtest/gtest.h>
#include <vector>

namespace fenno {
namespace {

// Output-page style horizontal slider: 100 wide, thumb 11x17, margins 7/7/3/2 -> span 75.
SliderGeometry Horizontal(int min, int max) {
    return {QSize(100, 22), QSize(11, 17), QMargins(7, 3, 7, 2), false, min, max};
}

// Feedback-suppressor style vertical slider: 120 high, thumb 22x11, margins l6 r4 t13 b12 ->
// span 84.
SliderGeometry Vertical(int min, int max) {
    return {QSize(32, 120), QSize(22, 11), QMargins(6, 13, 4, 12), true, min, max};
}

struct MappingCase {
    const char* what;
    SliderGeometry g;
    int pos;
    int pixel;
};

TEST(SliderGeometry, PosToPixelTruncates) {
    const std::vector<MappingCase> cases = {
        {"start sits on the left margin", Horizontal(0, 99), 0, 7},
        {"end sits one span further", Horizontal(0, 99), 99, 82},
        {"50*75/99 = 37.9 truncates to 37", Horizontal(0, 99), 50, 44},
        {"negative minimum is the origin", Horizontal(-5, 5), -5, 7},
        {"pitch 0 of -5..5: 5*75/10 = 37.5 -> 37", Horizontal(-5, 5), 0, 44},
        {"vertical maximum at the top margin", Vertical(1, 8), 8, 13},
        {"vertical minimum at the bottom", Vertical(1, 8), 1, 97},
        {"vertical 5 of 1..8: 3*84/7 = 36", Vertical(1, 8), 5, 49},
        {"out-of-range position is clamped first", Horizontal(0, 99), 500, 82},
        {"one-value range parks the thumb at the start", Horizontal(3, 3), 3, 7},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.g.PosToPixel(c.pos), c.pixel) << c.what;
}

TEST(SliderGeometry, PixelToPosTruncatesAndClamps) {
    const std::vector<MappingCase> cases = {
        {"37*99/75 = 48.8 truncates to 48 (not the 50 that drew there)", Horizontal(0, 99), 48, 44},
        {"left margin gives the minimum", Horizontal(0, 99), 0, 7},
        {"end of span gives the maximum", Horizontal(0, 99), 99, 82},
        {"left of the margin clamps to the minimum", Horizontal(0, 99), 0, 0},
        {"right of the span clamps to the maximum", Horizontal(0, 99), 99, 300},
        {"37*10/75 = 4.9 -> -5 + 4", Horizontal(-5, 5), -1, 44},
        {"vertical top margin gives the maximum", Vertical(1, 8), 8, 13},
        {"vertical 35*7/84 = 2.9 -> 8 - 2", Vertical(1, 8), 6, 48},
        {"vertical bottom gives the minimum", Vertical(1, 8), 1, 97},
        {"vertical above the top clamps to the maximum", Vertical(1, 8), 8, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.g.PixelToPos(c.pixel), c.pos) << c.what;
}

TEST(SliderGeometry, DegenerateSizesDoNotDivideByZero) {
    SliderGeometry tiny = Horizontal(0, 99);
    tiny.size = QSize(10, 22); // narrower than thumb plus margins
    EXPECT_LE(tiny.span(), 0);
    EXPECT_EQ(tiny.PosToPixel(50), 7);
    EXPECT_EQ(tiny.PixelToPos(50), 0);
    EXPECT_EQ(Horizontal(4, 4).PixelToPos(60), 4);
    EXPECT_EQ(Vertical(4, 4).PixelToPos(60), 4);
}

TEST(SliderGeometry, StepTowardPointerIsOneStepFromTheThumbCentre) {
    const SliderGeometry h = Horizontal(0, 99); // pos 50: thumb x 44..54, centre 49.5
    EXPECT_EQ(h.stepToward(50, QPoint(50, 10)), 51);
    EXPECT_EQ(h.stepToward(50, QPoint(49, 10)), 49);
    EXPECT_EQ(h.stepToward(50, QPoint(99, 10)), 51) << "far clicks still move one step";
    EXPECT_EQ(h.stepToward(99, QPoint(99, 10)), 99) << "clamped at the maximum";
    EXPECT_EQ(h.stepToward(0, QPoint(0, 10)), 0) << "clamped at the minimum";

    const SliderGeometry v = Vertical(1, 8); // pos 5: thumb y 49..59, centre 54.5
    EXPECT_EQ(v.stepToward(5, QPoint(10, 54)), 6) << "above the centre is up";
    EXPECT_EQ(v.stepToward(5, QPoint(10, 55)), 4);
}

TEST(SliderGeometry, DragHoldsTheThumbByItsMiddle) {
    const SliderGeometry h = Horizontal(0, 99);
    EXPECT_EQ(h.dragPos(QPoint(7 + 5, 0)), 0);
    EXPECT_EQ(h.dragPos(QPoint(82 + 5, 0)), 99);
    EXPECT_EQ(h.dragPos(QPoint(44 + 5, 0)), 48);

    const SliderGeometry v = Vertical(1, 8);
    EXPECT_EQ(v.dragPos(QPoint(0, 13 + 5)), 8) << "dragging to the top margin gives the maximum";
    EXPECT_EQ(v.dragPos(QPoint(0, 119)), 1);
}

TEST(SliderGeometry, ThumbRectAndHitTest) {
    const SliderGeometry h = Horizontal(0, 99);
    EXPECT_EQ(h.thumbRect(50), QRect(44, 3, 11, 17));
    EXPECT_TRUE(h.hitsThumb(50, QPoint(44, 3)));
    EXPECT_FALSE(h.hitsThumb(50, QPoint(55, 10)));
    EXPECT_EQ(Vertical(1, 8).thumbRect(8), QRect(6, 13, 22, 11));
}

} // namespace
} // namespace fenno

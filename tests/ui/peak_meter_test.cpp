#include "tests/ui/grab_util.h"
#include "ui/controls/peak_meter_ctrl.h"

#include <QTest>
#include <gtest/gtest.h>
#include <vector>

namespace fenno {
namespace {

TEST(PeakMeterModel, ZoneOfEachSegment) {
    struct Case {
        const char* what;
        int segments, range, limit1, limit2;
        std::vector<int> zones;
    };
    const std::vector<Case> cases = {
        // 8*40/60 = 5.33: segment 5 is still below the first limit.
        {"defaults", 8, 60, 40, 50, {0, 0, 0, 0, 0, 0, 1, 2}},
        {"music page, one column of 15",
         15,
         60,
         40,
         50,
         {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 2, 2}},
        {"limit exactly on a segment boundary", 10, 100, 50, 80, {0, 0, 0, 0, 0, 1, 1, 1, 2, 2}},
        {"limits at the top leave everything green", 4, 60, 60, 60, {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        PeakMeterModel m;
        m.setSegments(c.segments);
        m.setRange(c.range);
        m.setZoneLimits(c.limit1, c.limit2);
        std::vector<int> got;
        for (int i = 0; i < c.segments; ++i)
            got.push_back(m.zone(i));
        EXPECT_EQ(got, c.zones) << c.what;
    }
}

TEST(PeakMeterModel, OverRangeFillsTheBarAndDecaysOneSegmentPerTick) {
    PeakMeterModel m;
    m.setChannels(1);
    const int v = 70;
    m.setData(std::span(&v, 1), 0);
    EXPECT_EQ(m.channel(0).level, 60) << "clamped to the range";
    for (int s = 0; s < 8; ++s)
        EXPECT_TRUE(m.lit(0, s)) << s;
    EXPECT_EQ(m.peakSegment(0), 7) << "peak at the top";

    for (int tick = 1; tick <= 8; ++tick) {
        m.tick();
        EXPECT_DOUBLE_EQ(m.channel(0).level, std::max(0.0, 60 - 7.5 * tick));
        EXPECT_FALSE(m.lit(0, 8 - tick)) << "one more segment dark after tick " << tick;
    }
    m.tick();
    m.tick();
    EXPECT_EQ(m.channel(0).peak, 60) << "the peak is held for ten ticks";
    m.tick();
    EXPECT_DOUBLE_EQ(m.channel(0).peak, 60 - 3.75) << "then falls by half a level step";

    int more = 0;
    while (m.tick())
        ++more;
    EXPECT_TRUE(m.atRest());
    EXPECT_EQ(more, 14) << "15 peak steps left; the last one brings it to rest";
}

TEST(PeakMeterModel, SingleSegmentStepsAndDataPlacement) {
    PeakMeterModel m;
    m.setSegments(1);
    EXPECT_DOUBLE_EQ(m.levelStep(), 6.0);
    EXPECT_DOUBLE_EQ(m.peakStep(), 5.0);

    PeakMeterModel d;
    d.setChannels(3);
    const std::vector<int> values{-5, 30, 45, 50};
    d.setData(values, 1); // channels 1, 2; the rest falls off the end
    EXPECT_EQ(d.channel(0).level, 0);
    EXPECT_EQ(d.channel(1).level, 0) << "negative clamps to 0";
    EXPECT_EQ(d.channel(2).level, 30);
    const int low = 10;
    d.setData(std::span(&low, 1), 2);
    EXPECT_EQ(d.channel(2).level, 10);
    EXPECT_EQ(d.channel(2).peak, 30) << "a lower value leaves the peak";

    PeakMeterModel zero;
    zero.setRange(0);
    EXPECT_EQ(zero.range(), 1) << "a zero range would divide by zero";
}

class MeterWidget : public ::testing::Test {
  protected:
    void SetUp() override {
        meter.setChannels(1);
        meter.setSegments(8);
        meter.resize(20, 160);
    }

    QColor painted(int segment) {
        return test::PixelAt(test::Grab(&meter), meter.segmentRect(0, segment).center());
    }

    CPeakMeterCtrl meter{1168};
};

TEST_F(MeterWidget, PaintsZoneColoursLitAndUnlit) {
    const int v = 30; // 8*30/60 = 4 segments lit
    meter.setDecayPeriod(0);
    meter.setData(std::span(&v, 1));
    const std::vector<QColor> expected = {QColor(0, 255, 0), QColor(0, 255, 0), QColor(0, 255, 0),
                                          QColor(0, 255, 0), QColor(2, 60, 2),  QColor(2, 60, 2),
                                          QColor(60, 60, 2), QColor(60, 2, 2)};
    for (int s = 0; s < 8; ++s)
        EXPECT_EQ(painted(s), expected[static_cast<size_t>(s)]) << "segment " << s;

    meter.setGrid(true);
    EXPECT_EQ(painted(7), QColor(45, 0, 0)) << "grid darkens unlit colours by 15";
    EXPECT_EQ(painted(5), QColor(0, 45, 0));
    EXPECT_EQ(painted(0), QColor(0, 255, 0)) << "lit colours stay";
}

TEST_F(MeterWidget, SegmentsFillUpwardsWhenVertical) {
    EXPECT_GT(meter.segmentRect(0, 0).top(), meter.segmentRect(0, 7).top());
    meter.setVertical(false);
    EXPECT_LT(meter.segmentRect(0, 0).left(), meter.segmentRect(0, 7).left());
}

TEST_F(MeterWidget, DecayTimerRunsUntilEverythingRests) {
    meter.setDecayPeriod(10);
    const int v = 70;
    meter.setData(std::span(&v, 1));
    EXPECT_TRUE(meter.isDecaying());
    EXPECT_EQ(painted(7), QColor(255, 0, 0)) << "over-range lights the top";
    QTRY_VERIFY_WITH_TIMEOUT(!meter.isDecaying(), 3000);
    EXPECT_TRUE(meter.model().atRest());
    EXPECT_EQ(painted(0), QColor(2, 60, 2));
}

TEST_F(MeterWidget, DefaultsMatchTheLedLook) {
    CPeakMeterCtrl m(1);
    EXPECT_EQ(m.model().channels(), 8);
    EXPECT_EQ(m.model().segments(), 8);
    EXPECT_EQ(m.model().range(), 60);
    EXPECT_EQ(m.model().limit1(), 40);
    EXPECT_EQ(m.model().limit2(), 50);
    EXPECT_EQ(m.decayPeriod(), 10);
}

} // namespace
} // namespace fenno

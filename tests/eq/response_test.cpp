// Response curves: the sin^2 evaluation against direct |H|, the grid, the PEQ centre point,
// sums, followers and the no-window cases.
#include "eq/biquad.h"
#include "eq/eq_band.h"
#include "eq/eq_response.h"
#include "filter_math.h"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace fenno {
namespace {

using test::DigitalDb;
using test::kFs;

EqBand MakeBand(int kind, float freq, float gain, float q) {
    EqBand b;
    b.kind = kind;
    b.frequency = freq;
    b.gain = gain;
    b.q = q;
    return b;
}

TEST(ResponseGrid, LogarithmicFrom18HzToJustBelow23kHz) {
    EXPECT_DOUBLE_EQ(ResponseFreq(0), 18.0);
    EXPECT_NEAR(ResponseFreq(511), 18.0 * std::pow(23000.0 / 18.0, 511.0 / 512.0), 1e-9);
    EXPECT_NEAR(ResponseFreq(511), 22681.0, 0.5);
    EXPECT_NEAR(ResponseFreq(256), std::sqrt(18.0 * 23000.0), 1e-9); // geometric midpoint
    for (int i = 1; i < kResponsePoints; ++i) {
        EXPECT_NEAR(ResponseFreq(i) / ResponseFreq(i - 1), std::pow(23000.0 / 18.0, 1.0 / 512),
                    1e-12);
    }
}

TEST(ComputeBandResponse, MatchesDirectMagnitudeForEveryKind) {
    std::vector<EqBand> bands;
    for (int kind = 1; kind <= 21; ++kind) {
        const bool gain = kind == 1 || kind == 4 || kind == 5;
        bands.push_back(MakeBand(kind, 1000, gain ? 7.5f : 0.0f, 0.9f));
        bands.push_back(MakeBand(kind, 20, gain ? -15.0f : 0.0f, 0.1f));
        bands.push_back(MakeBand(kind, 20000, gain ? 15.0f : 0.0f, kind == 1 ? 30.0f : 2.0f));
    }
    for (EqBand& b : bands) {
        ComputeBandResponse(b, 800);
        const BiquadCoeffs c = ComputeBiquad(b.kind, b.frequency, b.gain, b.q, 0, kFs);
        const int centre = CentreIndex(b.frequency, 800);
        for (int i = 0; i < kResponsePoints; ++i) {
            ASSERT_TRUE(std::isfinite(b.response[i])) << b.kind << " point " << i;
            if (b.kind == 1 && i == centre) continue;
            const double want = DigitalDb(c, ResponseFreq(i));
            if (want < -150) continue;
            ASSERT_NEAR(b.response[i], want, 1e-3)
                << "kind " << b.kind << " f0 " << b.frequency << " point " << i;
        }
    }
}

TEST(ComputeBandResponse, PeqCentrePointHoldsExactlyTheGain) {
    EqBand b = MakeBand(kFilterPeq, 1000, 6, 1.41f);
    ComputeBandResponse(b, 512);
    const int c = CentreIndex(1000, 512);
    EXPECT_EQ(c, 287);
    EXPECT_EQ(b.response[c], 6.0f);
    // The neighbours are evaluated, not forced: close to but below the peak.
    EXPECT_LT(b.response[c - 1], 6.0f);
    EXPECT_GT(b.response[c - 1], 5.5f);
    EXPECT_LT(b.response[c + 1], 6.0f);
    EXPECT_NEAR(b.response[0], 0.0f, 0.05f);
    EXPECT_NEAR(b.response[511], 0.0f, 0.05f);
}

TEST(CentreIndex, PixelQuantisedInSinglePrecision) {
    struct Case {
        int width;
        float freq;
        int want;
    };
    // The index comes from the handle's whole pixel, so narrow plots shift it.
    const Case cases[] = {{512, 1000, 287}, {700, 1000, 287},   {2000, 1000, 287},
                          {1, 1000, 0},     {100, 20000, 501},  {300, 20, 6},
                          {833, 63, 89},    {1024, 16000, 486}, {640, 100, 122}};
    for (const Case& c : cases)
        EXPECT_EQ(CentreIndex(c.freq, c.width), c.want) << c.width << " px, " << c.freq << " Hz";
    EXPECT_EQ(CentreIndex(1000, 0), -1);
    EXPECT_EQ(CentreIndex(1000, -5), -1);
    // Frequencies outside the axis stay on the grid.
    EXPECT_EQ(CentreIndex(5, 800), 0);
    EXPECT_EQ(CentreIndex(40000, 800), kResponsePoints - 1);
}

TEST(ComputeBandResponse, ZeroGainPeqIsFlat) {
    for (float q : {0.1f, 1.41f, 30.0f}) {
        for (float f : {20.0f, 1000.0f, 20000.0f}) {
            EqBand b = MakeBand(kFilterPeq, f, 0, q);
            b.response.fill(9.0f);
            ComputeBandResponse(b, 640);
            for (float v : b.response)
                ASSERT_NEAR(v, 0.0f, 1e-6f) << f << " Hz Q " << q;
        }
    }
}

TEST(ComputeBandResponse, KindOffOrNoPlotLeavesTheOldCurve) {
    EqBand off = MakeBand(kFilterOff, 1000, 5, 1);
    off.response.fill(3.0f);
    ComputeBandResponse(off, 600);
    EXPECT_EQ(off.response[100], 3.0f);

    for (int width : {0, -1}) {
        EqBand peq = MakeBand(kFilterPeq, 1000, 5, 1);
        peq.response.fill(-2.0f);
        ComputeBandResponse(peq, width);
        EXPECT_EQ(peq.response[287], -2.0f) << width;
    }
}

TEST(ComputeBandResponse, GridDoesNotDependOnPlotWidth) {
    EqBand a = MakeBand(kFilterLowShelf, 150, 8, 0.8f);
    EqBand b = a;
    ComputeBandResponse(a, 300);
    ComputeBandResponse(b, 1500);
    EXPECT_EQ(a.response, b.response);
}

TEST(ComputeBandResponse, DeepStopBandStaysFinite) {
    for (int kind : {3, 7, 9, 11, 13, 15, 17, 19, 21}) {
        EqBand b = MakeBand(kind, 20000, 0, 0.1f);
        ComputeBandResponse(b, 800);
        for (float v : b.response)
            ASSERT_TRUE(std::isfinite(v)) << kind;
        EXPECT_LT(b.response[0], -60.0f) << kind;
    }
}

TEST(SumResponse, AddsBandsInUseAndSkipsKindOff) {
    std::vector<EqBand> bands(4);
    for (int i = 0; i < 4; ++i)
        bands[i].response.fill(static_cast<float>(i + 1));
    bands[1].kind = kFilterOff; // stale non-zero curve must not count
    bands[2].response[10] = -7.0f;
    const ResponseCurve three = SumResponse(bands, 3);
    EXPECT_EQ(three[0], 1.0f + 3.0f);
    EXPECT_EQ(three[10], 1.0f - 7.0f);
    const ResponseCurve all = SumResponse(bands, 4);
    EXPECT_EQ(all[0], 1.0f + 3.0f + 4.0f);
    EXPECT_EQ(SumResponse(bands, 99), all);
    EXPECT_EQ(SumResponse(bands, 0), ResponseCurve{});
    EXPECT_EQ(SumResponse(bands, -3), ResponseCurve{});
}

// Bands 0..3: master 0 with followers 1, 2, 3.
std::vector<EqBand> Group(int masterKind, int k1, int k2, int k3) {
    std::vector<EqBand> bands(4);
    const int kinds[4] = {masterKind, k1, k2, k3};
    for (int i = 0; i < 4; ++i) {
        bands[i].index = i;
        bands[i].kind = kinds[i];
        bands[i].frequency = 100.0f + 100.0f * i;
        bands[i].q = 0.7f;
    }
    bands[0].followerCount = 3;
    bands[0].followers = {1, 2, 3};
    return bands;
}

TEST(ComputeResponse, MasterMovesAndRecomputesItsFollowers) {
    std::vector<EqBand> bands = Group(18, 20, 18, 20);
    bands[0].frequency = 2500.0f;
    ComputeResponse(bands, 0, 700);
    for (int f = 1; f <= 3; ++f) {
        EXPECT_EQ(bands[f].frequency, 2500.0f);
        EqBand alone = bands[f];
        alone.response = {};
        ComputeBandResponse(alone, 700);
        EXPECT_EQ(bands[f].response, alone.response) << "follower " << f;
    }
    EXPECT_LT(bands[0].response[511], -10.0f);
}

TEST(ComputeResponse, FollowerAloneDoesNotMoveTheGroup) {
    std::vector<EqBand> bands = Group(18, 20, 18, 20);
    ComputeResponse(bands, 2, 700);
    EXPECT_EQ(bands[0].frequency, 100.0f);
    EXPECT_EQ(bands[1].frequency, 200.0f);
    EXPECT_EQ(bands[1].response, ResponseCurve{});
    EXPECT_NE(bands[2].response, ResponseCurve{});
}

TEST(ComputeResponse, KindOffMasterOrNoWindowTouchesNothing) {
    std::vector<EqBand> off = Group(kFilterOff, 20, 18, 20);
    off[0].frequency = 5000.0f;
    ComputeResponse(off, 0, 700);
    EXPECT_EQ(off[1].frequency, 200.0f);

    std::vector<EqBand> noWindow = Group(18, 20, 18, 20);
    noWindow[0].frequency = 5000.0f;
    ComputeResponse(noWindow, 0, 0);
    EXPECT_EQ(noWindow[1].frequency, 200.0f);
    EXPECT_EQ(noWindow[0].response, ResponseCurve{});
}

TEST(ComputeResponse, BadFollowerReferencesAreSkipped) {
    std::vector<EqBand> bands = Group(18, 20, 18, 20);
    bands[0].followers = {0, 7, -1}; // itself, past the end, none
    ComputeResponse(bands, 0, 700);
    EXPECT_NE(bands[0].response, ResponseCurve{});
    ComputeResponse(bands, 9, 700); // index past the end is ignored
}

TEST(GroupResponse, SumsMasterAndFollowersExceptKindOff) {
    std::vector<EqBand> bands = Group(12, 12, kFilterOff, 1);
    for (int i = 0; i < 4; ++i)
        bands[i].response.fill(static_cast<float>(1 << i));
    EXPECT_EQ(GroupResponse(bands, 0)[5], 1.0f + 2.0f + 8.0f);
    EXPECT_EQ(GroupResponse(bands, 1)[5], 2.0f); // a follower alone is just itself
}

} // namespace
} // namespace fenno

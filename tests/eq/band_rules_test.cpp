// The band rules: clamping, which kinds carry a gain, Q ranges and kind-change defaults.
#include "eq/eq_band.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

namespace fenno {
namespace {

TEST(EqBand, FreshBandDefaults) {
    const EqBand b;
    EXPECT_EQ(b.kind, 1);
    EXPECT_EQ(b.frequency, 100.0f);
    EXPECT_EQ(b.gain, 0.0f);
    EXPECT_EQ(b.q, 1.41f);
    EXPECT_EQ(b.response, ResponseCurve{});
    EXPECT_EQ(b.freqMin, 20.0f);
    EXPECT_EQ(b.freqMax, 20000.0f);
    EXPECT_EQ(b.gainMin, -15.0f);
    EXPECT_EQ(b.gainMax, 15.0f);
    EXPECT_EQ(b.followerCount, 0);
    EXPECT_FALSE(IsGroupMaster(b));
}

constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

struct RuleCase {
    const char* what;
    int kind;
    float startGain, startQ, startFreq;
    std::function<void(EqBand&)> apply;
    float wantGain, wantQ, wantFreq;
};

TEST(BandRules, SettersClampAndFilterByKind) {
    const RuleCase cases[] = {
        // gain
        {"LP holds 0 dB", 2, 0, 0.7f, 1000, [](EqBand& b) { SetBandGain(b, 5); }, 0, 0.7f, 1000},
        {"HP holds 0 dB", 3, 0, 0.7f, 1000, [](EqBand& b) { SetBandGain(b, -5); }, 0, 0.7f, 1000},
        {"fixed-Q section holds 0 dB", 18, 0, 1, 1000, [](EqBand& b) { SetBandGain(b, 3); }, 0, 1,
         1000},
        {"LS keeps its gain", 4, 0, 0.7f, 1000, [](EqBand& b) { SetBandGain(b, 5); }, 5, 0.7f,
         1000},
        {"HS keeps its gain", 5, 0, 0.7f, 1000, [](EqBand& b) { SetBandGain(b, -7.5f); }, -7.5f,
         0.7f, 1000},
        {"kind 0 keeps what it is given", 0, 0, 1, 1000, [](EqBand& b) { SetBandGain(b, 5); }, 5, 1,
         1000},
        {"PEQ gain clamps high", 1, 0, 1, 1000, [](EqBand& b) { SetBandGain(b, 15.1f); }, 15, 1,
         1000},
        {"PEQ gain clamps low", 1, 0, 1, 1000, [](EqBand& b) { SetBandGain(b, -40); }, -15, 1,
         1000},
        {"kind 0 gain clamps too", 0, 0, 1, 1000, [](EqBand& b) { SetBandGain(b, 99); }, 15, 1,
         1000},
        {"NaN gain ignored", 1, 3, 1, 1000, [](EqBand& b) { SetBandGain(b, kNan); }, 3, 1, 1000},
        // Q
        {"PEQ Q clamps to 30", 1, 0, 1, 1000, [](EqBand& b) { SetBandQ(b, 40); }, 0, 30, 1000},
        {"HS Q clamps to 2", 5, 0, 1, 1000, [](EqBand& b) { SetBandQ(b, 40); }, 0, 2, 1000},
        {"kind 0 Q clamps to 2", 0, 0, 1, 1000, [](EqBand& b) { SetBandQ(b, 3); }, 0, 2, 1000},
        {"fixed-Q kind Q clamps to 2", 12, 0, 1, 1000, [](EqBand& b) { SetBandQ(b, 3); }, 0, 2,
         1000},
        {"Q 0 is ignored", 1, 0, 5, 1000, [](EqBand& b) { SetBandQ(b, 0); }, 0, 5, 1000},
        {"tiny Q is ignored", 1, 0, 5, 1000, [](EqBand& b) { SetBandQ(b, 5e-8f); }, 0, 5, 1000},
        {"small Q clamps to 0.1", 1, 0, 5, 1000, [](EqBand& b) { SetBandQ(b, 0.01f); }, 0, 0.1f,
         1000},
        {"negative Q clamps to 0.1", 2, 0, 1, 1000, [](EqBand& b) { SetBandQ(b, -3); }, 0, 0.1f,
         1000},
        {"PEQ Q in range kept", 1, 0, 1, 1000, [](EqBand& b) { SetBandQ(b, 12.5f); }, 0, 12.5f,
         1000},
        {"infinite Q ignored", 1, 0, 1, 1000, [](EqBand& b) { SetBandQ(b, kInf); }, 0, 1, 1000},
        // frequency
        {"frequency clamps low", 1, 0, 1, 1000, [](EqBand& b) { SetBandFrequency(b, 5); }, 0, 1,
         20},
        {"frequency clamps high", 1, 0, 1, 1000, [](EqBand& b) { SetBandFrequency(b, 24000); }, 0,
         1, 20000},
        {"frequency 0 ignored", 1, 0, 1, 1000, [](EqBand& b) { SetBandFrequency(b, 0); }, 0, 1,
         1000},
        {"negative frequency clamps", 1, 0, 1, 1000, [](EqBand& b) { SetBandFrequency(b, -80); }, 0,
         1, 20},
        {"NaN frequency ignored", 1, 0, 1, 1000, [](EqBand& b) { SetBandFrequency(b, kNan); }, 0, 1,
         1000},
        // kind changes
        {"to PEQ: Q 1.41, gain kept", 4, 6, 0.5f, 1000, [](EqBand& b) { SetBandKind(b, 1); }, 6,
         1.41f, 1000},
        {"to LP: gain 0, Q 0.7", 1, 4, 5, 1000, [](EqBand& b) { SetBandKind(b, 2); }, 0, 0.7f,
         1000},
        {"to HS: gain 0, Q 0.7", 1, 4, 5, 1000, [](EqBand& b) { SetBandKind(b, 5); }, 0, 0.7f,
         1000},
        {"to OFF touches nothing", 1, 4, 5, 1000, [](EqBand& b) { SetBandKind(b, 0); }, 4, 5, 1000},
        {"to a section touches nothing", 1, 4, 5, 1000, [](EqBand& b) { SetBandKind(b, 19); }, 4, 5,
         1000},
    };
    for (const RuleCase& c : cases) {
        EqBand b;
        b.kind = c.kind;
        b.gain = c.startGain;
        b.q = c.startQ;
        b.frequency = c.startFreq;
        c.apply(b);
        EXPECT_EQ(b.gain, c.wantGain) << c.what;
        EXPECT_EQ(b.q, c.wantQ) << c.what;
        EXPECT_EQ(b.frequency, c.wantFreq) << c.what;
    }
}

TEST(BandRules, PeqToHighShelfAndBack) {
    EqBand b;
    SetBandGain(b, 4);
    SetBandQ(b, 5);
    SetBandKind(b, kFilterHighShelf);
    EXPECT_EQ(b.gain, 0.0f);
    EXPECT_EQ(b.q, 0.7f);
    SetBandKind(b, kFilterPeq);
    EXPECT_EQ(b.gain, 0.0f);
    EXPECT_EQ(b.q, 1.41f);
}

TEST(BandRules, LimitsComeFromTheBand) {
    EqBand b;
    b.freqMin = 100;
    b.freqMax = 200;
    b.gainMin = -3;
    b.gainMax = 3;
    SetBandFrequency(b, 50);
    EXPECT_EQ(b.frequency, 100.0f);
    SetBandFrequency(b, 900);
    EXPECT_EQ(b.frequency, 200.0f);
    SetBandGain(b, 6);
    EXPECT_EQ(b.gain, 3.0f);
}

} // namespace
} // namespace fenno

// Band groups (crossover codes, classes, menu kinds) and the panel model that owns them.
#include "eq/eq_block.h"
#include "eq/eq_group.h"
#include "eq/eq_model.h"

#include <array>
#include <gtest/gtest.h>

namespace fenno {
namespace {

using Kinds = std::array<int, 4>;

Kinds GroupKinds(const EqModel& m, int master) {
    const EqBand& b = *m.BandAt(master);
    return {b.kind, m.BandAt(b.followers[0])->kind, m.BandAt(b.followers[1])->kind,
            m.BandAt(b.followers[2])->kind};
}

class OutputModel : public ::testing::Test {
  protected:
    void SetUp() override {
        model.SetPlotWidth(800);
        model.SetBlock(kFirstOutputBlock);
    }
    EqModel model;
};

TEST_F(OutputModel, Lr48FollowsTheMastersDirection) {
    ASSERT_TRUE(model.SetBandKind(kGroupMasterBand, kFilterLowPass));
    ASSERT_TRUE(model.SetGroupCrossover(kGroupMasterBand, kCrossoverLr48));
    EXPECT_EQ(GroupKinds(model, kGroupMasterBand), (Kinds{18, 20, 18, 20}));

    model.SetBlock(kFirstOutputBlock); // master back to kind 1, which counts as odd
    ASSERT_TRUE(model.SetGroupCrossover(kGroupMasterBand, kCrossoverLr48));
    EXPECT_EQ(GroupKinds(model, kGroupMasterBand), (Kinds{19, 21, 19, 21}));
    int listKind = 1;
    EXPECT_EQ(ClassifyGroup(19, 21, 19, 21, listKind), 3);
    EXPECT_EQ(listKind, 3);
}

// Every code in both directions must classify back to itself; the two tables are separate.
TEST_F(OutputModel, EveryCrossoverCodeClassifiesBackToItself) {
    for (int code = 0; code < kCrossoverCodeCount; ++code) {
        for (int start : {kFilterLowPass, kFilterHighPass}) {
            model.SetBlock(kFirstOutputBlock);
            model.SetBandKind(kGroupMasterBand, start);
            model.SetGroupCrossover(kGroupMasterBand, code);
            const Kinds k = GroupKinds(model, kGroupMasterBand);
            int listKind = -1;
            EXPECT_EQ(ClassifyGroup(k[0], k[1], k[2], k[3], listKind), code)
                << "code " << code << " from kind " << start;
            EXPECT_EQ(listKind, code == kCrossoverFlat ? 1 : start) << "code " << code;
        }
    }
}

TEST_F(OutputModel, CrossoverZeroesMasterGainAndRecomputes) {
    model.SetBandGain(kGroupMasterBand, 6);
    model.SetBandFrequency(kGroupMasterBand, 3000);
    model.SetBandKind(kGroupMasterBand + 1, kFilterPeq);
    model.SetGroupCrossover(kGroupMasterBand, kCrossoverButterworth24);
    const EqBand& m = *model.BandAt(kGroupMasterBand);
    EXPECT_EQ(m.gain, 0.0f);
    EXPECT_EQ(GroupKinds(model, kGroupMasterBand), (Kinds{19, 21, 1, 1}));
    // A high-pass at 3 kHz: the low end of the group's curve is deep down.
    EXPECT_LT(model.GroupResponse(kGroupMasterBand)[0], -80.0f);
    EXPECT_NEAR(model.GroupResponse(kGroupMasterBand)[511], 0.0f, 0.5f);
}

TEST_F(OutputModel, CodesOutsideOneToElevenUseRowZero) {
    for (int code : {0, 12, -1, 99}) {
        model.SetBlock(kFirstOutputBlock);
        model.SetBandKind(kGroupMasterBand, kFilterLowPass);
        model.SetGroupCrossover(kGroupMasterBand, code);
        EXPECT_EQ(GroupKinds(model, kGroupMasterBand), (Kinds{10, 10, 1, 1})) << code;
    }
}

TEST_F(OutputModel, CrossoverOnPlainBandDoesNothing) {
    model.SetBandKind(3, kFilterLowPass);
    EXPECT_FALSE(model.SetGroupCrossover(3, kCrossoverLr24));
    EXPECT_EQ(model.BandAt(3)->kind, kFilterLowPass);
    std::array<EqBand, 2> loose{};
    SetGroupCrossover(loose, 0, kCrossoverLr24, 800);
    EXPECT_EQ(loose[0].kind, kFilterPeq);
}

TEST_F(OutputModel, MenuKindsOnAGroup) {
    const struct {
        int kind;
        Kinds want;
    } cases[] = {{1, {1, 1, 1, 1}},
                 {2, {18, 20, 1, 1}},
                 {3, {19, 21, 1, 1}},
                 {4, {4, 1, 1, 1}},
                 {5, {5, 1, 1, 1}}};
    for (const auto& c : cases) {
        model.SetBandGain(kGroupMasterBand, 5);
        ASSERT_TRUE(model.SetGroupKind(kGroupMasterBand, c.kind));
        EXPECT_EQ(GroupKinds(model, kGroupMasterBand), c.want) << c.kind;
        EXPECT_EQ(model.BandAt(kGroupMasterBand)->gain, 0.0f) << c.kind;
    }
    EXPECT_FALSE(model.SetGroupKind(kGroupMasterBand, 7));
    // A plain band simply changes kind.
    ASSERT_TRUE(model.SetGroupKind(2, kFilterHighShelf));
    EXPECT_EQ(model.BandAt(2)->kind, kFilterHighShelf);
}

TEST_F(OutputModel, MasterFrequencyMovesAllThreeFollowers) {
    model.SetGroupCrossover(kGroupMasterBand, kCrossoverLr48);
    ASSERT_TRUE(model.SetBandFrequency(kGroupMasterBand, 120));
    for (int f = 10; f <= 12; ++f) {
        EXPECT_EQ(model.BandAt(f)->frequency, 120.0f) << f;
        EqBand alone = *model.BandAt(f);
        ComputeBandResponse(alone, model.PlotWidth());
        EXPECT_EQ(alone.response, model.BandAt(f)->response) << "stale follower curve " << f;
    }
}

TEST(ClassifyGroup, ShelvesFlatAndNoMatch) {
    const struct {
        Kinds k;
        int wantClass, wantList;
    } cases[] = {
        {{1, 1, 1, 1}, 11, 1},    {{4, 1, 1, 1}, 12, 4}, {{5, 1, 1, 1}, 13, 5},
        {{10, 10, 1, 1}, 0, 2},   {{7, 1, 1, 1}, 10, 3}, {{14, 10, 1, 1}, 8, 2},
        {{14, 10, 14, 10}, 2, 2}, {{9, 11, 1, 1}, 5, 3},
    };
    for (const auto& c : cases) {
        int listKind = -1;
        EXPECT_EQ(ClassifyGroup(c.k[0], c.k[1], c.k[2], c.k[3], listKind), c.wantClass);
        EXPECT_EQ(listKind, c.wantList);
    }
    for (Kinds k : {Kinds{18, 21, 1, 1}, Kinds{2, 1, 1, 1}, Kinds{1, 1, 1, 0}, Kinds{0, 0, 0, 0}}) {
        int listKind = 2;
        EXPECT_EQ(ClassifyGroup(k[0], k[1], k[2], k[3], listKind), 0);
        EXPECT_EQ(listKind, 2) << "listKind must stay as preset";
    }
}

TEST(EqModel, StartsWithTenBandsAndNoWindow) {
    const EqModel m;
    EXPECT_EQ(m.Block(), 0);
    EXPECT_EQ(m.BandCount(), 10);
    EXPECT_EQ(m.PlotWidth(), 0);
    EXPECT_EQ(m.Bands().size(), 40u);
    EXPECT_EQ(m.BandAt(39)->index, 39);
    EXPECT_EQ(m.BandAt(40), nullptr);
    EXPECT_EQ(m.BandAt(-1), nullptr);
}

TEST(EqModel, SetBlockLoadsDefaultBands) {
    const struct {
        int block, count;
        float firstFreq, lastFreq;
        bool group;
    } cases[] = {{0, 15, 25, 16000, false}, {3, 7, 50, 3200, false},   {6, 10, 31, 16000, false},
                 {7, 13, 31, 16000, true},  {14, 13, 31, 16000, true}, {15, 5, 50, 800, false},
                 {16, 8, 62, 8000, false},  {23, 8, 62, 8000, false},  {24, 13, 31, 16000, false},
                 {-1, 13, 31, 16000, false}};
    EqModel m;
    m.SetPlotWidth(700);
    for (const auto& c : cases) {
        m.SetBandGain(0, 9);
        m.SetBandQ(0, 9);
        m.SetBlock(c.block);
        EXPECT_EQ(m.Block(), c.block);
        ASSERT_EQ(m.BandCount(), c.count) << c.block;
        EXPECT_EQ(m.BandAt(0)->frequency, c.firstFreq) << c.block;
        EXPECT_EQ(m.BandAt(c.count - 1)->frequency, c.lastFreq) << c.block;
        for (int i = 0; i < c.count; ++i) {
            const EqBand& b = *m.BandAt(i);
            EXPECT_EQ(b.index, i);
            EXPECT_EQ(b.kind, kFilterPeq);
            EXPECT_EQ(b.gain, 0.0f);
            EXPECT_EQ(b.q, 1.41f);
            // Default PEQ bands are flat once recomputed (the old 9 dB curve is gone).
            EXPECT_NEAR(b.response[287], 0.0f, 1e-6f) << c.block << " band " << i;
        }
        const EqBand& nine = *m.BandAt(9);
        EXPECT_EQ(IsGroupMaster(nine), c.group) << c.block;
        if (c.group) {
            EXPECT_EQ(nine.followers, (std::array<int, 3>{10, 11, 12}));
        }
        for (int i = 0; i < kPanelBandCount; ++i) {
            if (i != 9 || !c.group) {
                EXPECT_FALSE(IsGroupMaster(*m.BandAt(i))) << c.block;
            }
        }
    }
}

TEST(EqModel, CurvesWaitForAWindow) {
    EqModel m;
    m.SetBlock(0);
    m.SetBandGain(8, 6); // band 8 of the mic EQ sits at 1 kHz
    EXPECT_EQ(m.BandAt(8)->response[287], 0.0f);
    m.SetPlotWidth(512);
    EXPECT_EQ(m.BandAt(8)->response[287], 6.0f);
    EXPECT_EQ(m.SumResponse()[287], 6.0f);
}

TEST(EqModel, SumCoversBandsInUseOnly) {
    EqModel m;
    m.SetPlotWidth(512);
    m.SetBlock(15); // 5 bands
    m.BandAt(7)->response.fill(20.0f);
    m.SetBandGain(4, 3);
    const ResponseCurve sum = m.SumResponse();
    EXPECT_EQ(sum, m.BandAt(4)->response);
}

TEST(EqModel, PlaceholderBands) {
    EqModel m;
    m.SetPlaceholderBands();
    ASSERT_EQ(m.BandCount(), 7);
    const float want[7] = {31, 62, 125, 250, 500, 1000, 2000};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(m.BandAt(i)->frequency, want[i]);
}

TEST(EqModel, RecomputeAllFillsEveryCurveInUse) {
    EqModel m;
    m.SetBlock(kFirstOutputBlock);
    for (int i = 0; i < 13; ++i)
        m.BandAt(i)->gain = 0.0f;
    m.BandAt(kGroupMasterBand)->kind = kFilterQ1307LowPass;
    m.BandAt(10)->kind = kFilterQ0541LowPass;
    m.BandAt(kGroupMasterBand)->frequency = 500.0f;
    m.SetPlotWidth(640);
    for (int f = 10; f <= 12; ++f)
        EXPECT_EQ(m.BandAt(f)->frequency, 500.0f);
    EXPECT_LT(m.BandAt(10)->response[511], -10.0f);
    EXPECT_LT(m.BandAt(kGroupMasterBand)->response[511], -10.0f);
}

TEST(EqBlockTitle, ByLanguage) {
    EXPECT_STREQ(EqBlockTitle(0, 0), "话筒A均衡");
    EXPECT_STREQ(EqBlockTitle(7, 1), "CH1 EQ");
    EXPECT_STREQ(EqBlockTitle(16, 0), "通道1高级均衡");
    EXPECT_STREQ(EqBlockTitle(16, 1), "CH1 EQ");
    EXPECT_STREQ(EqBlockTitle(24, 1), "");
}

} // namespace
} // namespace fenno

// Value texts and kind captions as the editors show them.
#include "eq/eq_format.h"
#include "eq/filter_kind.h"

#include <gtest/gtest.h>

namespace fenno {
namespace {

TEST(EqText, ValueFormats) {
    EXPECT_EQ(FormatFrequency(1000), "1000Hz");
    EXPECT_EQ(FormatFrequency(999.6), "1000Hz");
    EXPECT_EQ(FormatFrequency(20), "20Hz");
    EXPECT_EQ(FormatGain(6), "+6.0dB");
    EXPECT_EQ(FormatGain(-6.04), "-6.0dB");
    EXPECT_EQ(FormatGain(0), "+0.0dB");
    EXPECT_EQ(FormatGain(-0.0), "-0.0dB");
    EXPECT_EQ(FormatQ(1.41), "1.41");
    EXPECT_EQ(FormatQ(0.7), "0.70");
    EXPECT_EQ(FormatAxisGain(15), "+15dB");
    EXPECT_EQ(FormatAxisGain(-12), "-12dB");
    EXPECT_EQ(FormatAxisGain(-0.0), "-0dB"); // the panel's zero line
    EXPECT_EQ(FormatFrequency(1e300).size(), 303u);
}

TEST(EqText, KindCaptions) {
    EXPECT_STREQ(KindListCaption(0, 0), "关闭");
    EXPECT_STREQ(KindListCaption(0, 1), "OFF");
    EXPECT_STREQ(KindListCaption(3, 0), "高通");
    EXPECT_STREQ(KindListCaption(5, 1), "HS");
    EXPECT_STREQ(KindListCaption(6, 1), "");
    EXPECT_STREQ(KindListCaption(-1, 1), "");
    EXPECT_STREQ(KindMenuCaption(1, 0), "参量(PEQ)");
    EXPECT_STREQ(KindMenuCaption(4, 0), "低架(LS)");
    EXPECT_STREQ(KindMenuCaption(2, 1), "LP");
    EXPECT_STREQ(KindMenuCaption(0, 1), "");
}

} // namespace
} // namespace fenno

#include "link/frame_codec.h"
#include "link/link_state.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <vector>

namespace fenno {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Frame(const Bytes& payload) {
    Bytes out(payload.size() + kFrameOverhead);
    out.resize(EncodeLinkFrame(payload.data(), payload.size(), out.data(), out.size()));
    return out;
}

// Records every dispatched payload as the dispatcher would see it: L bytes from payload[0].
struct Recorder {
    std::vector<Bytes> payloads;
    std::vector<size_t> lengths;
    PayloadHandler Handler() {
        return [this](const uint8_t* p, size_t L) {
            lengths.push_back(L);
            payloads.emplace_back(p, p + L - 1); // the real payload is L - 1 bytes
        };
    }
};

TEST(EncodeLinkFrame, GoldenBytes) {
    struct Case {
        const char* what;
        Bytes payload;
        Bytes frame;
    };
    const uint8_t c10 = 0xFF ^ 0x0B ^ 0x81 ^ 0x09 ^ 0x00 ^ 0x01 ^ 0x04 ^ 0x01 ^ 0x3F ^ 0x80;
    const std::vector<Case> cases = {
        {"model query over TCP", {0x81, 0x80}, {0x55, 0x03, 0x81, 0x80, 0xFD}},
        {"module 1 index 4 := 1.0f",
         {0x81, 0x09, 0x00, 0x01, 0x04, 0x01, 0x3F, 0x80, 0x00, 0x00},
         {0x55, 0x0B, 0x81, 0x09, 0x00, 0x01, 0x04, 0x01, 0x3F, 0x80, 0x00, 0x00, c10}},
        {"single byte", {0x00}, {0x55, 0x02, 0x00, 0xFD}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Frame(c.payload), c.frame) << c.what;
}

TEST(EncodeLinkFrame, RejectsLengthsTheLengthByteCannotCarry) {
    uint8_t payload[kMaxFramePayload + 1] = {};
    uint8_t out[kMaxFrameSize + 1];
    EXPECT_EQ(EncodeLinkFrame(payload, 0, out, sizeof out), 0u);
    EXPECT_EQ(EncodeLinkFrame(payload, kMaxFramePayload + 1, out, sizeof out), 0u);
    EXPECT_EQ(EncodeLinkFrame(payload, 10, out, 12), 0u) << "output too small";
    ASSERT_EQ(EncodeLinkFrame(payload, kMaxFramePayload, out, sizeof out), kMaxFrameSize);
    EXPECT_EQ(out[1], 0xFF);
}

TEST(EncodeUsbReport, ReportNumberPayloadZeroFill) {
    const uint8_t p[] = {0x04, 0x02};
    Bytes expected(kUsbReportSize, 0);
    expected[0] = 0x02;
    expected[1] = 0x04;
    expected[2] = 0x02;
    auto r = EncodeUsbReport(p, sizeof p);
    EXPECT_EQ(Bytes(r.begin(), r.end()), expected);

    // 60 bytes fill the report; a 61st is never written.
    uint8_t big[61];
    for (int i = 0; i < 61; ++i)
        big[i] = static_cast<uint8_t>(0xA0 + i);
    r = EncodeUsbReport(big, 61);
    EXPECT_EQ(r[0], 0x02);
    EXPECT_EQ(Bytes(r.begin() + 1, r.end()), Bytes(big, big + 60));
}

TEST(RxReassembler, FramesInOneAppendAndSplitAcrossAppends) {
    LinkState state;
    Recorder rec;
    RxReassembler rx(rec.Handler(), &state);
    const Bytes a = Frame({0x81, 0x09}), b = Frame({0x81, 0x0E, 1, 2, 3});

    Bytes both = a;
    both.insert(both.end(), b.begin(), b.end());
    state.awaitingReply = true;
    state.watchdogCount = 4;
    rx.AppendRx(both.data(), both.size());
    rx.ProcessRxBuf();
    ASSERT_EQ(rec.payloads.size(), 2u);
    EXPECT_EQ(rec.payloads[0], (Bytes{0x81, 0x09}));
    EXPECT_EQ(rec.payloads[1], (Bytes{0x81, 0x0E, 1, 2, 3}));
    EXPECT_EQ(rec.lengths[1], 6u) << "the frame's L goes with the payload";
    EXPECT_EQ(rx.Fill(), 0u);
    EXPECT_FALSE(state.awaitingReply);
    EXPECT_EQ(state.watchdogCount, 0) << "a multi-frame chunk resets the watchdog";

    // Split: nothing until the last byte arrives; a single frame leaves the watchdog alone.
    state.watchdogCount = 4;
    rx.AppendRx(b.data(), 3);
    rx.ProcessRxBuf();
    EXPECT_EQ(rec.payloads.size(), 2u);
    EXPECT_TRUE(rx.InFrame());
    rx.AppendRx(b.data() + 3, b.size() - 3);
    rx.ProcessRxBuf();
    ASSERT_EQ(rec.payloads.size(), 3u);
    EXPECT_EQ(rec.payloads[2], (Bytes{0x81, 0x0E, 1, 2, 3}));
    EXPECT_EQ(state.watchdogCount, 4);

    // A lone start byte must not make the codec read a stale length byte.
    rx.AppendRx(a.data(), 1);
    rx.ProcessRxBuf();
    EXPECT_EQ(rx.Fill(), 1u);
    rx.AppendRx(a.data() + 1, a.size() - 1);
    rx.ProcessRxBuf();
    EXPECT_EQ(rec.payloads.size(), 4u);
}

TEST(RxReassembler, BadCheckDropsOneFrameAndTheNextStillDispatches) {
    LinkState state;
    Recorder rec;
    RxReassembler rx(rec.Handler(), &state);
    Bytes bad = Frame({0x81, 0x05, 0x02});
    bad.back() ^= 0x01;
    const Bytes good = Frame({0x81, 0x06, 0x03});
    Bytes chunk = bad;
    chunk.insert(chunk.end(), good.begin(), good.end());
    state.awaitingReply = true;

    ::setenv("FENNO_DEBUG", "1", 1);
    testing::internal::CaptureStderr();
    rx.AppendRx(chunk.data(), chunk.size());
    rx.ProcessRxBuf();
    const std::string err = testing::internal::GetCapturedStderr();
    ::unsetenv("FENNO_DEBUG");

    EXPECT_EQ(err, "ProcessRxBuf Checksum error\n ");
    EXPECT_EQ(rx.ChecksumErrors(), 1u);
    ASSERT_EQ(rec.payloads.size(), 1u);
    EXPECT_EQ(rec.payloads[0], (Bytes{0x81, 0x06, 0x03}));
    EXPECT_EQ(rx.Fill(), 0u);
    EXPECT_FALSE(state.awaitingReply);

    // L = 0 can never pass; its two bytes go and the following frame is read.
    Bytes zero = {0x55, 0x00};
    zero.insert(zero.end(), good.begin(), good.end());
    rx.AppendRx(zero.data(), zero.size());
    rx.ProcessRxBuf();
    EXPECT_EQ(rx.ChecksumErrors(), 2u);
    EXPECT_EQ(rec.payloads.size(), 2u);
}

TEST(RxReassembler, LeadingJunkStallsUntilOverflowEmptiesTheBuffer) {
    Recorder rec;
    RxReassembler rx(rec.Handler());
    const Bytes good = Frame({0x81, 0x09});
    Bytes chunk = {0x00};
    chunk.insert(chunk.end(), good.begin(), good.end());
    rx.AppendRx(chunk.data(), chunk.size());
    rx.ProcessRxBuf();
    EXPECT_TRUE(rec.payloads.empty()) << "no scan for a later 0x55";

    // Good frames keep piling up behind the junk until the next append would overflow.
    size_t appended = chunk.size();
    while (appended + good.size() <= kRxBufSize) {
        rx.AppendRx(good.data(), good.size());
        rx.ProcessRxBuf();
        appended += good.size();
    }
    EXPECT_TRUE(rec.payloads.empty());
    EXPECT_EQ(rx.Fill(), appended);
    rx.AppendRx(good.data(), good.size());
    rx.ProcessRxBuf();
    EXPECT_EQ(rec.payloads.size(), 1u) << "framing resumes after the drop";
    EXPECT_EQ(rx.Fill(), 0u);
}

TEST(RxReassembler, OverflowDropsOldBytesFirst) {
    Recorder rec;
    RxReassembler rx(rec.Handler());
    const Bytes junk(100, 0x11);
    rx.AppendRx(junk.data(), junk.size());
    rx.ProcessRxBuf();
    Bytes chunk(200, 0x22);
    const Bytes good = Frame({0x81, 0x07});
    std::copy(good.begin(), good.end(), chunk.begin());
    rx.AppendRx(chunk.data(), chunk.size());
    EXPECT_EQ(rx.Fill(), 200u);
    EXPECT_EQ(rx.Data()[0], 0x55);
    rx.ProcessRxBuf();
    ASSERT_EQ(rec.payloads.size(), 1u);
    EXPECT_EQ(rec.payloads[0], (Bytes{0x81, 0x07}));
}

// After a drop, and after a good frame, the next bytes must start with 0x55 to be a frame:
// junk shaped like a frame body (here a frame whose start byte was lost) is never dispatched.
TEST(RxReassembler, BytesWithoutStartByteAreNeverTakenForAFrame) {
    const Bytes headless = {0x00, 0x03, 0x81, 0x80, 0xFD};
    {
        Recorder rec;
        RxReassembler rx(rec.Handler());
        Bytes big(256, 0); // one byte short of the 257 announced
        big[0] = 0x55;
        big[1] = 0xFF;
        rx.AppendRx(big.data(), big.size());
        rx.ProcessRxBuf();
        EXPECT_TRUE(rx.InFrame());
        rx.AppendRx(headless.data(), headless.size());
        EXPECT_EQ(rx.Fill(), headless.size());
        rx.ProcessRxBuf();
        EXPECT_TRUE(rec.payloads.empty()) << "overflow while inside a frame";
    }
    {
        Recorder rec;
        RxReassembler rx(rec.Handler());
        Bytes chunk = Frame({0x81, 0x09});
        chunk.insert(chunk.end(), headless.begin(), headless.end());
        rx.AppendRx(chunk.data(), chunk.size());
        rx.ProcessRxBuf();
        EXPECT_EQ(rec.payloads.size(), 1u) << "trailing junk after a good frame";
        EXPECT_EQ(rx.Fill(), headless.size());
    }
}

TEST(RxReassembler, LongestFrameFitsAndStaysInsideTheBuffer) {
    Recorder rec;
    const uint8_t* base = nullptr;
    size_t fill = 0;
    RxReassembler rx;
    rx.SetPayloadHandler([&](const uint8_t* p, size_t L) {
        EXPECT_GE(p, base);
        EXPECT_LE(p + L, base + fill);
        rec.lengths.push_back(L);
    });
    base = rx.Data();
    Bytes payload(kMaxFramePayload, 0x5A);
    const Bytes f = Frame(payload);
    ASSERT_EQ(f.size(), 257u);
    rx.AppendRx(f.data(), f.size());
    fill = rx.Fill();
    rx.ProcessRxBuf();
    EXPECT_EQ(rec.lengths, std::vector<size_t>{255});
}

} // namespace
} // namespace fenno

#include "link/link_state.h"
#include "protocol/device_state.h"
#include "protocol/dispatcher.h"
#include "protocol/event_sink.h"
#include "protocol/param_store.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

using namespace fenno;
using namespace std::chrono_literals;

namespace {

struct Event {
    char how; // 'P' posted, 'S' sent, 'T' text
    int id;
    intptr_t w;
    std::string text;
};

class RecordingSink : public EventSink {
  public:
    std::function<void(int, intptr_t)> onSend;

    void Post(int id, intptr_t w, intptr_t) override { Add({'P', id, w, {}}); }
    void Send(int id, intptr_t w, intptr_t) override {
        if (onSend) onSend(id, w);
        Add({'S', id, w, {}});
    }
    void PostText(int id, const std::string& text) override { Add({'T', id, 0, text}); }

    std::vector<Event> Events() const {
        std::lock_guard lock(m_mutex);
        return m_events;
    }

  private:
    void Add(Event e) {
        std::lock_guard lock(m_mutex);
        m_events.push_back(std::move(e));
    }
    mutable std::mutex m_mutex;
    std::vector<Event> m_events;
};

class DispatcherTest : public ::testing::Test {
  protected:
    DispatcherTest()
        : dispatcher(
              store, state, link, &sink,
              DispatcherHooks{[this] { readJobSawSignal.push_back(link.replyEvent.Wait(0ms)); },
                              [this](const uint8_t* p, size_t n) { zwave.assign(p, p + n); },
                              [this](const uint8_t* p, size_t n) { zwaveMem.assign(p, p + n); }}) {
        // Created signalled; tests look at the signals their payloads leave.
        link.replyEvent.Wait(0ms);
    }

    // A TCP frame payload: 0x81 prefix, command, arguments; exactly that many bytes on the heap
    // so that a sanitizer build catches reads past it.
    void Tcp(uint8_t cmd, std::vector<uint8_t> args) {
        std::vector<uint8_t> p{0x81, cmd};
        p.insert(p.end(), args.begin(), args.end());
        dispatcher.DispatchReceived(p.data(), p.size() + 1, p.size());
    }
    void Usb(uint8_t cmd, std::vector<uint8_t> args) {
        std::vector<uint8_t> p(kUsbReportSize, 0);
        p[1] = cmd;
        std::copy(args.begin(), args.begin() + std::min(args.size(), p.size() - 2), p.begin() + 2);
        dispatcher.DispatchReceived(p.data(), p.size());
    }
    static std::vector<uint8_t> Block(int offset, int n, std::vector<uint8_t> data) {
        std::vector<uint8_t> a{uint8_t(offset >> 8), uint8_t(offset), uint8_t(n)};
        a.insert(a.end(), data.begin(), data.end());
        return a;
    }
    static std::vector<uint8_t> Pattern(size_t n, uint8_t first = 1) {
        std::vector<uint8_t> v(n);
        std::iota(v.begin(), v.end(), first);
        return v;
    }
    // True when exactly one reply signal is pending.
    bool SignalledOnce() { return link.replyEvent.Wait(0ms) && !link.replyEvent.Wait(0ms); }

    ParamStore store;
    DeviceState state;
    LinkState link;
    RecordingSink sink;
    std::vector<bool> readJobSawSignal;
    std::vector<uint8_t> zwave, zwaveMem;
    Dispatcher dispatcher;
};

TEST_F(DispatcherTest, ImageReadIsCutAtTheImageEndAndAtThePayloadEnd) {
    struct Case {
        const char* fault;
        int offset;
        int n;
        size_t arrived;
        size_t copied;
    } cases[] = {
        {"last chunk overruns the image", 3880, 56, 56, 32},
        {"count promises more than the frame carried", 100, 56, 10, 10},
        {"offset past the image", 3912, 4, 4, 0},
        {"offset far past the image", 0xFFFF, 255, 255, 0},
        {"one byte left before the end", 3911, 255, 255, 1},
        {"header cut after the count", 200, 9, 0, 0},
        {"plain chunk", 56, 56, 56, 56},
    };
    for (const Case& c : cases) {
        store.image.fill(0xEE);
        Tcp(0x30, Block(c.offset, c.n, Pattern(c.arrived)));
        size_t changed = 0;
        for (int i = 0; i < kDeviceImageSize; ++i) {
            if (store.image[i] == 0xEE) continue;
            ++changed;
            EXPECT_EQ(store.image[i], uint8_t(i - c.offset + 1)) << c.fault << " at " << i;
        }
        EXPECT_EQ(changed, c.copied) << c.fault;
        EXPECT_TRUE(SignalledOnce()) << c.fault;
    }
}

TEST_F(DispatcherTest, ImageReadHeaderCutShortChangesNothing) {
    store.image.fill(0xEE);
    Tcp(0x30, {0x00, 0x10});
    EXPECT_TRUE(
        std::all_of(store.image.begin(), store.image.end(), [](uint8_t b) { return b == 0xEE; }));
    EXPECT_TRUE(SignalledOnce());
}

TEST_F(DispatcherTest, ParameterErrorIsReportedOncePerRunWithItsCodes) {
    Tcp(0x0A, {0x00, 0x12, 0x34});
    EXPECT_TRUE(sink.Events().empty());
    EXPECT_FALSE(state.errorShown);

    Tcp(0x0A, {0x1F, 0x09, 0xA0});
    Usb(0x0A, {0x02, 0x03, 0x04});
    const auto events = sink.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].how, 'T');
    EXPECT_EQ(events[0].id, kEvDeviceError);
    EXPECT_EQ(events[0].text, "参数错误,代码0x:1F,指令1:0x09,指令2:0xA0 ");
}

TEST_F(DispatcherTest, ParameterErrorWithoutInstructionBytesShowsThemAsZero) {
    Tcp(0x0A, {0x05});
    const auto events = sink.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].text, "参数错误,代码0x:05,指令1:0x00,指令2:0x00 ");
}

TEST_F(DispatcherTest, EqImageFFFFClearsAllRecordsWhateverTheCount) {
    for (int n : {0, 2, 7, 255}) {
        store.eq.fill(0x11);
        Tcp(0x86, Block(0, n, {0xFF, 0xFF}));
        for (int i = 0; i < kEqSectionSize; ++i)
            ASSERT_EQ(store.eq[i], 0) << "n " << n << " at " << i;
        for (int i = kEqSectionSize; i < kEqImageSize; ++i)
            ASSERT_EQ(store.eq[i], 0x11) << i;
    }
    // Only one FF arrived: that is data, not the clear marker.
    store.eq.fill(0x11);
    Tcp(0x86, Block(14, 2, {0xFF}));
    EXPECT_EQ(store.eq[14], 0xFF);
    EXPECT_EQ(store.eq[15], 0x11);
    EXPECT_EQ(store.eq[0], 0x11);
}

TEST_F(DispatcherTest, EqImageCopiesOnlyIntoItsKnownSections) {
    struct Case {
        const char* what;
        int offset;
        int n;
        size_t copied;
    } cases[] = {
        {"records", 7, 14, 14},
        {"records running into the surround section stop at the EQ image end", 1770, 255, 65},
        {"surround levels", kSurroundLevelOffset, 32, 32},
        {"surround float, count past the EQ image end", kSurroundFloatOffset, 255, 12},
        {"an offset between the sections", 1780, 4, 0},
        {"past the EQ image", 1900, 4, 0},
    };
    for (const Case& c : cases) {
        store.eq.fill(0xEE);
        Usb(0x86, Block(c.offset, c.n, Pattern(56, 0x20)));
        size_t changed = 0;
        for (int i = 0; i < kEqImageSize; ++i)
            if (store.eq[i] != 0xEE) ++changed;
        // USB reports carry 56 data bytes at most.
        EXPECT_EQ(changed, std::min<size_t>(c.copied, 56)) << c.what;
    }
}

TEST_F(DispatcherTest, EqImageLayoutRecordIsDecodedIntoTheHostLayout) {
    std::vector<uint8_t> rec(kFactorySurroundLayout.begin(), kFactorySurroundLayout.end());
    rec[0] = 6;    // width
    rec[1] = 5;    // length
    rec[2] = 0x05; // listener x 0.5 m
    Tcp(0x86, Block(kSurroundLayoutOffset, kSurroundLayoutSize, rec));
    EXPECT_TRUE(std::equal(rec.begin(), rec.end(), store.eq.begin() + kSurroundLayoutOffset));
    EXPECT_EQ(store.surround.width, 6);
    EXPECT_EQ(store.surround.length, 5);
    const SurroundLayout expected = DecodeSurroundLayout(rec.data());
    EXPECT_EQ(store.surround.pos, expected.pos);
    EXPECT_FLOAT_EQ(store.surround.pos[0][0], 0.5f);
    // Nothing reaches the device image or the host parameter values.
    EXPECT_NE(store.image[kSurroundLayoutOffset], 6);
}

TEST_F(DispatcherTest, VersionAnswerTakesBoardCodesOnlyFromALongEnoughAnswer) {
    struct Case {
        const char* what;
        size_t L;
        size_t available;
        std::array<uint8_t, 4> word;
        std::array<uint8_t, 2> half;
    } cases[] = {
        {"length value 8", 8, 7, {}, {}},
        {"length value 5", 5, 4, {}, {}},
        {"full answer", 11, 10, {0x55, 0x0F, 0x03, 0x01}, {0x02, 0x00}},
        {"length 9 promises the half-word, which never arrived",
         9,
         8,
         {0x55, 0x0F, 0x03, 0x01},
         {}},
        {"length value past the payload", 200, 6, {0x55, 0x0F, 0, 0}, {}},
        {"USB report", 61, 61, {0x55, 0x0F, 0x03, 0x01}, {0x02, 0x00}},
    };
    const std::vector<uint8_t> full{0x81, 0x7F, 24, 0x00, 0x55, 0x0F, 0x03, 0x01, 0x02, 0x00};
    for (const Case& c : cases) {
        {
            std::lock_guard lock(state.mutex);
            state.info.boardCode = {9, 9, 9, 9};
            state.info.boardCodeHalf = {9, 9};
            state.info.commandVersion = 17;
        }
        std::vector<uint8_t> p(full.begin(), full.begin() + std::min(c.available, full.size()));
        p.resize(c.available, 0);
        dispatcher.DispatchReceived(p.data(), c.L, p.size());
        const DeviceInfo info = state.Info();
        EXPECT_EQ(info.commandVersion, 24) << c.what;
        EXPECT_EQ(info.boardCode, c.word) << c.what;
        EXPECT_EQ(info.boardCodeHalf, c.half) << c.what;
    }
}

TEST_F(DispatcherTest, TextAnswersAreCutAtTheirFieldsAndAtTheFirstZero) {
    const std::string forty(40, 'x');
    std::vector<uint8_t> text(forty.begin(), forty.end());
    Tcp(0x80, text);
    Tcp(0x81, text);
    Usb(0x7E, text);
    DeviceInfo info = state.Info();
    EXPECT_EQ(info.Model(), std::string(31, 'x'));
    EXPECT_EQ(info.Mcu(), std::string(10, 'x'));
    EXPECT_EQ(info.Dsp(), std::string(10, 'x'));

    Tcp(0x80, {'A', 'b', 0, 'z', 'z'}); // a shorter name replaces the old one entirely
    Tcp(0x81, {'1', '2', '3'});         // no terminator in the frame: the payload end cuts it
    info = state.Info();
    EXPECT_EQ(info.Model(), "Ab");
    EXPECT_EQ(info.modelName[3], 0);
    EXPECT_EQ(info.Mcu(), "123");

    Tcp(0x7E, {});
    EXPECT_EQ(state.Info().Dsp(), "");
}

TEST_F(DispatcherTest, StatusFillsTheBlockAndTheMusicPitch) {
    std::vector<uint8_t> status = Pattern(30, 0x40);
    status[7] = 0x73; // pitch +2, decoder format 3
    Usb(0x0E, status);
    auto block = state.Status();
    EXPECT_TRUE(std::equal(block.begin(), block.end(), status.begin()));
    EXPECT_EQ(store.musicPitch, 2);

    status[7] = 0x05;
    Tcp(0x0E, status);
    EXPECT_EQ(store.musicPitch, -5);

    // A short status frame updates what it carries and leaves the pitch alone.
    Tcp(0x0E, {1, 2, 3});
    block = state.Status();
    EXPECT_EQ(block[0], 1);
    EXPECT_EQ(block[2], 3);
    EXPECT_EQ(block[3], 0x43);
    EXPECT_EQ(store.musicPitch, -5);
}

TEST_F(DispatcherTest, RemoteKeyIsSentSynchronouslyAfterTheTableIsUpdated) {
    std::vector<std::pair<intptr_t, bool>> seen;
    sink.onSend = [&](int id, intptr_t w) {
        EXPECT_EQ(id, kEvRemoteKey);
        std::lock_guard lock(state.mutex); // the GUI reads the table while handling it
        // Still inside the dispatcher: the sender is not released yet.
        seen.emplace_back(w, link.replyEvent.Wait(0ms));
        EXPECT_EQ(state.remoteKeys[0], 0x21);
    };
    Tcp(0x60, {0x21, 5, 0x9C});
    EXPECT_EQ(state.remoteKeys[5], 0x9C);
    EXPECT_TRUE(SignalledOnce());

    Tcp(0x60, {0x21, 30, 0x77}); // index past the table
    Tcp(0x60, {0x21, 255, 0x78});
    EXPECT_EQ(std::count(state.remoteKeys.begin(), state.remoteKeys.end(), 0x77), 0);
    EXPECT_EQ(std::count(state.remoteKeys.begin(), state.remoteKeys.end(), 0x78), 0);

    Tcp(0x60, {0x21, 6}); // no key value arrived
    EXPECT_EQ(state.remoteKeys[6], 0);

    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], std::make_pair(intptr_t(0x9C), false));
    EXPECT_EQ(seen[1].first, 0x77);
    EXPECT_EQ(seen[2].first, 0x78);
}

TEST_F(DispatcherTest, ReplyEventReleasesAWaitingSenderAfterAnUnknownCode) {
    std::atomic<bool> released{false};
    std::thread sender([&] { released = link.replyEvent.Wait(2000ms); });
    Tcp(0x55, {1, 2, 3});
    sender.join();
    EXPECT_TRUE(released);
}

TEST_F(DispatcherTest, EveryPayloadSignalsTheReplyEventExactlyOnce) {
    const std::vector<std::vector<uint8_t>> payloads = {
        {},           {0x81},       {0x81, 0xFF},       {0x81, 0x05},
        {0x81, 0x62}, {0x81, 0x30}, {0x81, 0x86, 0, 0}, {0x81, 0x60, 1},
        {0x81, 0x7F}, {0x81, 0x80}, {0x81, 0x0A, 0},    {0x81, 0x12},
        {0x81, 0x14}, {0x81, 0x31}, {0x81, 0x92},
    };
    for (const auto& p : payloads) {
        std::vector<uint8_t> copy = p; // heap block of exactly the payload size
        dispatcher.DispatchReceived(copy.empty() ? nullptr : copy.data(), copy.size() + 1,
                                    copy.size());
        if (p.size() >= 2 && (p[1] == 0x05)) {
            ASSERT_FALSE(readJobSawSignal.empty());
            EXPECT_FALSE(link.replyEvent.Wait(0ms)) << "signalled twice";
        } else {
            EXPECT_TRUE(SignalledOnce()) << "payload of " << p.size() << " bytes";
        }
    }
}

TEST_F(DispatcherTest, ModeChangeStartsTheReadJobAfterReleasingTheSender) {
    Tcp(0x05, {1});
    Usb(0x06, {});
    EXPECT_EQ(readJobSawSignal, (std::vector<bool>{true, true}));
    EXPECT_FALSE(link.replyEvent.Wait(0ms));
}

TEST_F(DispatcherTest, ZwaveHooksGetThePayloadAndItsValidLength) {
    Tcp(0x12, {0x01, 0x06, 0x00, 0x13});
    EXPECT_EQ(zwave, (std::vector<uint8_t>{0x81, 0x12, 0x01, 0x06, 0x00, 0x13}));
    Usb(0x14, {0x00, 0x1C, 2, 0xAA, 0xBB});
    ASSERT_EQ(zwaveMem.size(), kUsbReportSize);
    EXPECT_EQ(zwaveMem[1], 0x14);
    EXPECT_EQ(zwaveMem[6], 0xBB);
}

TEST_F(DispatcherTest, ModeFlagsSettingsAndKeyTable) {
    Tcp(0x07, {2});
    EXPECT_EQ(state.currentMode, 2);
    Tcp(0x07, {4}); // no such mode: the menus index by it
    Tcp(0x07, {});
    EXPECT_EQ(state.currentMode, 2);

    EXPECT_FALSE(state.settingsChanged);
    Tcp(0x09, {});
    EXPECT_TRUE(state.settingsChanged);

    state.remoteKeys.fill(0xEE);
    Usb(0x62, Pattern(20));
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(state.remoteKeys[i], i + 1);
    EXPECT_EQ(state.remoteKeys[16], 0xEE);

    state.machineSettingsSent[5] = 0x63;
    Tcp(0x92, Pattern(14, 0x30));
    for (int i = 0; i < kMachineSettingsSize; ++i) {
        EXPECT_EQ(state.machineSettings[i], 0x30 + i);
        EXPECT_EQ(state.machineSettingsSent[i], 0x30 + i);
    }
    Tcp(0x92, {1, 2}); // short frame: only what arrived
    EXPECT_EQ(state.machineSettings[1], 2);
    EXPECT_EQ(state.machineSettings[2], 0x32);
}

// The GUI copies the status and the identity while the link thread writes them.
TEST_F(DispatcherTest, GuiReadsDuringDispatchSeeWholeCopies) {
    std::atomic<bool> stop{false};
    std::thread gui([&] {
        while (!stop) {
            const auto s = state.Status();
            EXPECT_EQ(s[0], s[29]);
            const DeviceInfo info = state.Info();
            EXPECT_LE(info.Model().size(), 31u);
        }
    });
    for (int i = 0; i < 2000; ++i) {
        Tcp(0x0E, std::vector<uint8_t>(30, uint8_t(i)));
        Tcp(0x80, std::vector<uint8_t>(size_t(i % 40), 'm'));
    }
    stop = true;
    gui.join();
}

} // namespace

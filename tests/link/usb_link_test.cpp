#include "link/hidapi_backend.h"
#include "link/link_manager.h"
#include "link/memory_hid_backend.h"
#include "link/usb_link.h"
#include "tests/link/link_recorder.h"
#include "tests/link/loopback_peer.h"

#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace fenno {
namespace {

using Bytes = std::vector<uint8_t>;
using test::LinkRecorder;

// The device side: every output report it was given.
class DeviceSide {
  public:
    void Attach(MemoryHidBackend& backend, const std::string& path) {
        backend.SetOutputHandler(path, [this](const uint8_t* r, size_t n) {
            std::lock_guard lock(m_mutex);
            m_reports.emplace_back(r, r + n);
            m_cv.notify_all();
        });
    }
    std::vector<Bytes> Reports() {
        std::lock_guard lock(m_mutex);
        return m_reports;
    }
    bool WaitReports(size_t n, int timeoutMs = 2000) {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return m_reports.size() >= n; });
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<Bytes> m_reports;
};

Bytes Report(std::initializer_list<uint8_t> head) {
    Bytes r(kUsbReportSize, 0);
    std::copy(head.begin(), head.end(), r.begin());
    return r;
}

class UsbLinkTest : public ::testing::Test {
  protected:
    void SetUp() override { link.SetHooks(rec.Hooks()); }
    std::string AddAmplifier() {
        const std::string p = backend.AddDevice(kUsbVendorId, kUsbProductId);
        device.Attach(backend, p);
        return p;
    }

    LinkState state;
    MemoryHidBackend backend;
    LinkRecorder rec;
    DeviceSide device;
    UsbLink link{state, backend};
};

TEST_F(UsbLinkTest, FindsTheAmplifierAmongOtherInterfaces) {
    const std::string other = backend.AddDevice(kUsbVendorId, 0x1032);
    const std::string mouse = backend.AddDevice(0x046D, kUsbProductId);
    const std::string amp = AddAmplifier();
    ASSERT_EQ(link.OpenLink(), 1);
    EXPECT_TRUE(state.connected);
    EXPECT_EQ(backend.OpenCount(other), 0) << "another product id";
    EXPECT_EQ(backend.OpenCount(mouse), 0) << "another vendor id";
    EXPECT_TRUE(backend.IsOpen(amp));
    EXPECT_TRUE(link.IsDevicePath(amp));
    std::string upper = amp;
    for (auto& ch : upper)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    EXPECT_TRUE(link.IsDevicePath(upper)) << "paths compare without regard to case";
    EXPECT_EQ(link.OpenLink(), 0) << "a link is already up";
    link.UsbDisconnect(false);
    EXPECT_FALSE(backend.IsOpen(amp));
    EXPECT_FALSE(link.HasReadThread());
}

TEST_F(UsbLinkTest, OpenFailuresFallThroughToTheNextMatch) {
    EXPECT_EQ(link.OpenLink(), 0) << "no device at all";
    const std::string locked = AddAmplifier();
    backend.FailOpen(locked, PermissionDeniedText(locked));
    EXPECT_EQ(link.OpenLink(), 0);
    EXPECT_NE(link.LastOpenError().find("70-fenno.rules"), std::string::npos);
    EXPECT_NE(link.LastOpenError().find("/usr/lib/udev/rules.d"), std::string::npos);
    EXPECT_FALSE(state.connected);
    EXPECT_FALSE(link.HasReadThread());

    const std::string second = AddAmplifier();
    ASSERT_EQ(link.OpenLink(), 1);
    EXPECT_TRUE(link.IsDevicePath(second)) << "the first interface that opens wins";
}

TEST_F(UsbLinkTest, ReportsBothWays) {
    const std::string amp = AddAmplifier();
    ASSERT_EQ(link.OpenLink(), 1);

    Bytes payload(60);
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<uint8_t>(i + 1);
    payload.push_back(0xEE); // a 61st byte never goes out
    EXPECT_EQ(link.WriteUsbDataNow(payload.data(), payload.size()), 61);
    ASSERT_TRUE(device.WaitReports(1));
    Bytes expected = {0x02};
    expected.insert(expected.end(), payload.begin(), payload.begin() + 60);
    EXPECT_EQ(device.Reports()[0], expected);

    // Input reports go to the dispatcher whole, 61 bytes with the report number.
    const Bytes in = Report({0x02, 0x0E, 0x11, 0x22});
    backend.PushInput(amp, in.data(), in.size());
    const Bytes shortIn = {0x02, 0x09};
    backend.PushInput(amp, shortIn.data(), shortIn.size());
    ASSERT_TRUE(rec.WaitPayloads(2));
    EXPECT_EQ(rec.Payloads()[0], in);
    EXPECT_EQ(rec.Payloads()[1], Report({0x02, 0x09})) << "a short read is zero-filled";
}

TEST_F(UsbLinkTest, WriteWaitsForTheAnswerToThePreviousOne) {
    const std::string amp = AddAmplifier();
    LinkHooks h = rec.Hooks();
    auto record = h.onPayload;
    h.onPayload = [this, record](const uint8_t* p, size_t L) {
        record(p, L);
        state.replyEvent.Set(); // what the dispatcher does after every payload
    };
    link.SetHooks(h);
    ASSERT_EQ(link.OpenLink(), 1);
    const uint8_t query[] = {0x80};
    EXPECT_EQ(link.WriteUsbData(query, 1), 61) << "the reply event starts signalled";
    auto second = std::async(std::launch::async, [&] { return link.WriteUsbData(query, 1); });
    EXPECT_EQ(second.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    EXPECT_EQ(device.Reports().size(), 1u);
    const Bytes answer = Report({0x02, 0x80});
    backend.PushInput(amp, answer.data(), answer.size());
    EXPECT_EQ(second.get(), 61);
    EXPECT_EQ(device.Reports().size(), 2u);
}

TEST_F(UsbLinkTest, ReadErrorRefusesWritesAndReleasesWaiters) {
    const std::string amp = AddAmplifier();
    ASSERT_EQ(link.OpenLink(), 1);
    state.statusPoll = true;
    ASSERT_TRUE(state.replyEvent.Wait(std::chrono::milliseconds(0))); // a sender took it
    backend.FailNextRead(amp);
    EXPECT_TRUE(state.replyEvent.Wait(std::chrono::milliseconds(2000)))
        << "the ended read thread releases a waiting sender";
    EXPECT_TRUE(state.readThreadEnd);
    EXPECT_FALSE(state.statusPoll);
    EXPECT_TRUE(state.connected) << "stays set until disconnect or removal";

    const uint8_t p[] = {0x0E};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(link.WriteUsbData(p, 1), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000))
        << "refused at once, not after the 2 s reply wait";
    EXPECT_TRUE(device.Reports().empty());

    EXPECT_EQ(link.UsbRemoved(), 1);
    EXPECT_FALSE(state.connected);
    EXPECT_FALSE(backend.IsOpen(amp));
    EXPECT_FALSE(link.HasReadThread());
}

TEST_F(UsbLinkTest, DisconnectWritesByeBeforeClosing) {
    const std::string amp = AddAmplifier();
    bool openAtBye = false;
    int writes = 0;
    backend.SetOutputHandler(amp, [&](const uint8_t* r, size_t n) {
        ++writes;
        openAtBye = backend.IsOpen(amp) && state.connected;
        EXPECT_EQ(Bytes(r, r + n), Report({0x02, 0x8A}));
    });
    ASSERT_EQ(link.OpenLink(), 1);
    link.UsbDisconnect(true);
    EXPECT_EQ(writes, 1);
    EXPECT_TRUE(openAtBye) << "the notice goes out while the link is still up";
    EXPECT_EQ(rec.StatusClears(), 1);
    EXPECT_FALSE(state.connected);
    EXPECT_FALSE(backend.IsOpen(amp));
    EXPECT_FALSE(link.HasReadThread());
    link.UsbDisconnect(true); // down: nothing
    EXPECT_EQ(rec.StatusClears(), 1);
    const uint8_t p[] = {0x0E};
    EXPECT_EQ(link.WriteUsbData(p, 1), 0);
}

TEST_F(UsbLinkTest, UnplugMidReadThenDispatcherCloseFromTheReadThread) {
    const std::string amp = AddAmplifier();
    LinkHooks h = rec.Hooks();
    auto record = h.onPayload;
    h.onPayload = [this, record](const uint8_t* p, size_t L) {
        record(p, L);
        link.UsbDisconnect(false); // must not join its own thread
    };
    link.SetHooks(h);
    ASSERT_EQ(link.OpenLink(), 1);
    const Bytes in = Report({0x02, 0x05});
    backend.PushInput(amp, in.data(), in.size());
    ASSERT_TRUE(rec.WaitPayloads(1));
    ASSERT_TRUE(rec.WaitStatusClears(1));
    EXPECT_FALSE(state.connected);
    link.UsbDisconnect(false); // the owner reaps
    EXPECT_FALSE(link.HasReadThread());
    EXPECT_FALSE(backend.IsOpen(amp));

    // A pulled cable: the read fails, removal closes.
    ASSERT_EQ(link.OpenLink(), 1);
    backend.RemoveDevice(amp);
    link.UsbRemoved();
    EXPECT_FALSE(link.HasReadThread());
    EXPECT_EQ(link.OpenLink(), 0);
}

TEST(MemoryHidBackend, InputQueueIsBounded) {
    MemoryHidBackend backend;
    const std::string p = backend.AddDevice(kUsbVendorId, kUsbProductId);
    for (size_t i = 0; i < MemoryHidBackend::kInputQueueMax; ++i) {
        const uint8_t r[] = {0x02, static_cast<uint8_t>(i)};
        EXPECT_TRUE(backend.PushInput(p, r, sizeof r));
    }
    const uint8_t last[] = {0x02, 0xFF};
    EXPECT_FALSE(backend.PushInput(p, last, sizeof last)) << "the oldest report had to go";
    auto dev = backend.Open(p, nullptr);
    ASSERT_TRUE(dev);
    uint8_t buf[kUsbReportSize];
    ASSERT_EQ(dev->Read(buf, sizeof buf, 0), 2);
    EXPECT_EQ(buf[1], 1) << "report 0 was dropped";
}

TEST(LinkManager, RoutesByNetworkMode) {
    auto owned = std::make_unique<MemoryHidBackend>();
    MemoryHidBackend& backend = *owned;
    LinkManager links(std::move(owned));
    const std::string amp = backend.AddDevice(kUsbVendorId, kUsbProductId);
    DeviceSide device;
    device.Attach(backend, amp);

    EXPECT_FALSE(links.IsNetwork());
    ASSERT_EQ(links.OpenLink(), 1);
    const uint8_t p[] = {0x04, 0x02};
    EXPECT_EQ(links.SendPayload(p, sizeof p, true), 61);
    ASSERT_TRUE(device.WaitReports(1));
    EXPECT_EQ(device.Reports()[0], Report({0x02, 0x04, 0x02}));
    links.CloseLink(false);
    EXPECT_FALSE(links.IsConnected());

    test::LoopbackPeer peer;
    links.SetNetworkMode(true);
    EXPECT_TRUE(links.IsNetwork());
    links.Tcp().SetAddress("127.0.0.1");
    links.Tcp().SetPort(peer.Port());
    ASSERT_EQ(links.OpenLink(), 1);
    ASSERT_TRUE(peer.Accept());
    links.State().queueEnabled = false;
    const uint8_t q[] = {0x81, 0x80};
    EXPECT_EQ(links.SendPayload(q, sizeof q, false), 5);
    EXPECT_EQ(peer.Read(5, 1000), (Bytes{0x55, 0x03, 0x81, 0x80, 0xFD}));
    EXPECT_EQ(device.Reports().size(), 1u) << "nothing went to the USB device";
    links.CloseLink(true);
    EXPECT_FALSE(links.IsConnected());
    EXPECT_FALSE(links.Tcp().HasThreads());
}

} // namespace
} // namespace fenno

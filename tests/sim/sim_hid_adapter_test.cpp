#include "link/link_state.h"
#include "link/memory_hid_backend.h"
#include "link/usb_link.h"
#include "sim/sim_hid_adapter.h"

#include <condition_variable>
#include <deque>
#include <gtest/gtest.h>
#include <mutex>

namespace fenno {
namespace {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

// The PC side over the real USB link; every input report is kept in order.
class UsbPc {
  public:
    explicit UsbPc(MemoryHidBackend& backend) : m_link(m_state, backend) {
        LinkHooks hooks;
        hooks.onPayload = [this](const uint8_t* p, size_t L) {
            {
                std::lock_guard lock(m_mutex);
                m_reports.emplace_back(p, p + L);
            }
            m_cv.notify_all();
        };
        m_link.SetHooks(hooks);
    }
    ~UsbPc() { m_link.UsbDisconnect(false); }

    UsbLink& Link() { return m_link; }

    std::optional<Bytes> Next(std::chrono::milliseconds timeout = 1000ms) {
        std::unique_lock lock(m_mutex);
        if (!m_cv.wait_for(lock, timeout, [this] { return !m_reports.empty(); }))
            return std::nullopt;
        Bytes r = std::move(m_reports.front());
        m_reports.pop_front();
        return r;
    }

    Bytes Call(const Bytes& payload) {
        if (m_link.WriteUsbDataNow(payload.data(), payload.size()) != int(kUsbReportSize))
            return {};
        return Next().value_or(Bytes{});
    }

  private:
    LinkState m_state;
    UsbLink m_link;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<Bytes> m_reports;
};

Bytes Report(std::initializer_list<uint8_t> head) {
    Bytes r(kUsbReportSize, 0);
    std::copy(head.begin(), head.end(), r.begin());
    return r;
}

TEST(SimHidAdapterTest, ServesTheUsbLinkWithWholeReports) {
    SimConfig config;
    config.learnDelay = 20ms;
    SimDevice device(config);
    MemoryHidBackend backend;
    SimHidAdapter adapter(device, backend);
    ASSERT_FALSE(adapter.Attach().empty());
    UsbPc pc(backend);
    ASSERT_EQ(pc.Link().OpenLink(), 1);

    EXPECT_EQ(pc.Call({0x80}), Report({0x02, 0x80, 'F', 'e', 'n', 'n', 'o', 0}));
    EXPECT_EQ(pc.Call({0x7F}), Report({0x02, 0x7F, 24, 0, 0x01, 0x02, 0x03, 0x04, 0x05, 0x00}));

    DeviceImageBytes read{};
    for (int i = 0; i < 70; ++i) {
        const int offset = 56 * i;
        const int n = i == 69 ? 48 : 56;
        Bytes r = pc.Call({0x30, uint8_t(offset >> 8), uint8_t(offset), uint8_t(n)});
        ASSERT_EQ(r.size(), kUsbReportSize) << "chunk " << i;
        ASSERT_EQ(r[1], 0x30);
        ASSERT_EQ(r[4], n);
        std::copy_n(r.begin() + 5, n, read.begin() + offset);
    }
    EXPECT_EQ(read, device.Memory());

    // The learned key is reported by the adapter's own timer, unprompted.
    ASSERT_EQ(pc.Link().WriteUsbDataNow(Bytes{0x60, 4}.data(), 2), int(kUsbReportSize));
    auto key = pc.Next(2000ms);
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(*key,
              Report({0x02, 0x60, SimDevice::kLearnedRemoteType, 4, SimDevice::LearnedCode(4)}));
}

TEST(SimHidAdapterTest, DetachUnplugsTheDevice) {
    SimDevice device;
    MemoryHidBackend backend;
    SimHidAdapter adapter(device, backend);
    const std::string path = adapter.Attach();
    EXPECT_TRUE(adapter.Attach().empty()) << "one interface per adapter";
    UsbPc pc(backend);
    ASSERT_EQ(pc.Link().OpenLink(), 1);
    adapter.Detach();
    EXPECT_TRUE(backend.Enumerate(kUsbVendorId, kUsbProductId).empty());
    const Bytes q{0x07};
    pc.Link().WriteUsbDataNow(q.data(), q.size());
    EXPECT_FALSE(pc.Next(100ms).has_value());
    EXPECT_EQ(device.FramesIn(0x07), 0u);
    adapter.Detach(); // again: quiet

    // Plugged in again, it answers as before.
    pc.Link().UsbDisconnect(false);
    ASSERT_FALSE(adapter.Attach(path).empty());
    ASSERT_EQ(pc.Link().OpenLink(), 1);
    EXPECT_EQ(pc.Call({0x07}), Report({0x02, 0x07, 0x00}));
}

} // namespace
} // namespace fenno

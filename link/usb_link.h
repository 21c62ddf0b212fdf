// The USB link: finds the amplifier among the HID interfaces, reads reports on its own thread.
#pragma once

#include "link/frame_codec.h"
#include "link/hid_backend.h"
#include "link/link_hooks.h"
#include "link/link_state.h"
#include "link/link_thread.h"
#include "link/transport.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace fenno {

constexpr uint16_t kUsbVendorId = 0x2010;
constexpr uint16_t kUsbProductId = 0x1031;

// Open, disconnect and the setters belong to the owner's thread; the writers may be called from
// any thread. The hooks' targets must outlive the link (or UsbDisconnect first).
class UsbLink : public Transport {
  public:
    static constexpr std::chrono::milliseconds kReplyWait{2000};
    static constexpr std::chrono::milliseconds kReadEndedWait{1000};
    static constexpr int kReadTimeoutMs = 200; // the read thread re-tests the link this often
    static constexpr uint8_t kByeCommand = 0x8A;

    UsbLink(LinkState& state, HidBackend& backend);
    ~UsbLink() override;
    UsbLink(const UsbLink&) = delete;
    UsbLink& operator=(const UsbLink&) = delete;

    void SetHooks(LinkHooks hooks) { m_hooks = std::move(hooks); }

    // 1 when the device was found and opened and the read thread runs; 0 otherwise (also when a
    // link is already up).
    int OpenLink();
    // 1 when an interface with the amplifier's ids was opened; it is kept as the link's device.
    int UsbFindDevice();
    // Opens the interface when its ids are the amplifier's; null otherwise or on failure.
    std::unique_ptr<HidDevice> UsbOpenPath(const HidDeviceInfo& info);

    // 61 on success; 0 when down, after the read thread ended on an error, or on a failed write;
    // a short count as it came. Waits up to 2 s for the reply event first.
    int WriteUsbData(const uint8_t* payload, size_t length);
    // The same without waiting for the reply event (Z-Wave senders).
    int WriteUsbDataNow(const uint8_t* payload, size_t length);

    // sendBye writes 02 8A before the link is marked down; waits up to 1 s for the read thread.
    void UsbDisconnect(bool sendBye);
    // The device went away: the same without the notice. Returns 1.
    int UsbRemoved();

    // The opened device's path, compared without regard to letter case.
    bool IsDevicePath(const std::string& path) const;
    const std::string& DevicePath() const { return m_path; }
    // Why the last open failed (e.g. the missing udev rule), for the user.
    const std::string& LastOpenError() const { return m_lastOpenError; }

    bool IsUp() const { return m_up.load(); }
    bool HasReadThread() const { return m_readThread.Joinable(); }

    bool IsNetwork() const override { return false; }
    int SendPayload(const uint8_t* payload, size_t length, bool wait) override;

  private:
    void ReadUsbThreadProc();
    int WriteReport(const uint8_t* payload, size_t length, bool wait);
    // Joins the read thread within the bound and closes the device once it has ended.
    bool Reap(std::chrono::milliseconds bound);

    LinkState& m_state;
    HidBackend& m_backend;
    LinkHooks m_hooks;
    std::atomic<bool> m_up{false};
    std::mutex m_lifeMutex;
    std::unique_ptr<HidDevice> m_dev; // replaced only under the send lock, with no reader running
    std::string m_path;
    std::string m_lastOpenError;
    LinkThread m_readThread;
};

} // namespace fenno

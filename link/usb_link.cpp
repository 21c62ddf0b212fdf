#include "link/usb_link.h"

#include "link/debug_output.h"

#include <cstdio>
#include <strings.h>

namespace fenno {
namespace {

// "Read:" / "Write:" followed by report bytes [1, end) as "%02X ".
void LogReport(const char* tag, const uint8_t* report, size_t end) {
    char line[8 + kUsbReportSize * 3 + 2];
    size_t pos = static_cast<size_t>(std::snprintf(line, sizeof line, "%s", tag));
    for (size_t i = 1; i < end; ++i)
        pos +=
            static_cast<size_t>(std::snprintf(line + pos, sizeof line - pos, "%02X ", report[i]));
    DebugOutput("%s\n", line);
}

} // namespace

UsbLink::UsbLink(LinkState& state, HidBackend& backend) : m_state(state), m_backend(backend) {}

UsbLink::~UsbLink() {
    if (m_up.exchange(false)) m_state.connected.store(false);
    m_readThread.Join();
    m_dev.reset();
}

std::unique_ptr<HidDevice> UsbLink::UsbOpenPath(const HidDeviceInfo& info) {
    // Foreign interfaces are never opened: their ids are known from the enumeration.
    if (info.vendorId != kUsbVendorId || info.productId != kUsbProductId) return nullptr;
    std::string error;
    auto dev = m_backend.Open(info.path, &error);
    if (!dev) {
        DebugOutput("无法打开通信端口。不能读取设备信息!(设备连接可能不正确?)\n");
        if (!error.empty()) DebugOutput("%s\n", error.c_str());
        m_lastOpenError = error;
        return nullptr;
    }
    m_path = info.path;
    return dev;
}

int UsbLink::UsbFindDevice() {
    if (m_up.load()) return 0; // the read thread is using the open device
    // All HID interfaces, as the system lists them; the id filter is ours.
    const auto interfaces = m_backend.Enumerate(0, 0);
    m_lastOpenError.clear();
    for (const auto& info : interfaces) {
        if (auto dev = UsbOpenPath(info)) {
            std::lock_guard lock(m_state.sendLock);
            m_dev = std::move(dev);
            DebugOutput("连接目标设备成功!");
            return 1;
        }
    }
    DebugOutput("枚举usb设备出错,usb设备接口可能枚举完成了");
    DebugOutput("连接目标设备失败，没有找到目标设备");
    return 0;
}

int UsbLink::OpenLink() {
    if (m_readThread.IsCurrent()) return 0;
    std::lock_guard life(m_lifeMutex);
    if (m_up.load() || m_state.connected.load()) return 0;
    if (!Reap(kReadEndedWait)) {
        DebugOutput("OpenLink: previous read thread still running\n");
        return 0;
    }
    InitLinkSync(m_state);
    if (m_hooks.onLinkInit) m_hooks.onLinkInit();
    if (!UsbFindDevice()) return 0;
    m_up.store(true);
    m_state.connected.store(true);
    m_readThread.Start([this] { ReadUsbThreadProc(); });
    return 1;
}

int UsbLink::WriteReport(const uint8_t* payload, size_t length, bool wait) {
    if (!m_up.load()) return 0;
    if (m_state.readThreadEnd.load()) {
        DebugOutput("g_bReadThreadEnd == TRUE ,WriteUsbData return \n");
        return 0;
    }
    const auto report = EncodeUsbReport(payload, length);
    if (wait && !m_state.replyEvent.Wait(kReplyWait))
        DebugOutput("WaitForSingleObject Time Out \r\n ");
    std::lock_guard lock(m_state.sendLock);
    if (!m_dev) return 0;
    if (DebugEnabled()) LogReport("Write:", report.data(), kUsbReportSize - 1);
    const int r = m_dev->Write(report.data(), report.size());
    if (r < 0) return 0;
    if (r < static_cast<int>(kUsbReportSize)) DebugOutput("usb数据写入出错");
    return r;
}

int UsbLink::WriteUsbData(const uint8_t* payload, size_t length) {
    return WriteReport(payload, length, true);
}

int UsbLink::WriteUsbDataNow(const uint8_t* payload, size_t length) {
    return WriteReport(payload, length, false);
}

int UsbLink::SendPayload(const uint8_t* payload, size_t length, bool wait) {
    return WriteReport(payload, length, wait);
}

void UsbLink::UsbDisconnect(bool sendBye) {
    if (m_readThread.IsCurrent()) {
        // From the dispatcher on the read thread: mark down; the owner closes the device later.
        if (m_up.exchange(false)) {
            m_state.connected.store(false);
            if (m_hooks.onClearStatus) m_hooks.onClearStatus();
        }
        return;
    }
    std::lock_guard life(m_lifeMutex);
    if (!m_up.load()) {
        Reap(kReadEndedWait); // a thread that ended (or was marked down) on its own
        return;
    }
    if (m_hooks.onClearStatus) m_hooks.onClearStatus();
    if (sendBye) WriteUsbData(&kByeCommand, 1);
    m_up.store(false);
    m_state.connected.store(false);
    const bool ended = m_state.readEndedEvent.Wait(kReadEndedWait);
    if (!ended) DebugOutput("wait read thread exited time out !\n");
    // A reader still inside the device must not see it closed under it: close once it is gone.
    if (!Reap(ended ? kReadEndedWait : std::chrono::milliseconds(0)))
        DebugOutput("UsbDisconnect: device closed when the read thread ends\n");
}

int UsbLink::UsbRemoved() {
    UsbDisconnect(false);
    return 1;
}

bool UsbLink::IsDevicePath(const std::string& path) const {
    return !m_path.empty() && strcasecmp(m_path.c_str(), path.c_str()) == 0;
}

bool UsbLink::Reap(std::chrono::milliseconds bound) {
    if (!m_readThread.JoinFor(bound)) return false;
    std::lock_guard lock(m_state.sendLock);
    m_dev.reset();
    m_path.clear();
    return true;
}

void UsbLink::ReadUsbThreadProc() {
    m_state.readThreadEnd.store(false);
    DebugOutput("start thread: ReadUsbThreadProc \n");
    m_state.readEndedEvent.Reset();
    while (m_up.load()) {
        uint8_t buf[kUsbReportSize] = {};
        const int r = m_dev->Read(buf, sizeof buf, kReadTimeoutMs);
        if (r < 0) {
            DebugOutput("Read Usb Error will return !\n");
            m_state.statusPoll.store(false);
            m_state.readThreadEnd.store(true);
            m_state.replyEvent.Set(); // release a waiting sender
            break;
        }
        if (r == 0) continue; // time-out: re-test the link
        if (DebugEnabled()) {
            std::lock_guard lock(m_state.sendLock);
            LogReport("Read:", buf, kUsbReportSize);
        }
        if (m_hooks.onPayload) m_hooks.onPayload(buf, kUsbReportSize);
    }
    m_state.readEndedEvent.Set();
    DebugOutput("End thread: ReadUsbThreadProc \n");
}

} // namespace fenno

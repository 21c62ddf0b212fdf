#include "protocol/device.h"

#include <thread>

namespace fenno {

Device::Device(EventSink* sink, std::unique_ptr<HidBackend> hid)
    : m_sink(sink),
      m_links(std::move(hid)),
      m_dispatcher(m_store, m_state, m_links.State(), sink,
                   DispatcherHooks{
                       [this] { m_jobs.StartReadJob(); },
                       [this](const uint8_t* p, size_t n) { m_home.ProcessZwaveMsg(p, n); },
                       [this](const uint8_t* p, size_t n) { m_home.ZWaveReadMemFunc(p, n); }}),
      m_jobs(m_store, m_state, m_links.State(), m_commands, sink) {
    ResetDeviceDefaults(m_state);
    m_commands.SetTransport(&m_links);
    m_links.SetHooks(LinkHooks{[this](const uint8_t* p, size_t L) { OnPayload(p, L); },
                               [this](int id) {
                                   if (m_sink) m_sink->Post(id, 0, 0);
                               },
                               [this] { m_home.ClearSynced(); },
                               [this] { m_state.ClearStatus(); }});
}

Device::~Device() {
    // Links first, so that running jobs see the link down and end at their next step.
    m_links.CloseLink(false);
    m_jobs.JoinAll();
}

void Device::OnPayload(const uint8_t* payload, size_t L) {
    // A TCP frame carries L - 1 payload bytes; a HID report is always whole.
    size_t available = m_links.IsNetwork() ? (L > 0 ? L - 1 : 0) : L;
    m_dispatcher.DispatchReceived(payload, L, available);
}

int Device::ConnectTcp(const std::string& address, uint16_t port) {
    if (Usb().IsUp()) Usb().UsbDisconnect(false);
    m_links.SetNetworkMode(true);
    Tcp().SetAddress(address);
    Tcp().SetPort(port);
    return Tcp().NetConnect();
}

int Device::OpenLink() { return m_links.OpenLink(); }

int Device::OpenUsb() {
    if (m_links.IsConnected()) return 0;
    m_links.SetNetworkMode(false);
    return Usb().OpenLink();
}

void Device::Disconnect(bool sendBye) { m_links.CloseLink(sendBye); }

bool Device::WaitQueueDrained(std::chrono::milliseconds bound) {
    auto until = std::chrono::steady_clock::now() + bound;
    while (std::chrono::steady_clock::now() < until) {
        if (!IsConnected() || !IsNetwork()) return true;
        if (Tcp().WriteQueue().Size() == 0 && !Link().awaitingReply) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void Device::ResetToFactory() {
    m_store.LoadFactoryImage();
    m_store.ApplyDeviceImage();
    ResetDeviceDefaults(m_state);
}

} // namespace fenno

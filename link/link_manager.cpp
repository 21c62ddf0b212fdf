#include "link/link_manager.h"

#include "link/hidapi_backend.h"

namespace fenno {

LinkManager::LinkManager(std::unique_ptr<HidBackend> backend)
    : m_backend(backend ? std::move(backend) : std::make_unique<HidapiBackend>()), m_tcp(m_state),
      m_usb(m_state, *m_backend) {}

LinkManager::~LinkManager() = default;

void LinkManager::SetHooks(const LinkHooks& hooks) {
    m_tcp.SetHooks(hooks);
    m_usb.SetHooks(hooks);
}

int LinkManager::OpenLink() {
    if (m_state.networkMode.load()) return m_tcp.NetConnect();
    return m_usb.OpenLink();
}

void LinkManager::CloseLink(bool sendBye) {
    m_tcp.NetDisconnect(sendBye);
    m_usb.UsbDisconnect(sendBye);
}

int LinkManager::SendPayload(const uint8_t* payload, size_t length, bool wait) {
    if (m_state.networkMode.load()) return m_tcp.SendPayload(payload, length, wait);
    return m_usb.SendPayload(payload, length, wait);
}

} // namespace fenno

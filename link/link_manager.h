// Owns the link state and both links; the protocol layer sends through it as its Transport.
#pragma once

#include "link/hid_backend.h"
#include "link/link_hooks.h"
#include "link/link_state.h"
#include "link/tcp_link.h"
#include "link/transport.h"
#include "link/usb_link.h"

#include <memory>

namespace fenno {

class LinkManager : public Transport {
  public:
    // Without a backend the real one (hidapi on hidraw) is used.
    explicit LinkManager(std::unique_ptr<HidBackend> backend = nullptr);
    ~LinkManager() override;

    LinkState& State() { return m_state; }
    TcpLink& Tcp() { return m_tcp; }
    UsbLink& Usb() { return m_usb; }
    HidBackend& Backend() { return *m_backend; }

    // Both links get the same hooks; set them before opening a link.
    void SetHooks(const LinkHooks& hooks);

    void SetNetworkMode(bool network) { m_state.networkMode.store(network); }
    // Network mode: NetConnect's result (1, 0 or an errno). USB: 1 or 0.
    int OpenLink();
    // Closes whichever link is up (both are asked; the other one does nothing).
    void CloseLink(bool sendBye);
    bool IsConnected() const { return m_state.connected.load(); }

    bool IsNetwork() const override { return m_state.networkMode.load(); }
    int SendPayload(const uint8_t* payload, size_t length, bool wait) override;

  private:
    LinkState m_state;
    std::unique_ptr<HidBackend> m_backend;
    TcpLink m_tcp;
    UsbLink m_usb;
};

} // namespace fenno

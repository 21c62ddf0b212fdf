// One connected amplifier: stores, link state, both links, commands, dispatcher and jobs.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "link/link_manager.h"
#include "protocol/commands.h"
#include "protocol/device_state.h"
#include "protocol/dispatcher.h"
#include "protocol/event_sink.h"
#include "protocol/home_control.h"
#include "protocol/param_store.h"
#include "protocol/sync_jobs.h"

namespace fenno {

// The GUI owns one for the whole run; tests and the CLI build their own. No globals.
class Device {
public:
    // sink receives the link and job events (may be null). hid is the USB backend; null means
    // the system's hidraw devices through hidapi.
    explicit Device(EventSink* sink = nullptr, std::unique_ptr<HidBackend> hid = nullptr);
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    ParamStore& Store() { return m_store; }
    DeviceState& State() { return m_state; }
    LinkState& Link() { return m_links.State(); }
    Commands& Cmd() { return m_commands; }
    Dispatcher& Dispatch() { return m_dispatcher; }
    SyncJobs& Jobs() { return m_jobs; }
    HomeControl& Home() { return m_home; }
    TcpLink& Tcp() { return m_links.Tcp(); }
    UsbLink& Usb() { return m_links.Usb(); }
    HidBackend& Hid() { return m_links.Backend(); }

    // Switches to network mode (closing USB quietly first) and connects. Returns what
    // NetConnect returns: 1, 0, or the errno of the failed connect.
    int ConnectTcp(const std::string& address, uint16_t port);
    // Opens the link of the current mode: TCP in network mode, else the first matching USB device.
    int OpenLink();
    // Leaves network mode and opens USB (a cable arrived).
    int OpenUsb();
    void Disconnect(bool sendBye);
    bool IsConnected() const { return m_links.IsConnected(); }
    bool IsNetwork() const { return m_links.IsNetwork(); }

    // Waits until the TCP write queue is empty and the last frame was answered (or the link is
    // down). False when the time ran out.
    bool WaitQueueDrained(std::chrono::milliseconds bound);

    // Factory image, host values and start-up identity, as at program start.
    void ResetToFactory();

private:
    void OnPayload(const uint8_t* payload, size_t L);

    EventSink* m_sink;
    ParamStore m_store;
    DeviceState m_state;
    LinkManager m_links; // routes every payload to the active link
    Commands m_commands{m_store, m_state};
    Dispatcher m_dispatcher;
    SyncJobs m_jobs;
    HomeControl m_home{m_commands, m_links.State(), m_state, m_jobs, m_sink};
};

} // namespace fenno

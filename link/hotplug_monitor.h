// HID arrival and removal notices: libudev in the product, injected events in tests.
#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct udev;
struct udev_monitor;

namespace fenno {

struct HotplugEvent {
    enum class Kind { Arrival, Removal };
    Kind kind;
    std::string devnode; // e.g. /dev/hidraw3, compared with the USB link's device path
};

// "add" and "remove" with a device node make an event; other actions ("change", "bind") none.
std::optional<HotplugEvent> ParseHotplugEvent(const char* action, const char* devnode);

// The GUI watches Fd() (QSocketNotifier, read) and calls Drain() when it becomes readable.
class HotplugSource {
  public:
    virtual ~HotplugSource() = default;
    virtual int Fd() const = 0;
    // Every waiting event, oldest first; never blocks.
    virtual std::vector<HotplugEvent> Drain() = 0;
};

// hidraw events from udev's netlink socket (sent after the rules ran and the node exists).
class HotplugMonitor : public HotplugSource {
  public:
    // Null when udev is not reachable (e.g. in a container); *error says why.
    static std::unique_ptr<HotplugMonitor> Create(std::string* error = nullptr);
    ~HotplugMonitor() override;
    HotplugMonitor(const HotplugMonitor&) = delete;
    HotplugMonitor& operator=(const HotplugMonitor&) = delete;

    int Fd() const override;
    std::vector<HotplugEvent> Drain() override;

  private:
    HotplugMonitor(udev* u, udev_monitor* m) : m_udev(u), m_monitor(m) {}
    udev* m_udev;
    udev_monitor* m_monitor;
};

// Events put in by hand (tests, the demo's in-memory device); Fd() is an eventfd.
class InjectedHotplugSource : public HotplugSource {
  public:
    InjectedHotplugSource();
    ~InjectedHotplugSource() override;
    InjectedHotplugSource(const InjectedHotplugSource&) = delete;
    InjectedHotplugSource& operator=(const InjectedHotplugSource&) = delete;

    // Thread-safe.
    void Inject(HotplugEvent event);
    int Fd() const override { return m_fd; }
    std::vector<HotplugEvent> Drain() override;

  private:
    int m_fd;
    std::mutex m_mutex;
    std::deque<HotplugEvent> m_events;
};

} // namespace fenno

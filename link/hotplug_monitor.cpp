#include "link/hotplug_monitor.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <libudev.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace fenno {

std::optional<HotplugEvent> ParseHotplugEvent(const char* action, const char* devnode) {
    // Without a node there is nothing to open or to compare with the open path.
    if (action == nullptr || devnode == nullptr || *devnode == '\0') return std::nullopt;
    if (std::strcmp(action, "add") == 0) return HotplugEvent{HotplugEvent::Kind::Arrival, devnode};
    if (std::strcmp(action, "remove") == 0)
        return HotplugEvent{HotplugEvent::Kind::Removal, devnode};
    return std::nullopt;
}

std::unique_ptr<HotplugMonitor> HotplugMonitor::Create(std::string* error) {
    auto fail = [error](const char* what) {
        if (error != nullptr) *error = std::string(what) + ": " + std::strerror(errno);
        return nullptr;
    };
    udev* u = udev_new();
    if (u == nullptr) return fail("udev_new");
    udev_monitor* m = udev_monitor_new_from_netlink(u, "udev");
    if (m == nullptr) {
        udev_unref(u);
        return fail("udev monitor");
    }
    if (udev_monitor_filter_add_match_subsystem_devtype(m, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(m) < 0) {
        udev_monitor_unref(m);
        udev_unref(u);
        return fail("udev monitor filter");
    }
    return std::unique_ptr<HotplugMonitor>(new HotplugMonitor(u, m));
}

HotplugMonitor::~HotplugMonitor() {
    udev_monitor_unref(m_monitor);
    udev_unref(m_udev);
}

int HotplugMonitor::Fd() const {
    return udev_monitor_get_fd(m_monitor);
}

std::vector<HotplugEvent> HotplugMonitor::Drain() {
    std::vector<HotplugEvent> out;
    // The socket is non-blocking: receive until it is empty.
    while (udev_device* d = udev_monitor_receive_device(m_monitor)) {
        if (auto e = ParseHotplugEvent(udev_device_get_action(d), udev_device_get_devnode(d)))
            out.push_back(std::move(*e));
        udev_device_unref(d);
    }
    return out;
}

InjectedHotplugSource::InjectedHotplugSource() : m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

InjectedHotplugSource::~InjectedHotplugSource() {
    if (m_fd >= 0) ::close(m_fd);
}

void InjectedHotplugSource::Inject(HotplugEvent event) {
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(std::move(event));
    }
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t r = ::write(m_fd, &one, sizeof one);
}

std::vector<HotplugEvent> InjectedHotplugSource::Drain() {
    uint64_t count;
    [[maybe_unused]] const ssize_t r = ::read(m_fd, &count, sizeof count); // clears readiness
    std::lock_guard lock(m_mutex);
    std::vector<HotplugEvent> out(std::make_move_iterator(m_events.begin()),
                                  std::make_move_iterator(m_events.end()));
    m_events.clear();
    return out;
}

} // namespace fenno

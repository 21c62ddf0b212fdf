#include "link/hotplug_monitor.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <thread>

namespace fenno {
namespace {

bool Readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1;
}

TEST(HotplugEvent, ParsesOnlyArrivalAndRemovalWithANode) {
    using K = HotplugEvent::Kind;
    struct Case {
        const char* action;
        const char* devnode;
        std::optional<K> kind;
    };
    const Case cases[] = {
        {"add", "/dev/hidraw3", K::Arrival},
        {"remove", "/dev/hidraw3", K::Removal},
        {"change", "/dev/hidraw3", {}},
        {"bind", "/dev/hidraw3", {}},
        {"add", nullptr, {}},
        {"remove", "", {}},
        {nullptr, "/dev/hidraw3", {}},
    };
    for (const auto& c : cases) {
        const auto e = ParseHotplugEvent(c.action, c.devnode);
        const std::string what =
            std::string(c.action ? c.action : "(null)") + " " + (c.devnode ? c.devnode : "(null)");
        ASSERT_EQ(e.has_value(), c.kind.has_value()) << what;
        if (e) {
            EXPECT_EQ(e->kind, *c.kind) << what;
            EXPECT_EQ(e->devnode, c.devnode) << what;
        }
    }
}

TEST(InjectedHotplugSource, FdSignalsUntilDrained) {
    InjectedHotplugSource src;
    ASSERT_GE(src.Fd(), 0);
    EXPECT_FALSE(Readable(src.Fd()));
    std::thread t([&] {
        src.Inject({HotplugEvent::Kind::Arrival, "/dev/hidraw1"});
        src.Inject({HotplugEvent::Kind::Removal, "/dev/hidraw0"});
    });
    t.join();
    EXPECT_TRUE(Readable(src.Fd()));
    const auto events = src.Drain();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, HotplugEvent::Kind::Arrival);
    EXPECT_EQ(events[0].devnode, "/dev/hidraw1");
    EXPECT_EQ(events[1].kind, HotplugEvent::Kind::Removal);
    EXPECT_FALSE(Readable(src.Fd()));
    EXPECT_TRUE(src.Drain().empty());
}

TEST(HotplugMonitor, RealMonitorOpensAndDrainsWithoutBlocking) {
    std::string error;
    auto mon = HotplugMonitor::Create(&error);
    if (!mon) GTEST_SKIP() << "no udev here: " << error;
    EXPECT_GE(mon->Fd(), 0);
    mon->Drain(); // whatever is waiting; must return at once
}

} // namespace
} // namespace fenno

// Events: the wait over several events with its priority, pulses and the
// two reset modes.
#include "platform/Event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace korvane::platform {
namespace {

constexpr int kLongWaitMs = 20000;

TEST(EventTest, WaitAnyPrefersTheLowestSignalledIndexAndConsumesOnlyIt) {
    Event a;
    Event b;
    Event c(Event::Mode::ManualReset);
    b.Set();
    c.Set();
    Event* const events[] = {&a, &b, &c};
    EXPECT_EQ(Event::WaitAny(events, 0), 1);
    EXPECT_FALSE(b.IsSet());  // auto-reset: taken
    EXPECT_EQ(Event::WaitAny(events, 0), 2);
    EXPECT_TRUE(c.IsSet());  // manual-reset: stays
    c.Reset();
    EXPECT_EQ(Event::WaitAny(events, 0), kWaitTimeout);
}

TEST(EventTest, APulseWithoutWaiterIsLostAndReleasesAWaiter) {
    Event e;
    e.Pulse();
    EXPECT_FALSE(e.Wait(0));
    std::atomic<bool> released{false};
    std::thread waiter([&] { released = e.Wait(kLongWaitMs); });
    // Pulse until the waiter has been released (it may not wait yet).
    while (!released) {
        e.Pulse();
        std::this_thread::yield();
    }
    waiter.join();
    EXPECT_FALSE(e.IsSet());
}

TEST(EventTest, SetWakesAThreadWaitingOnSeveralEvents) {
    Event stop;
    Event data(Event::Mode::ManualReset);
    int which = -1;
    std::thread waiter([&] {
        Event* const events[] = {&stop, &data};
        which = Event::WaitAny(events, kLongWaitMs);
    });
    data.Set();
    waiter.join();
    EXPECT_EQ(which, 1);
}

}  // namespace
}  // namespace korvane::platform

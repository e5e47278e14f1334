// Events: the wait over several events with its priority, pulses and the
// two reset modes.
#include "platform/Event.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>
#include <vector>

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

// Waiters of several threads on shared events, more events than a wait
// keeps in its own frame, and waiters leaving in another order than they
// came: every set reaches exactly one waiter still waiting, and a waiter
// that timed out is no longer served.
TEST(EventTest, ManyWaitersOnManyEventsEachTakeOneSignal) {
    std::array<Event, 12> events;
    std::vector<Event*> all;
    for (Event& e : events) {
        all.push_back(&e);
    }
    Event lonely;
    EXPECT_FALSE(lonely.Wait(1)) << "times out";
    std::atomic<int> done{0};
    std::array<int, 3> got{-2, -2, -2};
    std::vector<std::thread> waiters;
    for (int t = 0; t < 3; ++t) {
        waiters.emplace_back([&, t] {
            got[t] = Event::WaitAny(all, kLongWaitMs);
            ++done;
        });
    }
    // A short-lived waiter in the middle of the lists, gone before the sets.
    std::thread quitter([&] {
        Event* const some[] = {&events[11], &events[10], &lonely};
        EXPECT_EQ(Event::WaitAny(some, 5), kWaitTimeout);
    });
    quitter.join();
    for (int n = 1; n <= 3; ++n) {
        events[11].Set();
        while (done.load() < n) {
            std::this_thread::yield();
        }
    }
    for (std::thread& w : waiters) {
        w.join();
    }
    for (int index : got) {
        EXPECT_EQ(index, 11);
    }
    EXPECT_FALSE(events[11].IsSet()) << "each set was taken by a waiter";
    lonely.Set();
    EXPECT_TRUE(lonely.Wait(0)) << "nobody was left registered on it";
}

}  // namespace
}  // namespace korvane::platform

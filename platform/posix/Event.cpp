#include "platform/Event.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace korvane::platform {
namespace {
// One lock for all events keeps a wait over several events free of lock
// ordering problems; events are signalled a few thousand times a second at
// most, so the single lock is never contended for long.
std::mutex& EventsLock() {
    static std::mutex m;
    return m;
}
}  // namespace

struct Event::Waiter {
    std::condition_variable cv;
    int fired = -1;
};

Event::Event(Mode mode, bool initiallySignalled) : mode_(mode), signalled_(initiallySignalled) {}

Event::~Event() = default;

bool Event::TakeSignal() {
    if (!signalled_) {
        return false;
    }
    if (mode_ == Mode::AutoReset) {
        signalled_ = false;
    }
    return true;
}

// Hands the signal to waiting threads; returns with the lock held by caller.
void Event::Release(bool all) {
    for (auto& reg : waiters_) {
        if (reg.waiter->fired < 0) {
            reg.waiter->fired = reg.index;
            reg.waiter->cv.notify_one();
            if (!all) {
                return;
            }
        }
    }
}

void Event::Set() {
    std::lock_guard lock(EventsLock());
    if (mode_ == Mode::ManualReset) {
        signalled_ = true;
        Release(true);
        return;
    }
    for (auto& reg : waiters_) {
        if (reg.waiter->fired < 0) {
            reg.waiter->fired = reg.index;
            reg.waiter->cv.notify_one();
            return;
        }
    }
    signalled_ = true;
}

void Event::Reset() {
    std::lock_guard lock(EventsLock());
    signalled_ = false;
}

void Event::Pulse() {
    std::lock_guard lock(EventsLock());
    Release(mode_ == Mode::ManualReset);
    signalled_ = false;
}

bool Event::IsSet() const {
    std::lock_guard lock(EventsLock());
    return signalled_;
}

bool Event::Wait(int timeoutMs) {
    Event* self = this;
    return WaitAny(std::span<Event* const>(&self, 1), timeoutMs) == 0;
}

int Event::WaitAny(std::span<Event* const> events, int timeoutMs) {
    std::unique_lock lock(EventsLock());
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (events[i]->TakeSignal()) {
            return static_cast<int>(i);
        }
    }
    if (timeoutMs == 0) {
        return kWaitTimeout;
    }
    Waiter waiter;
    std::vector<std::list<Registration>::iterator> regs;
    regs.reserve(events.size());
    for (std::size_t i = 0; i < events.size(); ++i) {
        auto& list = events[i]->waiters_;
        regs.push_back(list.insert(list.end(), Registration{&waiter, static_cast<int>(i)}));
    }
    auto fired = [&] { return waiter.fired >= 0; };
    if (timeoutMs < 0) {
        waiter.cv.wait(lock, fired);
    } else {
        waiter.cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), fired);
    }
    for (std::size_t i = 0; i < events.size(); ++i) {
        events[i]->waiters_.erase(regs[i]);
    }
    return waiter.fired >= 0 ? waiter.fired : kWaitTimeout;
}

}  // namespace korvane::platform

#include "platform/Event.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
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
    // Signallers that have fired this waiter and not yet notified it; the
    // waiter outlives none of them.
    std::atomic<int> notifying{0};
};

// The waiters a signal fired, notified once the events' lock is released: a
// thread woken while the signaller still holds the lock would only block on
// it again (one more thread switch per signal).
struct Event::Wakeups {
    Wakeups() = default;
    Wakeups(const Wakeups&) = delete;
    Wakeups& operator=(const Wakeups&) = delete;
    ~Wakeups() {
        for (std::size_t i = 0; i < count_; ++i) {
            waiters_[i]->cv.notify_one();
            waiters_[i]->notifying.fetch_sub(1, std::memory_order_release);
        }
    }
    // Called with the lock held.
    void Add(Event::Waiter& waiter) {
        if (count_ == kMax) {
            waiter.cv.notify_one();  // rare: many threads on one event
            return;
        }
        waiter.notifying.fetch_add(1, std::memory_order_relaxed);
        waiters_[count_++] = &waiter;
    }

    static constexpr std::size_t kMax = 8;
    Event::Waiter* waiters_[kMax] = {};
    std::size_t count_ = 0;
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

// Fires waiting threads; called with the lock held, they are woken once
// wakeups goes out of scope after the lock.
void Event::Link(Registration& reg) {
    reg.prev = tail_;
    reg.next = nullptr;
    if (tail_ != nullptr) {
        tail_->next = &reg;
    } else {
        head_ = &reg;
    }
    tail_ = &reg;
}

void Event::Unlink(Registration& reg) {
    (reg.prev != nullptr ? reg.prev->next : head_) = reg.next;
    (reg.next != nullptr ? reg.next->prev : tail_) = reg.prev;
    reg.prev = reg.next = nullptr;
}

void Event::Release(bool all, Wakeups& wakeups) {
    for (Registration* reg = head_; reg != nullptr; reg = reg->next) {
        if (reg->waiter->fired < 0) {
            reg->waiter->fired = reg->index;
            wakeups.Add(*reg->waiter);
            if (!all) {
                return;
            }
        }
    }
}

void Event::Set() {
    Wakeups wakeups;
    std::lock_guard lock(EventsLock());
    if (mode_ == Mode::ManualReset) {
        signalled_ = true;
        Release(true, wakeups);
        return;
    }
    for (Registration* reg = head_; reg != nullptr; reg = reg->next) {
        if (reg->waiter->fired < 0) {
            reg->waiter->fired = reg->index;
            wakeups.Add(*reg->waiter);
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
    Wakeups wakeups;
    std::lock_guard lock(EventsLock());
    Release(mode_ == Mode::ManualReset, wakeups);
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
    // The usual waits (one event, or a handful) keep their entries in this
    // frame; only a wait over many events takes memory for them.
    constexpr std::size_t kInFrame = 8;
    std::array<Registration, kInFrame> inFrame{};
    std::vector<Registration> many;
    Registration* regs = inFrame.data();
    if (events.size() > kInFrame) {
        many.resize(events.size());
        regs = many.data();
    }
    for (std::size_t i = 0; i < events.size(); ++i) {
        regs[i].waiter = &waiter;
        regs[i].index = static_cast<int>(i);
        events[i]->Link(regs[i]);
    }
    auto fired = [&] { return waiter.fired >= 0; };
    if (timeoutMs < 0) {
        waiter.cv.wait(lock, fired);
    } else {
        waiter.cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), fired);
    }
    for (std::size_t i = 0; i < events.size(); ++i) {
        events[i]->Unlink(regs[i]);
    }
    const int firedIndex = waiter.fired;
    lock.unlock();
    // Unregistered, the waiter can be fired by no one else; a signaller
    // that fired it may still be about to notify it.
    while (waiter.notifying.load(std::memory_order_acquire) != 0) {
        std::this_thread::yield();
    }
    return firedIndex >= 0 ? firedIndex : kWaitTimeout;
}

}  // namespace korvane::platform

#pragma once
// Kernel-style events: auto-reset or manual-reset, set, reset, pulse, and one
// wait over several events in priority order.
#include <cstddef>
#include <span>

namespace korvane::platform {

inline constexpr int kInfinite = -1;
inline constexpr int kWaitTimeout = -1;

class Event {
  public:
    enum class Mode { AutoReset, ManualReset };

    explicit Event(Mode mode = Mode::AutoReset, bool initiallySignalled = false);
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    // Releases the threads waiting right now (one for an auto-reset event,
    // all for a manual-reset one) and leaves the event not signalled. With
    // no waiter nothing happens.
    void Pulse();
    bool IsSet() const;

    // True when the event was signalled within the time-out.
    bool Wait(int timeoutMs = kInfinite);

    // Waits for the first of several events. When more than one is signalled
    // the lowest index wins. Answers the index, or kWaitTimeout.
    static int WaitAny(std::span<Event* const> events, int timeoutMs = kInfinite);

    struct Waiter;

  private:
    // One waiting thread's entry on one event; it lives in the waiter's
    // frame, so that waiting allocates nothing (a thread about to wait holds
    // no memory that only a half-finished allocation points to).
    struct Registration {
        Waiter* waiter = nullptr;
        int index = 0;
        Registration* prev = nullptr;
        Registration* next = nullptr;
    };
    struct Wakeups;
    bool TakeSignal();
    void Release(bool all, Wakeups& wakeups);
    // Called with the lock held; waiters are served in the order they came.
    void Link(Registration& reg);
    void Unlink(Registration& reg);

    Mode mode_;
    bool signalled_;
    Registration* head_ = nullptr;
    Registration* tail_ = nullptr;
#if defined(_WIN32)
  public:
    // The kernel event object, for overlapped I/O started on it.
    void* NativeHandle() const {
        return handle_;
    }

  private:
    void* handle_ = nullptr;
#endif
};

}  // namespace korvane::platform

#pragma once
// Kernel-style events: auto-reset or manual-reset, set, reset, pulse, and one
// wait over several events in priority order.
#include <cstddef>
#include <list>
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
    struct Registration {
        Waiter* waiter;
        int index;
    };
    struct Wakeups;
    bool TakeSignal();
    void Release(bool all, Wakeups& wakeups);

    Mode mode_;
    bool signalled_;
    std::list<Registration> waiters_;
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

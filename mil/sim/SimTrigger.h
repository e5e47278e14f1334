#pragma once
// When a triggered camera may start its next frame. With the trigger on,
// a grab waits for a software trigger (the trigger control sent with value
// 1) or for the simulated hardware trigger, which fires every periodMs
// from the moment the trigger was switched on. A software trigger that
// comes while no grab waits is kept for the next grab (several such count
// as one); a hardware trigger that fires while no grab waits is missed, as
// on a real input. Not thread-safe: the digitizer calls it under its lock.
#include <chrono>

namespace korvane::mil::sim {

class SimTrigger {
  public:
    using Clock = std::chrono::steady_clock;

    SimTrigger(int periodMs, int timeoutMs) : periodMs_(periodMs), timeoutMs_(timeoutMs) {}

    bool On() const { return on_; }
    // The trigger control switched the trigger on or off at now: a kept
    // software trigger is dropped and the hardware trigger's clock restarts.
    void Switch(bool on, Clock::time_point now);
    // A software trigger; ignored while the trigger is off.
    void Software();
    // Takes a kept software trigger; false when there is none.
    bool TakeSoftware();

    // The first hardware trigger after a grab started waiting at armed;
    // Clock::time_point::max() without a hardware trigger.
    Clock::time_point NextHardware(Clock::time_point armed) const;
    // When a grab that started waiting at armed gives up;
    // Clock::time_point::max() without a time-out.
    Clock::time_point GiveUp(Clock::time_point armed) const;
    int TimeoutMs() const { return timeoutMs_; }

  private:
    const int periodMs_;   // 0: no hardware trigger
    const int timeoutMs_;  // 0: wait as long as it takes
    bool on_ = false;
    bool softwarePending_ = false;
    Clock::time_point epoch_{};
};

}  // namespace korvane::mil::sim

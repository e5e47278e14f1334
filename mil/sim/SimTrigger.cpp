#include "mil/sim/SimTrigger.h"

namespace korvane::mil::sim {

void SimTrigger::Switch(bool on, Clock::time_point now) {
    on_ = on;
    softwarePending_ = false;
    epoch_ = now;
}

void SimTrigger::Software() {
    if (on_) {
        softwarePending_ = true;
    }
}

bool SimTrigger::TakeSoftware() {
    const bool pending = softwarePending_;
    softwarePending_ = false;
    return pending;
}

SimTrigger::Clock::time_point SimTrigger::NextHardware(Clock::time_point armed) const {
    if (periodMs_ <= 0) {
        return Clock::time_point::max();
    }
    // The ticks are epoch + k * period for k >= 1; the first one after
    // armed (a tick exactly at armed counts: the grab was waiting for it).
    const Clock::duration period = std::chrono::milliseconds(periodMs_);
    const Clock::duration since = armed - epoch_;
    const auto k =
        since <= Clock::duration::zero() ? 1 : (since + period - Clock::duration(1)) / period;
    return epoch_ + period * (k < 1 ? 1 : k);
}

SimTrigger::Clock::time_point SimTrigger::GiveUp(Clock::time_point armed) const {
    if (timeoutMs_ <= 0) {
        return Clock::time_point::max();
    }
    return armed + std::chrono::milliseconds(timeoutMs_);
}

}  // namespace korvane::mil::sim

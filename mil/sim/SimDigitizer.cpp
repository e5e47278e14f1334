#include "mil/sim/SimDigitizer.h"

#include <algorithm>
#include <cmath>

#include "mil/MilError.h"

namespace korvane::mil::sim {
namespace {

constexpr double kTimeLimit = 1e9;  // 1000 s in the library's unit
constexpr double kGainMax = 255;
constexpr MilInt kSoftwareTrigger = 1;

bool IsRealValued(MilInt type) {
    return type == M_EXPOSURE_TIME || type == M_STROBE_TIME || type == M_EXPOSURE_DELAY ||
           type == M_STROBE_DELAY || type == M_STROBE_HIDRIVE_TIME;
}

// Types whose limits can be inquired with + M_MIN_VALUE / + M_MAX_VALUE.
bool HasLimits(MilInt type) {
    return IsRealValued(type) || type == M_GAIN;
}

double UpperLimit(MilInt type) {
    return type == M_GAIN ? kGainMax : kTimeLimit;
}

MilInt ToMilInt(double value) {
    // Values are finite (controls refuse anything else); huge ones saturate
    // instead of overflowing the conversion.
    return static_cast<MilInt>(std::clamp(value, -9.2e18, 9.2e18));
}

}  // namespace

SimDigitizer::SimDigitizer(MilId systemId, int deviceNumber, const DigitizerConfig& config,
                           const SensorFormat& sensor)
    : systemId_(systemId),
      deviceNumber_(deviceNumber),
      config_(config),
      sensor_(sensor),
      playback_(config.playback.empty()
                    ? nullptr
                    : std::make_unique<SimPlayback>(config.playback, sensor.width, sensor.height,
                                                    sensor.bits)),
      trigger_(config.triggerPeriodMs, config.triggerTimeoutMs) {
    const double width = config.sizeZero ? 0 : sensor.width;
    const double height = config.sizeZero ? 0 : sensor.height;
    state_ = {
        {M_SOURCE_SIZE_X, width},
        {M_SOURCE_SIZE_Y, height},
        {M_SOURCE_OFFSET_X, 0},
        {M_SOURCE_OFFSET_Y, 0},
        {M_GRAB_DIRECTION_X, M_DIRECTION_FORWARD},
        {M_GRAB_DIRECTION_Y, M_DIRECTION_FORWARD},
        {M_GRAB_MODE_4016, 0},
        {M_GAIN, 0},
        {M_GRAB_TRIGGER_SOURCE, 16},
        {M_GRAB_TRIGGER_MODE, 13},
        {M_GRAB_TRIGGER, M_DISABLE},
        {M_STROBE_TIMER_STATE, M_DISABLE},
        {M_STROBE_HIDRIVE, M_DISABLE},
        {M_LIGHTING_BRIGHT_FIELD, 255},
        {M_EXPOSURE_TIME, 10000},
        {M_EXPOSURE_DELAY, 0},
        {M_STROBE_TIME, 0},
        {M_STROBE_DELAY, 0},
        {M_STROBE_HIDRIVE_TIME, 0},
    };
}

bool SimDigitizer::Control(MilInt type, double value, SimFailure& failure) {
    if (config_.failControl.count(type) != 0) {
        failure =
            MakeFailure(kErrorDevice, "MdigControl: control type %lld failed (simulated fault)",
                        static_cast<long long>(type));
        return false;
    }
    if (!std::isfinite(value)) {
        failure = MakeFailure(kErrorInvalidArgument, "MdigControl: type %lld: value not finite",
                              static_cast<long long>(type));
        return false;
    }
    bool valid = true;
    if (type == M_SIZE_X || type == M_SIZE_Y) {
        failure = MakeFailure(kErrorInvalidArgument, "MdigControl: type %lld is read-only",
                              static_cast<long long>(type));
        return false;
    } else if (IsRealValued(type)) {
        valid = value >= 0 && value <= kTimeLimit;
    } else if (type == M_GAIN) {
        valid = value >= 0 && value <= kGainMax;
    } else if (type == M_SOURCE_OFFSET_X || type == M_SOURCE_OFFSET_Y || type == M_SOURCE_SIZE_X ||
               type == M_SOURCE_SIZE_Y) {
        valid = value >= 0 && value <= 65535;
    } else if (type == M_GRAB_DIRECTION_X || type == M_GRAB_DIRECTION_Y) {
        valid = value == M_DIRECTION_FORWARD || value == M_DIRECTION_REVERSE;
    } else if (type == M_GRAB_TRIGGER) {
        valid = value == M_ENABLE || value == M_DISABLE || value == kSoftwareTrigger;
    }
    if (!valid) {
        failure = MakeFailure(kErrorInvalidArgument, "MdigControl: value %g invalid for type %lld",
                              value, static_cast<long long>(type));
        return false;
    }

    std::lock_guard lock(mutex_);
    lastSent_[type] = value;
    // A software trigger is an event, not a state: the trigger stays as set.
    if (!(type == M_GRAB_TRIGGER && value == kSoftwareTrigger)) {
        state_[type] = value;
    }
    if (type == M_GRAB_TRIGGER) {
        if (value == kSoftwareTrigger) {
            trigger_.Software();
        } else {
            trigger_.Switch(value == M_ENABLE, Clock::now());
        }
        wake_.notify_all();
    }
    return true;
}

bool SimDigitizer::Lookup(MilInt type, double& value) const {
    if (type == M_SIZE_X || type == M_SIZE_Y) {
        value = config_.sizeZero ? 0 : (type == M_SIZE_X ? sensor_.width : sensor_.height);
        return true;
    }
    for (MilInt offset : {M_MIN_VALUE, M_MAX_VALUE}) {
        if (type > offset && HasLimits(type - offset)) {
            value = offset == M_MIN_VALUE ? 0 : UpperLimit(type - offset);
            return true;
        }
    }
    std::lock_guard lock(mutex_);
    const auto found = state_.find(type);
    if (found == state_.end()) {
        return false;
    }
    value = found->second;
    return true;
}

bool SimDigitizer::IsRealType(MilInt type) const {
    return IsRealValued(type) || IsRealValued(type - M_MIN_VALUE) ||
           IsRealValued(type - M_MAX_VALUE);
}

bool SimDigitizer::Inquire(MilInt type, void* out, MilInt& answer, SimFailure& failure) {
    // A faulty type fails together with its limits.
    const bool faulty =
        config_.failInquire.count(type) != 0 ||
        (HasLimits(type - M_MIN_VALUE) && config_.failInquire.count(type - M_MIN_VALUE) != 0) ||
        (HasLimits(type - M_MAX_VALUE) && config_.failInquire.count(type - M_MAX_VALUE) != 0);
    if (faulty) {
        failure =
            MakeFailure(kErrorDevice, "MdigInquire: inquire type %lld failed (simulated fault)",
                        static_cast<long long>(type));
        return false;
    }
    double value = 0;
    if (!Lookup(type, value)) {
        failure = MakeFailure(kErrorInvalidArgument, "MdigInquire: inquire type %lld not supported",
                              static_cast<long long>(type));
        return false;
    }
    answer = ToMilInt(value);
    if (out != nullptr) {
        if (IsRealType(type)) {
            *static_cast<double*>(out) = value;
        } else {
            *static_cast<abi::Int*>(out) = static_cast<abi::Int>(answer);
        }
    }
    return true;
}

void SimDigitizer::ResetLut() {
    std::lock_guard lock(mutex_);
    ++lutResets_;
}

FrameView SimDigitizer::ViewOf(long long frame) const {
    FrameView view;
    view.sensorWidth = sensor_.width;
    view.sensorHeight = sensor_.height;
    view.sensorBits = sensor_.bits;
    view.offsetX = ToMilInt(state_.at(M_SOURCE_OFFSET_X));
    view.offsetY = ToMilInt(state_.at(M_SOURCE_OFFSET_Y));
    view.mirrorX = state_.at(M_GRAB_DIRECTION_X) == M_DIRECTION_REVERSE;
    view.mirrorY = state_.at(M_GRAB_DIRECTION_Y) == M_DIRECTION_REVERSE;
    view.frame = frame;
    view.noise = config_.noise;
    return view;
}

std::shared_ptr<const RampTables> SimDigitizer::RampFor(int bufferBits) {
    std::shared_ptr<const RampTables>& tables = ramp_[bufferBits == 16 ? 1 : 0];
    if (!tables) {
        tables = MakeRampTables(sensor_.bits, bufferBits);
    }
    return tables;
}

SimDigitizer::Clock::time_point SimDigitizer::StopReaches() const {
    // A hanging grab notices the stop only this much later.
    return stopTime_ + std::chrono::milliseconds(config_.hangGrabMs);
}

SimDigitizer::TriggerWait SimDigitizer::WaitTrigger(std::unique_lock<std::mutex>& lock) {
    ++triggerWaits_;
    const auto armed = Clock::now();
    const auto hardware = trigger_.NextHardware(armed);
    const auto giveUp = trigger_.GiveUp(armed);
    for (;;) {
        // Switching the trigger off releases a waiting grab as well.
        if (!trigger_.On() || trigger_.TakeSoftware()) {
            return TriggerWait::Triggered;
        }
        const auto now = Clock::now();
        auto wakeAt = std::min(hardware, giveUp);
        if (stopRequested_) {
            const auto stopAt = StopReaches();
            if (now >= stopAt) {
                return TriggerWait::Stopped;
            }
            wakeAt = std::min(wakeAt, stopAt);
        }
        if (now >= hardware) {
            return TriggerWait::Triggered;
        }
        if (now >= giveUp) {
            return TriggerWait::TimedOut;
        }
        // Without any time to wake at, only a notification ends the wait
        // (waiting until the clock's maximum would overflow the conversion).
        if (wakeAt == Clock::time_point::max()) {
            wake_.wait(lock);
        } else {
            wake_.wait_until(lock, wakeAt);
        }
    }
}

bool SimDigitizer::WaitFrame(std::unique_lock<std::mutex>& lock, long long frame) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(JitteredFrameTimeMs(
                                             config_.noise, config_.frameTimeMs, frame));
    for (;;) {
        const auto now = Clock::now();
        if (stopRequested_) {
            const auto stopAt = StopReaches();
            if (now >= stopAt) {
                return false;
            }
            if (now >= deadline) {
                return true;
            }
            wake_.wait_until(lock, std::min(deadline, stopAt));
            continue;
        }
        if (now >= deadline) {
            return true;
        }
        wake_.wait_until(lock, deadline);
    }
}

bool SimDigitizer::Grab(const std::vector<std::shared_ptr<SimBuffer>>& buffers,
                        SimFailure& failure) {
    std::unique_lock lock(mutex_);
    if (grabbing_) {
        failure = MakeFailure(kErrorDevice, "MdigProcess: a grab is already running on device %d",
                              deviceNumber_);
        return false;
    }
    // Only a stop that arrives while this grab runs ends it: one that came
    // while the digitizer was idle has nothing to stop.
    grabbing_ = true;
    stopRequested_ = false;
    bool ok = true;
    for (const auto& buffer : buffers) {
        // A frame that never started uses up no frame number.
        const TriggerWait trigger = trigger_.On() ? WaitTrigger(lock) : TriggerWait::Triggered;
        if (trigger == TriggerWait::Stopped) {
            failure = MakeFailure(kErrorStopped,
                                  "MdigProcess: grab stopped while waiting for a trigger for frame "
                                  "%lld",
                                  grabCount_ + 1);
            ok = false;
            break;
        }
        if (trigger == TriggerWait::TimedOut) {
            failure = MakeFailure(kErrorDevice,
                                  "MdigProcess: grab time-out: no trigger within %d ms for frame "
                                  "%lld",
                                  trigger_.TimeoutMs(), grabCount_ + 1);
            ok = false;
            break;
        }
        const long long frame = ++grabCount_;
        if (!WaitFrame(lock, frame)) {
            failure = MakeFailure(
                kErrorStopped, "MdigProcess: grab stopped before frame %lld was complete", frame);
            ok = false;
            break;
        }
        if (config_.failGrabEvery > 0 && frame % config_.failGrabEvery == 0) {
            failure = MakeFailure(kErrorDevice,
                                  "MdigProcess: grab of frame %lld failed (simulated "
                                  "fault)",
                                  frame);
            ok = false;
            break;
        }
        FrameView view = ViewOf(frame);
        if (!playback_) {
            view.ramp = RampFor(buffer->Bits());
        }
        lock.unlock();
        if (playback_) {
            view.image = playback_->ImageFor(frame);
        }
        buffer->Render(view);
        lock.lock();
    }
    grabbing_ = false;
    stopRequested_ = false;
    return ok;
}

void SimDigitizer::Stop() {
    std::lock_guard lock(mutex_);
    if (grabbing_ && !stopRequested_) {
        stopRequested_ = true;
        stopTime_ = Clock::now();
        wake_.notify_all();
    }
}

long long SimDigitizer::GrabCount() const {
    std::lock_guard lock(mutex_);
    return grabCount_;
}

long long SimDigitizer::TriggerWaitCount() const {
    std::lock_guard lock(mutex_);
    return triggerWaits_;
}

int SimDigitizer::LutResetCount() const {
    std::lock_guard lock(mutex_);
    return lutResets_;
}

bool SimDigitizer::LastControl(MilInt type, double& value) const {
    std::lock_guard lock(mutex_);
    const auto found = lastSent_.find(type);
    if (found == lastSent_.end()) {
        return false;
    }
    value = found->second;
    return true;
}

}  // namespace korvane::mil::sim

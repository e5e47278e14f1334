#pragma once
// One simulated camera input: the values its controls hold, what its
// inquiries answer and its grabs. Controls and inquiries may come from any
// thread while a grab runs on another; a stop request from a third thread
// ends a running grab.
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "mil/MilApi.h"
#include "mil/sim/SimBuffer.h"
#include "mil/sim/SimConfig.h"
#include "mil/sim/SimDcf.h"
#include "mil/sim/SimFailure.h"
#include "mil/sim/SimPlayback.h"
#include "mil/sim/SimTrigger.h"

namespace korvane::mil::sim {

class SimDigitizer {
  public:
    SimDigitizer(MilId systemId, int deviceNumber, const DigitizerConfig& config,
                 const SensorFormat& sensor);

    MilId SystemId() const { return systemId_; }
    int DeviceNumber() const { return deviceNumber_; }

    bool Control(MilInt type, double value, SimFailure& failure);
    // The answer as an integer; out (when not null) receives it as a double
    // for the real-valued types and their limits, else as an abi::Int.
    bool Inquire(MilInt type, void* out, MilInt& answer, SimFailure& failure);
    void ResetLut();

    // Grabs one frame into each buffer in turn. Refused while another grab
    // of this digitizer runs; fails when stopped before the last frame was
    // complete or when the configured fault hits.
    bool Grab(const std::vector<std::shared_ptr<SimBuffer>>& buffers, SimFailure& failure);
    // Ends a running grab; without one it does nothing at all.
    void Stop();

    // For tests.
    long long GrabCount() const;
    // How many times a grab started waiting for a trigger.
    long long TriggerWaitCount() const;
    int LutResetCount() const;
    bool LastControl(MilInt type, double& value) const;

  private:
    using Clock = std::chrono::steady_clock;

    enum class TriggerWait { Triggered, TimedOut, Stopped };

    // True when the frame time passed; false when a stop ended the wait.
    bool WaitFrame(std::unique_lock<std::mutex>& lock, long long frame);
    // Waits for the trigger that starts the next frame (none while the
    // trigger is off).
    TriggerWait WaitTrigger(std::unique_lock<std::mutex>& lock);
    // When a stop request reaches the running grab (it was sent).
    Clock::time_point StopReaches() const;
    FrameView ViewOf(long long frame) const;
    // The ramp's tables for a buffer of this depth, kept from the first
    // frame on so that no frame builds them again. Called under mutex_.
    std::shared_ptr<const RampTables> RampFor(int bufferBits);
    bool IsRealType(MilInt type) const;
    bool Lookup(MilInt type, double& value) const;

    const MilId systemId_;
    const int deviceNumber_;
    const DigitizerConfig config_;
    const SensorFormat sensor_;
    const std::unique_ptr<SimPlayback> playback_;  // null: the ramp

    mutable std::mutex mutex_;
    std::condition_variable wake_;       // a stop request, a trigger or the trigger switched
    std::map<MilInt, double> state_;     // what the inquiries answer
    std::map<MilInt, double> lastSent_;  // the last accepted value of each control
    long long grabCount_ = 0;
    std::shared_ptr<const RampTables> ramp_[2];  // for 8- and 16-bit buffers
    long long triggerWaits_ = 0;
    SimTrigger trigger_;
    int lutResets_ = 0;
    bool grabbing_ = false;
    bool stopRequested_ = false;
    Clock::time_point stopTime_;
};

}  // namespace korvane::mil::sim

// Triggered grabs of the simulated library: software triggers, the
// periodic hardware trigger, the time-out and a stop while a grab waits.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "mil/sim/SimTrigger.h"
#include "tests/mil/SimTestSupport.h"

namespace korvane::test {
namespace {

using namespace mil;
using namespace std::chrono_literals;
using mil::sim::SimTrigger;

TEST(SimTriggerClock, HardwareTicksFollowTheSwitchOnTime) {
    SimTrigger trigger(10, 0);
    const auto t0 = SimTrigger::Clock::now();
    trigger.Switch(true, t0);
    // Ticks at t0 + 10 ms, + 20 ms, ...: a grab armed anywhere in between
    // gets the next one, so back-to-back grabs miss none.
    EXPECT_EQ(trigger.NextHardware(t0), t0 + 10ms);
    EXPECT_EQ(trigger.NextHardware(t0 + 1ns), t0 + 10ms);
    EXPECT_EQ(trigger.NextHardware(t0 + 10ms), t0 + 10ms);
    EXPECT_EQ(trigger.NextHardware(t0 + 10ms + 1ns), t0 + 20ms);
    EXPECT_EQ(trigger.NextHardware(t0 + 95ms), t0 + 100ms);
    // Switching again restarts the clock.
    trigger.Switch(true, t0 + 3ms);
    EXPECT_EQ(trigger.NextHardware(t0 + 5ms), t0 + 13ms);

    EXPECT_EQ(SimTrigger(0, 0).NextHardware(t0), SimTrigger::Clock::time_point::max());
    EXPECT_EQ(SimTrigger(0, 0).GiveUp(t0), SimTrigger::Clock::time_point::max());
    EXPECT_EQ(SimTrigger(0, 250).GiveUp(t0), t0 + 250ms);
}

TEST(SimTriggerClock, SoftwareTriggersAreKeptOnceWhileOn) {
    SimTrigger trigger(0, 0);
    trigger.Software();  // off: nothing to keep
    EXPECT_FALSE(trigger.TakeSoftware());
    trigger.Switch(true, SimTrigger::Clock::now());
    trigger.Software();
    trigger.Software();
    EXPECT_TRUE(trigger.TakeSoftware());
    EXPECT_FALSE(trigger.TakeSoftware()) << "two triggers while idle release one frame";
    trigger.Software();
    trigger.Switch(true, SimTrigger::Clock::now());
    EXPECT_FALSE(trigger.TakeSoftware()) << "switching drops a kept trigger";
}

struct GrabResult {
    bool failed = false;
    std::string text;
};

// A grab of a sequence on its own thread, as the camera's grab thread runs it.
class GrabThread {
  public:
    GrabThread(const MilApi& api, MilId dig, std::vector<MilId> buffers)
        : buffers_(std::move(buffers)), thread_([this, &api, dig] {
              api.MdigProcess(dig, buffers_.data(), static_cast<MilInt>(buffers_.size()),
                              M_SEQUENCE, M_SYNCHRONOUS, nullptr, nullptr);
              char text[kErrorTextSize] = {};
              result_.failed = api.MappGetError(M_MESSAGE_CURRENT, text) != 0;
              result_.text = text;
          }) {}
    ~GrabThread() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    GrabResult Join() {
        thread_.join();
        return result_;
    }

  private:
    std::vector<MilId> buffers_;
    GrabResult result_;
    std::thread thread_;
};

class SimTriggered : public SimTest {
  protected:
    // One camera of 16 x 4 pixels with the trigger switched on.
    MilId Camera(const std::string& extra) {
        UseConfig("[System0]\nDigitizers=1\n[System0.Digitizer0]\nWidth=16\nHeight=4\n" + extra);
        App();
        sys_ = System();
        const MilId dig = Digitizer(sys_);
        EXPECT_NE(dig, 0) << ErrorText();
        api().MdigControl(dig, M_GRAB_TRIGGER, M_ENABLE);
        EXPECT_FALSE(Failed()) << ErrorText();
        return dig;
    }
    // Until the digitizer's n-th trigger wait began; a test that never gets
    // there fails after a few seconds instead of hanging.
    static bool WaitForTriggerWait(MilId dig, long long n) {
        for (int i = 0; i < 5000; ++i) {
            if (sim::TriggerWaitCount(dig) >= n) {
                return true;
            }
            std::this_thread::sleep_for(1ms);
        }
        return false;
    }
    void SoftwareTrigger(MilId dig) {
        api().MdigControl(dig, M_GRAB_TRIGGER, 1);
        EXPECT_FALSE(Failed()) << ErrorText();
    }

    MilId sys_ = 0;
};

TEST_F(SimTriggered, ASoftwareTriggerReleasesExactlyOneFrame) {
    const MilId dig = Camera("TriggerTimeoutMs=200\n");
    const MilId a = Buffer(sys_, 16, 4);
    const MilId b = Buffer(sys_, 16, 4);
    {
        GrabThread grab(api(), dig, {a});
        ASSERT_TRUE(WaitForTriggerWait(dig, 1));
        EXPECT_EQ(sim::FrameCount(dig), 0) << "no frame before the trigger";
        SoftwareTrigger(dig);
        const GrabResult result = grab.Join();
        EXPECT_FALSE(result.failed) << result.text;
    }
    EXPECT_EQ(sim::FrameCount(dig), 1);
    EXPECT_EQ(Row8(a, 2, 16)[5], Ramp8(5, 2, 1));

    // A sequence of two on one trigger: the first frame comes, the second
    // waits in vain.
    {
        GrabThread grab(api(), dig, {a, b});
        ASSERT_TRUE(WaitForTriggerWait(dig, 2));
        SoftwareTrigger(dig);
        const GrabResult result = grab.Join();
        EXPECT_TRUE(result.failed);
        EXPECT_NE(result.text.find("no trigger within 200 ms for frame 3"), std::string::npos)
            << result.text;
    }
    EXPECT_EQ(sim::FrameCount(dig), 2);
    EXPECT_EQ(Row8(a, 0, 16)[0], Ramp8(0, 0, 2));

    // Triggers sent before the grab are kept as one.
    SoftwareTrigger(dig);
    SoftwareTrigger(dig);
    api().MdigProcess(dig, std::vector<MilId>{a, b}.data(), 2, M_SEQUENCE, M_SYNCHRONOUS, nullptr,
                      nullptr);
    EXPECT_TRUE(Failed());
    EXPECT_EQ(sim::FrameCount(dig), 3);
    EXPECT_EQ(Row8(a, 1, 16)[3], Ramp8(3, 1, 3));
}

TEST_F(SimTriggered, AMissedTriggerFailsTheGrabAndTheNextOneWorks) {
    const MilId dig = Camera("TriggerTimeoutMs=50\n");
    const MilId buf = Buffer(sys_, 16, 4);
    const auto before = Row8(buf, 0, 16);
    EXPECT_FALSE(Grab(dig, buf));
    EXPECT_EQ(ErrorText(), "MdigProcess: grab time-out: no trigger within 50 ms for frame 1");
    EXPECT_EQ(sim::FrameCount(dig), 0) << "a frame that never started uses no number";
    EXPECT_EQ(Row8(buf, 0, 16), before) << "the buffer keeps its content";

    SoftwareTrigger(dig);
    ASSERT_TRUE(Grab(dig, buf)) << ErrorText();
    EXPECT_EQ(Row8(buf, 3, 16)[15], Ramp8(15, 3, 1));

    // Switched off, grabs do not wait at all (no time-out even without a
    // trigger).
    api().MdigControl(dig, M_GRAB_TRIGGER, M_DISABLE);
    const long long waits = sim::TriggerWaitCount(dig);
    ASSERT_TRUE(Grab(dig, buf)) << ErrorText();
    EXPECT_EQ(sim::TriggerWaitCount(dig), waits);
    EXPECT_EQ(Row8(buf, 0, 16)[0], Ramp8(0, 0, 2));
}

TEST_F(SimTriggered, StopEndsAGrabWaitingForATrigger) {
    // A time-out far beyond the test: only the stop can end the wait in
    // time for the message checked below.
    const MilId dig = Camera("TriggerTimeoutMs=60000\n");
    const MilId buf = Buffer(sys_, 16, 4);
    GrabThread grab(api(), dig, {buf});
    ASSERT_TRUE(WaitForTriggerWait(dig, 1));
    MilId stopped = buf;
    api().MdigProcess(dig, &stopped, 1, M_STOP, M_SYNCHRONOUS, nullptr, nullptr);
    const GrabResult result = grab.Join();
    EXPECT_TRUE(result.failed);
    EXPECT_EQ(result.text, "MdigProcess: grab stopped while waiting for a trigger for frame 1");
    EXPECT_EQ(sim::FrameCount(dig), 0);

    // The stop is used up: the next grab waits for its own trigger again.
    GrabThread next(api(), dig, {buf});
    ASSERT_TRUE(WaitForTriggerWait(dig, 2));
    SoftwareTrigger(dig);
    const GrabResult second = next.Join();
    EXPECT_FALSE(second.failed) << second.text;
}

TEST_F(SimTriggered, ThePeriodicTriggerPacesBackToBackGrabs) {
    // Taken before the trigger is switched on (with the camera), which
    // starts its clock: the ticks cannot come sooner after this.
    const auto start = std::chrono::steady_clock::now();
    const MilId dig = Camera("TriggerPeriodMs=15\nTriggerTimeoutMs=5000\n");
    const MilId buf = Buffer(sys_, 16, 4);
    constexpr int kFrames = 8;
    for (int n = 1; n <= kFrames; ++n) {
        ASSERT_TRUE(Grab(dig, buf)) << ErrorText();
        EXPECT_EQ(Row8(buf, 1, 16)[1], Ramp8(1, 1, n));
    }
    // Each frame waited for a tick of its own: eight frames cannot come
    // sooner than eight periods after the trigger was switched on (0.06 ms
    // short of that was seen when the clock was read after the switch).
    EXPECT_GE(std::chrono::steady_clock::now() - start, kFrames * 15ms);
    EXPECT_EQ(sim::TriggerWaitCount(dig), kFrames);
}

}  // namespace
}  // namespace korvane::test

// A triggered simulated camera through the driver's exports: UseTrigger in
// the camera's settings, the SoftwareTrigger property, a missed trigger
// logged as a failed grab, and close while a grab waits for its trigger.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/GrabWaiter.h"
#include "tests/support/HostFixture.h"

namespace korvane::test {
namespace {

using namespace std::chrono_literals;

class TriggeredCamera : public HostTest {
  protected:
    void Open(const std::string& digitizerExtra) {
        UseSimulator("[System0]\nDigitizers=1\n[System0.Digitizer0]\nWidth=64\nHeight=8\n" +
                     digitizerExtra);
        WriteIni("[Camera 1]\nLogLevel=4\nUseTrigger=1\n");
        ASSERT_EQ(Initialize(), 1);
        OpenCamera("Camera 1", 3);
        ASSERT_EQ(d().setCompleteCallback(0, 3, &GrabWaiter::Callback), 1);
    }
    // Until the log holds the fragment; false after a few seconds.
    bool WaitForLog(const std::string& fragment) {
        for (int i = 0; i < 5000; ++i) {
            if (log_.Contains(fragment)) {
                return true;
            }
            std::this_thread::sleep_for(1ms);
        }
        return false;
    }
    GrabWaiter waiter_;
};

TEST_F(TriggeredCamera, MissedTriggerFailsTheGrabAndASoftwareTriggerReleasesTheNext) {
    Open("TriggerTimeoutMs=100\n");
    ASSERT_EQ(d().doXELGrab(0, 3), 1);
    ASSERT_TRUE(WaitForLog("grab failed, "));
    EXPECT_TRUE(log_.Contains("no trigger within 100 ms for frame 1"));
    EXPECT_EQ(waiter_.Count(), 0u);

    // The camera is idle again and takes the next grab. The grab thread
    // logs its failure just before it marks the grab as ended, so a grab
    // asked for at once may still find it busy: ask until it is taken.
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    int taken = 0;
    while ((taken = d().doXELGrab(0, 3)) != 1 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_EQ(taken, 1);
    ASSERT_EQ(d().setProperty(0, 3, "SoftwareTrigger", 1), 1);
    ASSERT_TRUE(waiter_.WaitFor(1));
    // Frame 1 of the ramp: (x + 2y + 3) mod 256.
    const auto row = Row(3, 2, 0, 63);
    ASSERT_EQ(row.size(), 64u);
    EXPECT_EQ(row[10], 10 + 2 * 2 + 3);
}

TEST_F(TriggeredCamera, CloseEndsAGrabWaitingForItsTrigger) {
    Open("TriggerTimeoutMs=60000\n");
    ASSERT_EQ(d().doXELGrab(0, 3), 1);
    ASSERT_TRUE(WaitForLog("grabbing starts in synch mode on port=3"));
    // The grab thread logs just before it calls the library; give it the
    // moment to get there.
    std::this_thread::sleep_for(50ms);
    d().closeXELPort(0, 3);
    EXPECT_TRUE(log_.Contains("grab stopped while waiting for a trigger for frame 1"));
    EXPECT_FALSE(log_.Contains("did not end within"));
    EXPECT_EQ(waiter_.Count(), 0u);
}

}  // namespace
}  // namespace korvane::test

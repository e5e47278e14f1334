// Grabbing through the exports: callbacks, refusals, continuous mode,
// library failures and closing while frames are on their way.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/support/GrabWaiter.h"
#include "tests/support/HostFixture.h"

namespace korvane::test {
namespace {

using namespace std::chrono_literals;

class GrabTest : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        RaiseLogLevel();
    }
    void Open(const std::string& digitizerExtra = "", int frameTimeMs = 0) {
        std::string extra = digitizerExtra;
        UseSimulator(
            "[System0]\nDescriptor=M_SYSTEM_SOLIOS\nDigitizers=1\n[System0.Digitizer0]\nWidth="
            "64\nHeight=8\nFrameTimeMs=" +
            std::to_string(frameTimeMs) + "\n" + extra);
        ASSERT_EQ(Initialize(), 1);
        OpenCamera("Camera 1", 3);
        ASSERT_EQ(d().setCompleteCallback(0, 3, &GrabWaiter::Callback), 1);
    }
    GrabWaiter waiter_;
};

TEST_F(GrabTest, OneGrabOneCallback) {
    Open();
    EXPECT_TRUE(log_.Contains("setCompleteCallback: grabberNo=0   portNo=3\n"));
    ASSERT_EQ(d().doXELGrab(0, 3), 1);
    ASSERT_TRUE(waiter_.WaitFor(1));
    std::this_thread::sleep_for(50ms);
    const auto calls = waiter_.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].grabber, 0);
    EXPECT_EQ(calls[0].port, 3);
    EXPECT_TRUE(log_.Contains("doXELGrab: grabberNo=0 portNo=3\n"));
    EXPECT_TRUE(log_.Contains("MilDigitizer::Grab: port=3\n"));
    EXPECT_TRUE(log_.Contains("GrabThread::ThreadMain: grabbing starts in synch mode on port=3\n"));
    EXPECT_TRUE(log_.Contains("GrabThread::ThreadMain: grabbing completed on port=3\n"));
}

TEST_F(GrabTest, SecondGrabWhilePendingIsRefused) {
    Open("", 200);
    ASSERT_EQ(d().doXELGrab(0, 3), 1);
    EXPECT_EQ(d().doXELGrab(0, 3), 0);
    EXPECT_TRUE(
        log_.Contains("MilDigitizer::Grab: WARNING: grab ignored, since another grab is in "
                      "progress on port=3\n"));
    ASSERT_TRUE(waiter_.WaitFor(1));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(waiter_.Count(), 1u) << "the first grab calls back once";
    EXPECT_EQ(d().doXELGrab(0, 3), 1) << "idle again after the callback";
    EXPECT_TRUE(waiter_.WaitFor(2));
}

TEST_F(GrabTest, GrabFromInsideTheCallbackIsAccepted) {
    Open();
    std::atomic<int> accepted{0};
    waiter_.OnCall([&](int port) {
        if (accepted.load() < 3) {
            accepted += d().doXELGrab(0, port);
        }
    });
    ASSERT_EQ(d().doXELGrab(0, 3), 1);
    EXPECT_TRUE(waiter_.WaitFor(4));
    EXPECT_EQ(accepted.load(), 3);
}

TEST_F(GrabTest, ContinuousModeGrabsBackToBackAfterTheNextGrab) {
    Open("", 5);
    // Let the grab thread reach its wait before the mode changes.
    for (int i = 0; i < 500 && !log_.Contains("GrabThread::ThreadMain: entering"); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    std::this_thread::sleep_for(100ms);
    int mode = -1;
    ASSERT_EQ(d().setProperty(0, 3, "Continuous", 1), 1);
    EXPECT_TRUE(log_.Contains("MilDigitizer::SetContinuousGrab: entering, mode=on\n"));
    EXPECT_EQ(d().getProperty(0, 3, "CONTINOUS", &mode), 1);
    EXPECT_EQ(mode, 1);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(waiter_.Count(), 0u) << "switching the mode on does not wake the thread";
    ASSERT_EQ(d().doXELGrab(0, 3), 1);
    EXPECT_TRUE(waiter_.WaitFor(10)) << "frames follow without further requests";
    ASSERT_EQ(d().setProperty(0, 3, "continuous", 1), 1);
    EXPECT_TRUE(log_.Contains(
        "MilDigitizer::SetContinuousGrab has no effect -- the same mode is already active\n"));
    ASSERT_EQ(d().setProperty(0, 3, "continous", 0), 1);
    std::this_thread::sleep_for(100ms);
    const std::size_t settled = waiter_.Count();
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(waiter_.Count(), settled) << "no frames once the mode is off";
}

TEST_F(GrabTest, PendingWakeAfterContinuousStartsOneMoreGrab) {
    Open("", 20);
    ASSERT_EQ(d().setProperty(0, 3, "continuous", 1), 1);
    ASSERT_EQ(d().doXELGrab(0, 3), 1);
    ASSERT_TRUE(waiter_.WaitFor(2));
    // A grab requested during continuous mode leaves its wake signal behind.
    while (d().doXELGrab(0, 3) != 1) {
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_EQ(d().setProperty(0, 3, "continuous", 0), 1);
    std::this_thread::sleep_for(200ms);
    const std::size_t settled = waiter_.Count();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(waiter_.Count(), settled);
    EXPECT_EQ(d().doXELGrab(0, 3), 1) << "the camera is idle and accepts a grab";
    EXPECT_TRUE(waiter_.WaitFor(settled + 1));
}

TEST_F(GrabTest, FailedLibraryGrabLeavesTheCameraIdle) {
    Open("FailGrabEvery=2\n");
    ASSERT_EQ(d().doXELGrab(0, 3), 1);
    ASSERT_TRUE(waiter_.WaitFor(1));
    ASSERT_EQ(d().doXELGrab(0, 3), 1);
    // The second grab fails in the library: no callback, the camera idles.
    bool accepted = false;
    for (int i = 0; i < 200 && !accepted; ++i) {
        std::this_thread::sleep_for(5ms);
        accepted = log_.Contains(
                       "GrabThread::Grab_MdigProcess: ERROR: grab failed, MIL Error message:'") &&
                   d().doXELGrab(0, 3) == 1;
    }
    EXPECT_TRUE(accepted);
    EXPECT_TRUE(waiter_.WaitFor(2));
    EXPECT_EQ(waiter_.Count(), 2u);
}

TEST_F(GrabTest, CallbackSurvivesCloseAndReopen) {
    Open();
    d().closeXELPort(0, 3);
    OpenCamera("Camera 1", 3);
    ASSERT_EQ(d().doXELGrab(0, 3), 1);
    EXPECT_TRUE(waiter_.WaitFor(1));
    log_.Clear();
    ASSERT_EQ(d().setCompleteCallback(0, 3, &GrabWaiter::Callback), 1);
    EXPECT_TRUE(log_.Contains(
        "MilCamera::SetCompleteCB: CB was already assigned. The new CB is the same function. \n"));
    ASSERT_EQ(d().setCompleteCallback(0, 3, nullptr), 1);
    EXPECT_TRUE(log_.Contains(
        "MilCamera::SetCompleteCB: CB was already assigned. Resetting CB to null. \n"));
    ASSERT_EQ(d().setCompleteCallback(0, 3, nullptr), 1);
    EXPECT_TRUE(log_.Contains("MilCamera::SetCompleteCB: Resetting CB to null. \n"));
}

TEST_F(GrabTest, CloseDuringGrabAndContinuousNeverCallsBackAfterwards) {
    Open("", 30);
    ASSERT_EQ(d().doXELGrab(0, 3), 1);
    d().closeXELPort(0, 3);
    const std::size_t afterClose = waiter_.Count();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(waiter_.Count(), afterClose);
    EXPECT_TRUE(log_.Contains("GrabThread::Destroy: thread closed on port=3\n"));

    OpenCamera("Camera 1", 3);
    ASSERT_EQ(d().setProperty(0, 3, "continuous", 1), 1);
    ASSERT_EQ(d().doXELGrab(0, 3), 1);
    ASSERT_TRUE(waiter_.WaitFor(afterClose + 2));
    d().closeXELPort(0, 3);
    const std::size_t stopped = waiter_.Count();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(waiter_.Count(), stopped);
}

TEST_F(GrabTest, HangingGrabOutlastsTheJoinWithoutHarm) {
    // The grab ignores the stop request for 3.6 s, past the 3 s join.
    Open("HangGrabMs=3600\n", 5000);
    ASSERT_EQ(d().doXELGrab(0, 3), 1);
    // The stop must find the grab running: one that comes before the grab
    // thread woke (a loaded machine) ends the thread at once.
    for (int i = 0; i < 1000 && !log_.Contains("grabbing starts in synch mode on port=3"); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    std::this_thread::sleep_for(50ms);
    d().closeXELPort(0, 3);
    EXPECT_TRUE(
        log_.Contains("GrabThread::Destroy: WARNING: thread did not end within 3000 ms on port=3"));
    // The camera opens and serves rows again while the old thread hangs.
    OpenCamera("Camera 1", 3);
    EXPECT_EQ(Row(3, 0, 0, 63).size(), 64u);
    d().closeXELPort(0, 3);
    EXPECT_EQ(d().finalize(), 1);
    // Let the old thread come back after everything it knew was freed.
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(waiter_.Count(), 0u) << "an abandoned grab never calls back";
}

TEST_F(GrabTest, GrabRequestedRightBeforeCloseDoesNotLeaveTheCameraBusy) {
    Open("", 30);
    for (int round = 0; round < 200; ++round) {
        ASSERT_EQ(d().doXELGrab(0, 3), 1) << "round " << round;
        d().closeXELPort(0, 3);  // often before the grab thread even woke
        OpenCamera("Camera 1", 3);
    }
}

TEST_F(GrabTest, RefusalsWhenNotOpen) {
    Open();
    d().closeXELPort(0, 3);
    EXPECT_EQ(d().doXELGrab(0, -1), 0);
    EXPECT_TRUE(log_.Contains("MilDigitizer::Grab: ERROR: camera not opened, on port=-1\n"));
}

}  // namespace
}  // namespace korvane::test

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/mil/SimTestSupport.h"

namespace korvane::test {
namespace {

using SimGrab = SimTest;
using namespace mil;

// Waits (without a time limit: a broken simulator hangs the test rather
// than passing it) until the digitizer has started its n-th grab.
void WaitForGrab(MilId dig, long long n) {
    while (sim::FrameCount(dig) < n) {
        std::this_thread::yield();
    }
}

struct GrabResult {
    bool failed = false;
    std::string text;
};

// Runs one grab on a thread of its own, as the camera's grab thread does.
class GrabThread {
  public:
    GrabThread(const MilApi& api, MilId dig, MilId buf)
        : thread_([this, &api, dig, buf] {
              MilId buffer = buf;
              api.MdigProcess(dig, &buffer, 1, M_SEQUENCE, M_SYNCHRONOUS, nullptr, nullptr);
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
    GrabResult result_;
    std::thread thread_;
};

TEST_F(SimGrab, EachDigitizerCountsItsOwnFrames) {
    App();
    const MilId sys = System();
    const MilId dig0 = Digitizer(sys, 0);
    const MilId dig1 = Digitizer(sys, 1);
    const MilId buf = Buffer(sys, 8, 2);
    EXPECT_EQ(sim::FrameCount(dig0), 0);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(Grab(dig0, buf));
    }
    ASSERT_TRUE(Grab(dig1, buf));
    EXPECT_EQ(sim::FrameCount(dig0), 3);
    EXPECT_EQ(sim::FrameCount(dig1), 1);
    EXPECT_EQ(Row8(buf, 1, 8)[2], Ramp8(2, 1, 1));  // dig1's first frame
    EXPECT_EQ(sim::FrameCount(12345), -1);

    // A sequence grabs one frame per buffer.
    MilId two[] = {Buffer(sys, 8, 2), Buffer(sys, 8, 2)};
    api().MdigProcess(dig0, two, 2, M_SEQUENCE, M_SYNCHRONOUS, nullptr, nullptr);
    ASSERT_FALSE(Failed()) << ErrorText();
    EXPECT_EQ(Row8(two[0], 0, 8)[0], Ramp8(0, 0, 4));
    EXPECT_EQ(Row8(two[1], 0, 8)[0], Ramp8(0, 0, 5));

    // A new allocation of a device starts counting again.
    api().MdigFree(dig1);
    const MilId again = Digitizer(sys, 1);
    ASSERT_TRUE(Grab(again, buf));
    EXPECT_EQ(sim::FrameCount(again), 1);
}

TEST_F(SimGrab, ProcessRefusesWhatItCannotDo) {
    App();
    const MilId sys = System();
    const MilId dig = Digitizer(sys);
    MilId buf = Buffer(sys, 8, 2);
    api().MdigProcess(dig, &buf, 1, M_SEQUENCE, 0, nullptr, nullptr);  // asynchronous
    EXPECT_TRUE(Failed());
    api().MdigProcess(dig, &buf, 0, M_SEQUENCE, M_SYNCHRONOUS, nullptr, nullptr);
    EXPECT_TRUE(Failed());
    api().MdigProcess(dig, nullptr, 1, M_SEQUENCE, M_SYNCHRONOUS, nullptr, nullptr);
    EXPECT_TRUE(Failed());
    MilId wrong = dig;  // not a buffer
    api().MdigProcess(dig, &wrong, 1, M_SEQUENCE, M_SYNCHRONOUS, nullptr, nullptr);
    EXPECT_TRUE(Failed());
    api().MdigProcess(buf, &buf, 1, M_SEQUENCE, M_SYNCHRONOUS, nullptr, nullptr);
    EXPECT_TRUE(Failed());
    EXPECT_EQ(sim::FrameCount(dig), 0);
}

TEST_F(SimGrab, StopFromAnotherThreadEndsASlowGrab) {
    // A frame takes ten minutes: only the stop can end this grab in time.
    UseConfig("[System0.Digitizer0]\nFrameTimeMs=60000\n");
    App();
    const MilId sys = System();
    const MilId dig = Digitizer(sys);
    const MilId buf = Buffer(sys, 8, 2);

    GrabThread grab(api(), dig, buf);
    WaitForGrab(dig, 1);
    // While it runs, the host thread reads, controls and inquires.
    api().MdigControl(dig, M_GAIN, 9);
    EXPECT_EQ(api().MdigInquire(dig, M_GAIN, nullptr), 9);
    EXPECT_EQ(Row8(buf, 0, 8)[0], 0);
    EXPECT_FALSE(Failed());
    // A second grab of the same digitizer is refused meanwhile.
    EXPECT_FALSE(Grab(dig, buf));

    api().MdigProcess(dig, nullptr, 0, M_STOP, M_SYNCHRONOUS, nullptr, nullptr);
    EXPECT_FALSE(Failed());
    const GrabResult result = grab.Join();
    EXPECT_TRUE(result.failed);
    EXPECT_NE(result.text.find("stopped"), std::string::npos) << result.text;
    EXPECT_EQ(Row8(buf, 0, 8)[0], 0);  // no frame arrived
}

TEST_F(SimGrab, StopWhileIdleDoesNotFailTheNextGrab) {
    App();
    const MilId sys = System();
    const MilId dig = Digitizer(sys);
    MilId buf = Buffer(sys, 8, 2);
    api().MdigProcess(dig, &buf, 1, M_STOP, M_SYNCHRONOUS, nullptr, nullptr);
    EXPECT_FALSE(Failed());
    EXPECT_TRUE(Grab(dig, buf)) << ErrorText();
    EXPECT_EQ(Row8(buf, 0, 8)[1], Ramp8(1, 0, 1));
}

TEST_F(SimGrab, FreeingTheDigitizerEndsItsGrab) {
    UseConfig("[System0.Digitizer0]\nFrameTimeMs=60000\n");
    const MilId app = App();
    const MilId sys = System();
    const MilId dig = Digitizer(sys);
    const MilId buf = Buffer(sys, 8, 2);
    GrabThread grab(api(), dig, buf);
    WaitForGrab(dig, 1);
    api().MappFree(app);  // everything goes, the running grab stops
    EXPECT_TRUE(grab.Join().failed);
    EXPECT_EQ(sim::LiveObjectCount(), 0u);
}

TEST_F(SimGrab, HangingGrabIgnoresTheStopForItsTime) {
    UseConfig("[System0.Digitizer0]\nFrameTimeMs=60000\nHangGrabMs=200\n");
    App();
    const MilId sys = System();
    const MilId dig = Digitizer(sys);
    const MilId buf = Buffer(sys, 8, 2);

    GrabThread grab(api(), dig, buf);
    WaitForGrab(dig, 1);
    const auto stopped = std::chrono::steady_clock::now();
    api().MdigProcess(dig, nullptr, 0, M_STOP, M_SYNCHRONOUS, nullptr, nullptr);
    const GrabResult result = grab.Join();
    // The hang is a lower bound on how long the stop takes, never an upper one.
    EXPECT_GE(std::chrono::steady_clock::now() - stopped, std::chrono::milliseconds(200));
    EXPECT_TRUE(result.failed);
    EXPECT_NE(result.text.find("stopped"), std::string::npos) << result.text;
}

TEST_F(SimGrab, EveryNthGrabFails) {
    UseConfig("[System0.Digitizer0]\nFailGrabEvery=3\n");
    App();
    const MilId sys = System();
    const MilId dig = Digitizer(sys);
    const MilId buf = Buffer(sys, 8, 2);
    std::vector<bool> outcomes;
    for (int i = 0; i < 7; ++i) {
        outcomes.push_back(Grab(dig, buf));
    }
    EXPECT_EQ(outcomes, (std::vector<bool>{true, true, false, true, true, false, true}));
    EXPECT_EQ(sim::FrameCount(dig), 7);
    EXPECT_EQ(Row8(buf, 0, 8)[0], Ramp8(0, 0, 7));

    // A failed grab leaves the previous frame in the buffer.
    ASSERT_TRUE(Grab(dig, buf));   // 8
    EXPECT_FALSE(Grab(dig, buf));  // 9
    EXPECT_EQ(Row8(buf, 0, 8)[0], Ramp8(0, 0, 8));
    // The other digitizer is healthy.
    const MilId other = Digitizer(sys, 1);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(Grab(other, buf));
    }
}

TEST_F(SimGrab, HostCallsRunSafelyBesideContinuousGrabbing) {
    UseConfig("[System0.Digitizer0]\nWidth=64\nHeight=16\n");
    App();
    const MilId sys = System();
    const MilId dig = Digitizer(sys);
    const MilId buf = Buffer(sys, 64, 16);
    std::atomic<bool> done{false};
    std::atomic<int> grabFailures{0};
    std::thread grabber([&] {
        for (int i = 0; i < 200; ++i) {
            if (!Grab(dig, buf)) {
                ++grabFailures;
            }
        }
        done = true;
    });
    int reads = 0;
    while (!done) {
        const auto row = Row8(buf, 5, 64);
        ASSERT_FALSE(Failed()) << ErrorText();
        // A frame is written whole under the buffer's lock, so a row is
        // never torn: it is all zeros (no frame yet) or one frame's ramp.
        if (row[0] != 0 || row[1] != 0) {
            for (std::size_t x = 1; x < row.size(); ++x) {
                ASSERT_EQ(row[x], static_cast<unsigned char>(row[x - 1] + 1)) << x;
            }
        }
        api().MdigControl(dig, M_GAIN, reads % 200);
        api().MdigInquire(dig, M_GAIN, nullptr);
        ++reads;
    }
    grabber.join();
    EXPECT_EQ(grabFailures.load(), 0);
    EXPECT_EQ(sim::FrameCount(dig), 200);
    EXPECT_EQ(Row8(buf, 5, 64)[63], Ramp8(63, 5, 200));
}

}  // namespace
}  // namespace korvane::test

// korvanesrc camera=NAME: the element as the host of a simulated camera.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "gstreamer/tests/PipelineRun.h"
#include "gstreamer/tests/SimCamera.h"

namespace korvane::gsttest {
namespace {

using namespace std::chrono_literals;

class CameraModeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        KORVANE_SKIP_PIPELINE_TESTS();
        RegisterKorvaneStatically();
    }

    static std::string CameraPipeline(const SimSystemPath& system, const std::string& extra = "",
                                      const std::string& camera = "Camera 1") {
        return "korvanesrc name=src camera=\"" + camera + "\" system-path=\"" + system.path() +
               "\" " + extra + " ! fakesink name=sink sync=false";
    }

    GstTestEnvironment env_;
};

// The frames of a camera opened for this run: grabs 1, 2, 3, ... each the
// whole ramp image, in order; a grab that is missing was counted as dropped
// by the element (a loaded machine may hold the streaming thread back).
void ExpectGrabsFromTheFirst(const RunResult& run, int width, int height, guint64 dropped) {
    ASSERT_FALSE(run.frames.empty()) << run.error;
    long long previous = 0;
    long long missing = 0;
    GstClockTime previousPts = 0;
    for (const FrameRecord& frame : run.frames) {
        EXPECT_EQ(frame.width, width);
        EXPECT_EQ(frame.height, height);
        EXPECT_EQ(frame.offRamp, 0) << "frame starting at " << frame.first;
        ASSERT_TRUE(GST_CLOCK_TIME_IS_VALID(frame.pts));
        EXPECT_GE(frame.pts, previousPts);
        previousPts = frame.pts;
        // The grab number follows from pixel (0, 0) modulo 256; the next
        // grab is taken to be less than 128 grabs later.
        const int step = (RampFrameNumber(frame.first) - static_cast<int>(previous)) & 0xFF;
        EXPECT_GE(step, 1) << "the same grab twice, after grab " << previous;
        EXPECT_LT(step, 128) << "an earlier grab after grab " << previous;
        missing += step - 1;
        previous += step;
    }
    EXPECT_LE(missing, static_cast<long long>(dropped))
        << "grabs missing that the element did not count as dropped";
}

// The dropped frames of the element named src.
guint64 DroppedOf(PipelineRun& run) {
    GstElement* src = run.Element("src");
    guint64 dropped = 0;
    g_object_get(src, "dropped", &dropped, nullptr);
    gst_object_unref(src);
    return dropped;
}

TEST_F(CameraModeTest, FramesAreTheCamerasGrabsInOrder) {
    SimSystemPath system({64, 16, 8, 2});
    PipelineRun run(CameraPipeline(system));
    const RunResult result = run.Run(40, 15s);
    EXPECT_TRUE(result.error.empty()) << result.error;
    EXPECT_GE(result.frames.size(), 40u);
    ExpectGrabsFromTheFirst(result, 64, 16, DroppedOf(run));
}

TEST_F(CameraModeTest, RowsPaddedInTheBufferStillCarryTheImage) {
    SimSystemPath system({30, 11, 8, 2});
    PipelineRun run(CameraPipeline(system));
    const RunResult result = run.Run(10, 15s);
    EXPECT_TRUE(result.error.empty()) << result.error;
    ExpectGrabsFromTheFirst(result, 30, 11, DroppedOf(run));
}

TEST_F(CameraModeTest, SixteenBitCameraGoesOutAsTheDriversBytes) {
    // Grabbed into an 8-bit buffer the driver delivers each pixel's high
    // byte: (37x + 101y + 1009n mod 65536) >> 8 for grab n.
    SimSystemPath system({40, 12, 16, 2});
    PipelineRun run(CameraPipeline(system));
    const RunResult result = run.Run(3, 15s);
    ASSERT_GE(result.frames.size(), 3u) << result.error;
    // Each frame is grab n for an n later than the one before.
    int previous = 0;
    for (const FrameRecord& frame : result.frames) {
        ASSERT_EQ(frame.pixels.size(), 40u * 12u);
        int matched = 0;
        for (int n = previous + 1; n <= previous + 64 && matched == 0; ++n) {
            bool all = true;
            for (int y = 0; y < 12 && all; ++y) {
                for (int x = 0; x < 40 && all; ++x) {
                    const int expected = ((37 * x + 101 * y + 1009 * n) & 0xFFFF) >> 8;
                    all = frame.pixels[static_cast<size_t>(y * 40 + x)] == expected;
                }
            }
            matched = all ? n : 0;
        }
        ASSERT_NE(matched, 0) << "a frame that is no grab after grab " << previous;
        previous = matched;
    }
    EXPECT_LE(static_cast<guint64>(previous) - result.frames.size(), DroppedOf(run));
}

TEST_F(CameraModeTest, PropertiesAreSetBeforeTheFirstGrab) {
    // A smaller Width and Height limit the rows at once: the caps and every
    // frame, the first included, have the smaller size.
    SimSystemPath system({64, 16, 8, 2});
    PipelineRun run(CameraPipeline(system, "properties=\"Width=20, Height=10, Gain=12\""));
    const RunResult result = run.Run(5, 15s);
    EXPECT_TRUE(result.error.empty()) << result.error;
    ExpectGrabsFromTheFirst(result, 20, 10, DroppedOf(run));
}

TEST_F(CameraModeTest, ARefusedPropertyIsAnErrorThatSaysWhich) {
    SimSystemPath system({64, 16, 8, 2});
    PipelineRun run(CameraPipeline(system, "properties=\"Gain=12,NoSuchSetting=3\""));
    const RunResult result = run.Run(0, 15s);
    EXPECT_TRUE(result.startFailed);
    EXPECT_NE(result.error.find("refused NoSuchSetting=3"), std::string::npos) << result.error;
    EXPECT_TRUE(result.frames.empty());

    PipelineRun bad(CameraPipeline(system, "properties=\"Gain\""));
    const RunResult parsed = bad.Run(0, 15s);
    EXPECT_TRUE(parsed.startFailed);
    EXPECT_NE(parsed.error.find("Bad properties"), std::string::npos) << parsed.error;
}

TEST_F(CameraModeTest, ACameraThatDoesNotExistIsAnErrorWithTheDriversReason) {
    SimSystemPath system({64, 16, 8, 2});
    PipelineRun run(CameraPipeline(system, "", "Camera 9"));
    const RunResult result = run.Run(0, 15s);
    EXPECT_TRUE(result.startFailed);
    EXPECT_NE(result.error.find("cannot open camera 'Camera 9' on port 1"), std::string::npos)
        << result.error;
    // The driver's own line and the cameras there are.
    EXPECT_NE(result.error.find("driver: "), std::string::npos) << result.error;
    EXPECT_NE(result.error.find("Camera 1, Camera 2"), std::string::npos) << result.error;
    // The failed start left the driver finalized: a good camera opens.
    PipelineRun good(CameraPipeline(system));
    const RunResult after = good.Run(3, 15s);
    EXPECT_TRUE(after.error.empty()) << after.error;
    EXPECT_GE(after.frames.size(), 3u);
}

TEST_F(CameraModeTest, AStoppedPipelineStartsAgainWithAFreshCamera) {
    SimSystemPath system({64, 16, 8, 1});
    PipelineRun run(CameraPipeline(system));
    guint64 droppedBefore = 0;
    for (int round = 0; round < 3; ++round) {
        const RunResult result = run.Run(5, 15s);
        EXPECT_TRUE(result.error.empty()) << "round " << round << ": " << result.error;
        // Stopping closed the port and finalized: the camera counts from 1.
        const guint64 dropped = DroppedOf(run);
        ExpectGrabsFromTheFirst(result, 64, 16, dropped - droppedBefore);
        droppedBefore = dropped;
    }
}

TEST_F(CameraModeTest, RestartFollowsChangedDimensions) {
    SimSystemPath system({64, 16, 8, 2});
    PipelineRun run(CameraPipeline(system, "properties=Height=12"));
    const RunResult first = run.Run(3, 15s);
    EXPECT_TRUE(first.error.empty()) << first.error;
    const guint64 droppedFirst = DroppedOf(run);
    ExpectGrabsFromTheFirst(first, 64, 12, droppedFirst);
    GstElement* src = run.Element("src");
    g_object_set(src, "properties", "Width=32", nullptr);
    gst_object_unref(src);
    // Height 12 was saved; Width is lowered now.
    const RunResult second = run.Run(3, 15s);
    EXPECT_TRUE(second.error.empty()) << second.error;
    ExpectGrabsFromTheFirst(second, 32, 12, DroppedOf(run) - droppedFirst);
}

TEST_F(CameraModeTest, OneCameraElementPerProcess) {
    SimSystemPath system({64, 16, 8, 2});
    const std::string element =
        "korvanesrc camera=\"Camera 1\" system-path=\"" + system.path() + "\"";
    PipelineRun run(element + " ! fakesink name=sink sync=false " + element +
                    " port=2 ! fakesink sync=false");
    const RunResult result = run.Run(0, 15s);
    EXPECT_NE(result.error.find("another korvanesrc already streams a camera"), std::string::npos)
        << result.error;
}

TEST_F(CameraModeTest, ShareAndCameraTogetherIsASettingsError) {
    SimSystemPath system({64, 16, 8, 2});
    PipelineRun run(CameraPipeline(system, "share=Line1"));
    const RunResult result = run.Run(0, 15s);
    EXPECT_TRUE(result.startFailed);
    EXPECT_NE(result.error.find("not both"), std::string::npos) << result.error;
}

}  // namespace
}  // namespace korvane::gsttest

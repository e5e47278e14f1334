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
    void SetUp() override { RegisterKorvaneStatically(); }

    static std::string CameraPipeline(const SimSystemPath& system, const std::string& extra = "",
                                      const std::string& camera = "Camera 1") {
        return "korvanesrc name=src camera=\"" + camera + "\" system-path=\"" + system.path() +
               "\" " + extra + " ! fakesink name=sink sync=false";
    }

    static guint64 Dropped(PipelineRun& run) {
        GstElement* src = run.Element("src");
        guint64 dropped = 0;
        g_object_get(src, "dropped", &dropped, nullptr);
        gst_object_unref(src);
        return dropped;
    }

    GstTestEnvironment env_;
};

// The frames of a camera opened for this run: grabs 1, 2, 3, ... each the
// whole ramp image, one after the other unless the element dropped some.
void ExpectGrabsFromTheFirst(const RunResult& run, int width, int height, guint64 dropped) {
    ASSERT_FALSE(run.frames.empty()) << run.error;
    int expected = 1;
    GstClockTime previousPts = 0;
    for (const FrameRecord& frame : run.frames) {
        EXPECT_EQ(frame.width, width);
        EXPECT_EQ(frame.height, height);
        EXPECT_EQ(frame.offRamp, 0) << "frame starting at " << frame.first;
        ASSERT_TRUE(GST_CLOCK_TIME_IS_VALID(frame.pts));
        EXPECT_GE(frame.pts, previousPts);
        previousPts = frame.pts;
        const int number = RampFrameNumber(frame.first);
        if (dropped == 0) {
            EXPECT_EQ(number, expected & 0xFF) << "a grab is missing";
        }
        expected = number + 1;
    }
    if (dropped == 0) {
        EXPECT_EQ(RampFrameNumber(run.frames.front().first), 1) << "the first grab is missing";
    }
}

TEST_F(CameraModeTest, FramesAreTheCamerasGrabsInOrder) {
    SimSystemPath system({64, 16, 8, 2});
    PipelineRun run(CameraPipeline(system));
    const RunResult result = run.Run(40, 15s, true);
    const guint64 dropped = Dropped(run);
    run.Stop();
    EXPECT_TRUE(result.error.empty()) << result.error;
    EXPECT_GE(result.frames.size(), 40u);
    // A pipeline that keeps up loses nothing.
    EXPECT_EQ(dropped, 0u);
    ExpectGrabsFromTheFirst(result, 64, 16, dropped);
}

TEST_F(CameraModeTest, RowsPaddedInTheBufferStillCarryTheImage) {
    SimSystemPath system({30, 11, 8, 2});
    PipelineRun run(CameraPipeline(system));
    const RunResult result = run.Run(10, 15s);
    EXPECT_TRUE(result.error.empty()) << result.error;
    ExpectGrabsFromTheFirst(result, 30, 11, 0);
}

TEST_F(CameraModeTest, SixteenBitCameraGoesOutAsTheDriversBytes) {
    // Grabbed into an 8-bit buffer the driver delivers each pixel's high
    // byte: (37x + 101y + 1009n mod 65536) >> 8 for grab n.
    SimSystemPath system({40, 12, 16, 2});
    PipelineRun run(CameraPipeline(system));
    const RunResult result = run.Run(3, 15s);
    ASSERT_GE(result.frames.size(), 3u) << result.error;
    for (int n = 1; n <= 3; ++n) {
        const FrameRecord& frame = result.frames[static_cast<size_t>(n - 1)];
        ASSERT_EQ(frame.pixels.size(), 40u * 12u);
        int wrong = 0;
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < 40; ++x) {
                const int expected = ((37 * x + 101 * y + 1009 * n) & 0xFFFF) >> 8;
                wrong += frame.pixels[static_cast<size_t>(y * 40 + x)] != expected ? 1 : 0;
            }
        }
        EXPECT_EQ(wrong, 0) << "grab " << n;
    }
}

TEST_F(CameraModeTest, PropertiesAreSetBeforeTheFirstGrab) {
    // A smaller Width and Height limit the rows at once: the caps and every
    // frame, the first included, have the smaller size.
    SimSystemPath system({64, 16, 8, 2});
    PipelineRun run(CameraPipeline(system, "properties=\"Width=20, Height=10, Gain=12\""));
    const RunResult result = run.Run(5, 15s);
    EXPECT_TRUE(result.error.empty()) << result.error;
    ExpectGrabsFromTheFirst(result, 20, 10, 0);
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
    for (int round = 0; round < 3; ++round) {
        const RunResult result = run.Run(5, 15s);
        EXPECT_TRUE(result.error.empty()) << "round " << round << ": " << result.error;
        // Stopping closed the port and finalized: the camera counts from 1.
        ExpectGrabsFromTheFirst(result, 64, 16, 0);
    }
}

TEST_F(CameraModeTest, RestartFollowsChangedDimensions) {
    SimSystemPath system({64, 16, 8, 2});
    PipelineRun run(CameraPipeline(system, "properties=Height=12"));
    const RunResult first = run.Run(3, 15s);
    EXPECT_TRUE(first.error.empty()) << first.error;
    ExpectGrabsFromTheFirst(first, 64, 12, 0);
    GstElement* src = run.Element("src");
    g_object_set(src, "properties", "Width=32", nullptr);
    gst_object_unref(src);
    // Height 12 was saved; Width is lowered now.
    const RunResult second = run.Run(3, 15s);
    EXPECT_TRUE(second.error.empty()) << second.error;
    ExpectGrabsFromTheFirst(second, 32, 12, 0);
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

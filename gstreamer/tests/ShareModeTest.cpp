// korvanesrc share=NAME against korvane-grab sharing the simulated camera
// from a second process.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "gstreamer/tests/PipelineRun.h"
#include "gstreamer/tests/SimCamera.h"

namespace korvane::gsttest {
namespace {

using namespace std::chrono_literals;

class ShareModeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        KORVANE_SKIP_PIPELINE_TESTS();
        RegisterKorvaneStatically();
    }

    static std::string SharePipeline(const std::string& name, int timeoutMs = 10000) {
        return "korvanesrc name=src share=" + name +
               " connect-timeout=" + std::to_string(timeoutMs) + " ! fakesink name=sink sync=false";
    }

    GstTestEnvironment env_;
};

// Every frame is a whole ramp image of the camera's size, later frames are
// later grabs, and the time stamps run forward.
void ExpectRampFrames(const RunResult& run, int width, int height) {
    ASSERT_FALSE(run.frames.empty()) << run.error;
    int previous = -1;
    GstClockTime previousPts = 0;
    for (const FrameRecord& frame : run.frames) {
        EXPECT_EQ(frame.width, width);
        EXPECT_EQ(frame.height, height);
        EXPECT_EQ(frame.offRamp, 0) << "frame starting at " << frame.first;
        ASSERT_TRUE(GST_CLOCK_TIME_IS_VALID(frame.pts));
        EXPECT_GE(frame.pts, previousPts);
        previousPts = frame.pts;
        const int number = RampFrameNumber(frame.first);
        if (previous >= 0) {
            // A frame number mod 256: never an earlier grab, within the few
            // hundred grabs a test sees. The share holds the latest image
            // only: when a grab lands between a notice and its copy, that
            // copy and the next one are the same image.
            const int step = (number - previous) & 0xFF;
            EXPECT_LT(step, 128) << "an older image after a newer one";
        }
        previous = number;
    }
}

TEST_F(ShareModeTest, FramesAreTheSharedRampWithTheSharesCaps) {
    const std::string name = env_.UniqueName("ramp");
    ShareServer server(name, {64, 16, 8, 2}, 20);
    ASSERT_TRUE(server.started());
    PipelineRun run(SharePipeline(name));
    const RunResult result = run.Run(30, 15s);
    EXPECT_TRUE(result.error.empty()) << result.error;
    // Frames still arrive while the pipeline stops.
    EXPECT_GE(result.frames.size(), 30u);
    ExpectRampFrames(result, 64, 16);
}

TEST_F(ShareModeTest, RowsPaddedInTheBufferStillCarryTheImage) {
    // GRAY8 rows are padded to four bytes: a width of 30 has two bytes of
    // padding per row, so the share's packed image must be spread out.
    const std::string name = env_.UniqueName("padded");
    ShareServer server(name, {30, 11, 8, 2}, 20);
    ASSERT_TRUE(server.started());
    PipelineRun run(SharePipeline(name));
    const RunResult result = run.Run(10, 15s);
    EXPECT_TRUE(result.error.empty()) << result.error;
    ExpectRampFrames(result, 30, 11);
}

TEST_F(ShareModeTest, EndOfStreamWhenTheCameraStopsSharing) {
    const std::string name = env_.UniqueName("eos");
    ShareServer server(name, {64, 16, 8, 2}, 1);
    ASSERT_TRUE(server.started());
    PipelineRun run(SharePipeline(name));
    const RunResult result = run.Run(0, 20s);
    EXPECT_TRUE(result.eos) << "no end of stream; error: " << result.error;
    EXPECT_TRUE(result.error.empty()) << result.error;
    EXPECT_GT(result.frames.size(), 0u);
    // The server ended on its own (-2: still running at the limit). Its
    // exit code is not asked for: a sanitizer's report at exit changes it.
    EXPECT_NE(server.Wait(10000), -2) << server.Output();
}

TEST_F(ShareModeTest, AMissingShareIsAnErrorWithinTheTimeout) {
    const std::string name = env_.UniqueName("nobody");
    PipelineRun run(SharePipeline(name, 300));
    const auto started = std::chrono::steady_clock::now();
    const RunResult result = run.Run(0, 10s);
    // The wait ends with the error, long before the run's own limit.
    EXPECT_LT(std::chrono::steady_clock::now() - started, 8s);
    EXPECT_TRUE(result.startFailed);
    EXPECT_NE(result.error.find("no camera is shared under the name '" + name + "'"),
              std::string::npos)
        << result.error;
    EXPECT_TRUE(result.frames.empty());
}

TEST_F(ShareModeTest, NeitherShareNorCameraIsASettingsError) {
    PipelineRun run("korvanesrc ! fakesink name=sink");
    const RunResult result = run.Run(0, 10s);
    EXPECT_TRUE(result.startFailed);
    EXPECT_NE(result.error.find("share"), std::string::npos) << result.error;
}

TEST_F(ShareModeTest, RestartFollowsTheNewSizeOfTheShare) {
    const std::string name = env_.UniqueName("restart");
    PipelineRun run(SharePipeline(name));
    {
        ShareServer server(name, {64, 16, 8, 2}, 20);
        ASSERT_TRUE(server.started());
        const RunResult first = run.Run(5, 15s);
        EXPECT_TRUE(first.error.empty()) << first.error;
        ExpectRampFrames(first, 64, 16);
    }
    // The same element, stopped, then started against a share of another
    // size: new caps, and the pixels of the new image.
    ShareServer server(name, {48, 20, 8, 2}, 20);
    ASSERT_TRUE(server.started());
    const RunResult second = run.Run(5, 15s);
    EXPECT_TRUE(second.error.empty()) << second.error;
    EXPECT_GE(second.frames.size(), 5u);
    ExpectRampFrames(second, 48, 20);
}

}  // namespace
}  // namespace korvane::gsttest

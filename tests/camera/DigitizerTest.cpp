// The camera objects driven directly, with the simulator behind them and a
// scripted answerer for the notices.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "camera/MilApp.h"
#include "camera/MilDigitizer.h"
#include "driver/DriverLog.h"
#include "mil/sim/SimulatorControl.h"
#include "platform/UiNotice.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TempDir.h"

namespace korvane {
namespace {

struct Notice {
    std::string text;
    std::string caption;
    unsigned flags;
};

class DigitizerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DriverLog::Instance().ResetForTesting();
        DriverLog::Instance().SetSystemPath(dir_.path().c_str());
        DriverLog::Instance().SetMessageProc(&test::LogCapture::Callback);
        test::WriteFile(dir_.File("Korvane.ini"),
                        "[Camera 1]\nLogLevel=4\n[Camera 2]\nLogLevel=4\n");
        test::WriteFile(dir_.File("sim.ini"),
                        "[System0]\nDescriptor=M_SYSTEM_SOLIOS\nDigitizers=2\n"
                        "[System0.Digitizer0]\nWidth=64\nHeight=8\n"
                        "[System0.Digitizer1]\nWidth=64\nHeight=8\nFailMdigAlloc=1\n");
        setenv("KORVANE_SIM_CONFIG", dir_.File("sim.ini").c_str(), 1);
        // The built-in simulator on every system (Windows would bind the
        // vendor library by default).
        setenv("KORVANE_MIL", "sim", 1);
        platform::SetNoticeAnswerer(
            [this](const std::string& text, const std::string& caption, unsigned flags) {
                notices_.push_back({text, caption, flags});
                return answer_;
            });
        ASSERT_TRUE(MilApp::GetInstance().Init());
    }
    void TearDown() override {
        MilApp::DestroyInstance();
        platform::SetNoticeAnswerer(nullptr);
        unsetenv("KORVANE_SIM_CONFIG");
        unsetenv("KORVANE_MIL");
        unsetenv("KORVANE_DIALOG_SCRIPT");
        DriverLog::Instance().ResetForTesting();
    }
    // A camera whose settings carry a usable size, as after a first open.
    MilDigitizer& Camera(const char* name) {
        MilDigitizer& camera = MilApp::GetInstance().GetByName(name);
        camera.settings().Width.value = 64;
        camera.settings().Height.value = 8;
        camera.settings().LogLevel.value = 4;
        return camera;
    }

    test::TempDir dir_;
    test::LogCapture log_;
    std::vector<Notice> notices_;
    int answer_ = platform::kAnswerOk;
};

TEST_F(DigitizerTest, DcfFallbackShowsAWarningBox) {
    MilDigitizer& camera = Camera("Camera 1");
    camera.settings().DCF_FILE.value = "nothere.dcf";
    camera.settings().Save("Camera 1");
    int size[2] = {0, 0};
    ASSERT_TRUE(camera.Open(1, size));
    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_EQ(notices_[0].flags, 0x30u);
    EXPECT_EQ(notices_[0].text,
              "Digitizer #0: the supplied DCF file '" + dir_.File("nothere.dcf") +
                  "' failed to open.\nThe camera is opened with default DCF instead.");
}

TEST_F(DigitizerTest, BothDcfsFailingShowsAnErrorBox) {
    MilDigitizer& camera = Camera("Camera 2");
    camera.settings().DCF_FILE.value = "/abs/cam.dcf";
    camera.settings().Save("Camera 2");
    int size[2] = {0, 0};
    EXPECT_FALSE(camera.Open(1, size));
    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_EQ(notices_[0].flags, 0x10u);
    EXPECT_EQ(notices_[0].text,
              "Digitizer #1: Cannot open neither supplied DCF '/abs/cam.dcf' nor the default DCF\n"
              ".Please check the settings.");
    EXPECT_FALSE(camera.opened());
    EXPECT_EQ(camera.port(), -1);
}

TEST_F(DigitizerTest, OpenOnOpenCameraChangesNothing) {
    MilDigitizer& camera = Camera("Camera 1");
    int size[2] = {0, 0};
    ASSERT_TRUE(camera.Open(4, size));
    log_.Clear();
    EXPECT_FALSE(camera.Open(5, size));
    EXPECT_EQ(camera.port(), 4);
    EXPECT_TRUE(log_.Messages().empty());
}

TEST_F(DigitizerTest, ReopenReusesBuffersOfTheSameSizeAndDepth) {
    MilDigitizer& camera = Camera("Camera 1");
    int size[2] = {0, 0};
    ASSERT_TRUE(camera.Open(1, size));
    const mil::MilId first = camera.grabBuffers().bufferIds()[0];
    ASSERT_NE(first, 0);
    camera.Close();
    EXPECT_TRUE(camera.grabBuffers().ready()) << "buffers stay for the next open";
    ASSERT_TRUE(camera.Open(1, size));
    EXPECT_EQ(camera.grabBuffers().bufferIds()[0], first);
    camera.Close();
    camera.settings().Use16bit.value = 1;
    camera.settings().Save("Camera 1");
    ASSERT_TRUE(camera.Open(1, size));
    EXPECT_EQ(camera.grabBuffers().depth(), 16) << "a depth change reallocates";
    camera.Close();
    const std::size_t live = mil::sim::LiveObjectCount();
    MilApp::DestroyInstance();
    EXPECT_LT(mil::sim::LiveObjectCount(), live);
    EXPECT_EQ(mil::sim::LiveObjectCount(), 0u) << "finalize frees everything it allocated";
}

TEST_F(DigitizerTest, GrabBuffersInitWithZeroSizeKeepsAReadySet) {
    MilDigitizer& camera = Camera("Camera 1");
    int size[2] = {0, 0};
    ASSERT_TRUE(camera.Open(1, size));
    camera.grabBuffers().Init(camera.settings(), 0, 8, nullptr);
    EXPECT_TRUE(
        log_.Contains("MilGrabBuffers::Init: ERROR: incorrect dimensions width=0 height=8 "
                      "maxBufSize=32640000\n"));
    EXPECT_TRUE(camera.grabBuffers().ready());
}

// A camera that never had buffers (not opened yet, as every camera on port
// -1 may be) refuses rows through the buffers' own check, leaves the
// destination alone and still notes a request for the last row.
TEST_F(DigitizerTest, RowsOfACameraWithoutBuffersAreRefused) {
    MilDigitizer& camera = Camera("Camera 1");
    DriverLog::Instance().SetLevel(4);
    ASSERT_EQ(camera.grabBuffers().bufferCount(), 0);
    std::vector<std::uint8_t> dest(80, 0x5A);
    EXPECT_FALSE(camera.GetRow(dest.data(), 7, 0, 63));
    EXPECT_TRUE(
        log_.Contains("MilGrabBuffers::GetRow: ERROR: incorrect buffer index ibuf=7, bufCount=0, "
                      "row=7, height=0\n"));
    EXPECT_TRUE(log_.Contains("MilDigitizer::GetRow: the last row being fetched, port==-1\n"));
    for (std::uint8_t b : dest) {
        ASSERT_EQ(b, 0x5A);
    }
    // The settings still bound the request before the buffers are asked.
    EXPECT_FALSE(camera.GetRow(dest.data(), 8, 0, 63));
    EXPECT_TRUE(log_.Contains("MilDigitizer::GetRow: ERROR: invalid row number=8 height=8\n"));
    EXPECT_FALSE(camera.GetRow(dest.data(), 0, 0, 64));
    EXPECT_TRUE(log_.Contains(
        "MilDigitizer::GetRow: ERROR: invalid column, lastPix=64 firstPix=0 width=64\n"));
}

// A negative width in the settings (a host may set any number) must not
// let a request past the buffer: the buffers' own check refuses it.
TEST_F(DigitizerTest, ANegativeWidthSettingLetsNoRowPastTheBuffer) {
    MilDigitizer& camera = Camera("Camera 1");
    for (const int depth : {0, 1}) {
        camera.settings().Use16bit.value = depth;
        camera.settings().Width.value = 64;
        camera.settings().Save("Camera 1");
        int size[2] = {0, 0};
        ASSERT_TRUE(camera.Open(1, size));
        ASSERT_EQ(camera.grabBuffers().width(), 64);
        camera.settings().Width.value = -5;
        log_.Clear();
        std::vector<std::uint8_t> dest(200, 0x5A);
        EXPECT_FALSE(camera.GetRow(dest.data(), 0, 0, 127)) << depth;
        EXPECT_TRUE(log_.Contains(
            "MilGrabBuffers::GetRow: ERROR: columns 0..127 outside the buffer width 64\n"))
            << depth;
        for (std::uint8_t b : dest) {
            ASSERT_EQ(b, 0x5A) << depth;
        }
        // Inside the buffer a row is still delivered.
        EXPECT_TRUE(camera.GetRow(dest.data(), 0, 0, 63)) << depth;
        camera.Close();
    }
}

TEST_F(DigitizerTest, PropertySheetWarningWhileGrabbing) {
    MilDigitizer& camera = Camera("Camera 1");
    int size[2] = {0, 0};
    ASSERT_TRUE(camera.Open(1, size));
    // The sheet itself is cancelled by a script: on Windows a real one would
    // wait for a user.
    test::WriteFile(dir_.File("cancel.txt"), "cancel\n");
    setenv("KORVANE_DIALOG_SCRIPT", dir_.File("cancel.txt").c_str(), 1);
    EXPECT_FALSE(camera.ShowProperties(nullptr));
    EXPECT_TRUE(notices_.empty()) << "no warning while idle";
    camera.SetContinuousGrab(true);
    answer_ = platform::kAnswerCancel;
    EXPECT_FALSE(camera.ShowProperties(nullptr));
    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_EQ(notices_[0].caption, "Camera 1 properties");
    EXPECT_EQ(notices_[0].flags, 0x31u);
    EXPECT_EQ(notices_[0].text,
              "Configuring camera properties while inspection is running may cause undesired "
              "effects. Continue anyway ?");
    camera.SetContinuousGrab(false);
}

TEST_F(DigitizerTest, SoftwareTriggerAndLutResetReachTheDigitizer) {
    MilDigitizer& camera = Camera("Camera 1");
    int size[2] = {0, 0};
    ASSERT_TRUE(camera.Open(1, size));
    EXPECT_EQ(mil::sim::LutResetCount(camera.digId()), 1) << "every open resets the device LUT";
    ASSERT_TRUE(camera.SetProperty("SoftwareTrigger", 0));
    double value = 0;
    ASSERT_TRUE(mil::sim::LastControl(camera.digId(), 4200, value));
    EXPECT_EQ(value, 1.0);
    ASSERT_TRUE(mil::sim::LastControl(camera.digId(), 4016, value));
    EXPECT_EQ(value, 1.0) << "control 4016 follows the buffers";
}

TEST_F(DigitizerTest, UnusableLutFileSwitchesTheLutOff) {
    MilDigitizer& camera = Camera("Camera 1");
    camera.settings().UseLUT.value = 1;
    camera.settings().LUT_FILE.value = dir_.File("missing.csv");
    camera.settings().Save("Camera 1");
    int size[2] = {0, 0};
    ASSERT_TRUE(camera.Open(1, size));
    EXPECT_TRUE(log_.Contains(
        "MilDigitizer::ApplyLut: WARNING: Unrecognized/incorrect csv file. Disabling LUT\n"));
    EXPECT_EQ(camera.settings().UseLUT.value, 0);
    camera.Close();
    EXPECT_NE(test::ReadFile(dir_.File("Korvane.ini")).find("UseLUT=0"), std::string::npos);
}

}  // namespace
}  // namespace korvane

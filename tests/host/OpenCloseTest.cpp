// Opening and closing cameras through the exports: the settings file, the
// DCF fallbacks, the size answers and the refusals.
#include <gtest/gtest.h>

#include "tests/support/HostFixture.h"
#include "tests/support/PlatformText.h"

namespace korvane::test {
namespace {

class OpenCloseTest : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        RaiseLogLevel();
    }
    void TearDown() override {
        unsetenv("KORVANE_DIALOG_SCRIPT");
        HostTest::TearDown();
    }
    // Where the system shows message boxes (Windows) the notices are answered
    // from a dialog script, as nobody is there to press OK; elsewhere the
    // driver logs it. True when the notice text is to be found in the log.
    bool AnswerNoticeWhereABoxWouldShow() {
#ifdef _WIN32
        WriteFile(dir_.File("notice.txt"), "notice ok\nnotice ok\nnotice ok\n");
        setenv("KORVANE_DIALOG_SCRIPT", dir_.File("notice.txt").c_str(), 1);
        return false;
#else
        return true;
#endif
    }
};

TEST_F(OpenCloseTest, OpenReportsSizeAndCloseSavesTheSettings) {
    UseSimulator(SimOneBoard(2, 640, 480));
    ASSERT_EQ(Initialize(), 1);
    EXPECT_EQ(OpenCamera("Camera 1", 5), (std::vector<int>{640, 480}));
    EXPECT_TRUE(log_.Contains("MilDigitizer::Open: port=5, id=0\n"));
    EXPECT_TRUE(log_.Contains("openXELPort: -- Camera Camera 1 OPENED on port 5\n"));
    d().closeXELPort(0, 5);
    EXPECT_TRUE(log_.Contains("MilDigitizer::Close\n"));
    EXPECT_TRUE(log_.Contains("closeXELPort: grabberNo=0, portNo=5\n"));
    const std::string ini = ReadIni();
    EXPECT_NE(ini.find(test::ProfileText(
                  "[Camera 1]\nLogLevel=4\nOffsetX=0\nOffsetY=0\nWidth=640\nHeight=480\n")),
              std::string::npos)
        << ini;
    EXPECT_EQ(ini.find("LogIntoFile"), std::string::npos);
    // The port is free again and the camera opens anew.
    EXPECT_EQ(OpenCamera("Camera 1", 5), (std::vector<int>{640, 480}));
}

TEST_F(OpenCloseTest, RefusesOpenCameraAndPortInUse) {
    ASSERT_EQ(Initialize(), 1);
    OpenCamera("Camera 1", 3);
    int size[2] = {7, 7};
    EXPECT_EQ(d().openXELPort(0, 4, "Camera 1", size), 0);
    EXPECT_TRUE(log_.Contains(
        "openXELPort: ERROR: camera not opened, grabberNo=0, portNo=4, cameraName=Camera 1\n"));
    EXPECT_EQ(size[0], 0);
    EXPECT_EQ(d().openXELPort(0, 3, "Camera 2", size), 0);
    EXPECT_TRUE(log_.Contains("openXELPort: ERROR: port 3 already in use\n"));
    EXPECT_EQ(size[0], 0);
    EXPECT_EQ(size[1], 0);
    // Camera 1 still answers on its first port.
    int width = 0;
    EXPECT_EQ(d().getProperty(0, 3, "Width", &width), 1);
    EXPECT_EQ(width, 1280);
}

TEST_F(OpenCloseTest, IniValuesWinOverTheDigitizersAndSizeFollowsThem) {
    WriteIni("[Camera 1]\nLogLevel=4\nWidth=320\nHeight=200\nGain=17\nOffsetX=8\n");
    ASSERT_EQ(Initialize(), 1);
    EXPECT_EQ(OpenCamera("Camera 1", 1), (std::vector<int>{320, 200}));
    EXPECT_TRUE(log_.Contains("MilDigitizer::ParamInquire(4019): Gain=0"));
    EXPECT_TRUE(log_.Contains("MilDigitizer::ParamControl(4019): Gain=17"));
    EXPECT_TRUE(log_.Contains("MilDigitizer::ParamControl(4024): OffsetX=8"));
    int gain = 0;
    EXPECT_EQ(d().getProperty(0, 1, "gain", &gain), 1);
    EXPECT_EQ(gain, 17);
}

// A hand-edited file asking for more than the digitizer has: the camera
// still opens, each correction is a warning and the corrected values are
// what the next close saves.
TEST_F(OpenCloseTest, StoredImageAreaOutOfRangeIsCorrectedAtOpenAndSavedAtClose) {
    UseSimulator(SimOneBoard(1, 640, 480));
    WriteIni("[Camera 1]\nLogLevel=1\nOffsetX=9000\nOffsetY=-3\nWidth=99999\nHeight=5\n");
    ASSERT_EQ(Initialize(), 1);
    EXPECT_EQ(OpenCamera("Camera 1", 1), (std::vector<int>{640, 10}));
    EXPECT_TRUE(log_.Contains(
        "MilDigitizer::Open: WARNING: Width=99999 out of range [10, 640], using 640\n"));
    EXPECT_TRUE(
        log_.Contains("MilDigitizer::Open: WARNING: Height=5 out of range [10, 480], using 10\n"));
    // The offsets get the room the corrected sizes leave on the sensor.
    EXPECT_TRUE(
        log_.Contains("MilDigitizer::Open: WARNING: OffsetX=9000 out of range [0, 0], using 0\n"));
    EXPECT_TRUE(
        log_.Contains("MilDigitizer::Open: WARNING: OffsetY=-3 out of range [0, 470], using 0\n"));
    EXPECT_NE(ReadIni().find("Width=99999"), std::string::npos) << "saved at close, not before";
    d().closeXELPort(0, 1);
    EXPECT_NE(ReadIni().find(test::ProfileText("OffsetX=0\nOffsetY=0\nWidth=640\nHeight=10\n")),
              std::string::npos)
        << ReadIni();
    log_.Clear();
    EXPECT_EQ(OpenCamera("Camera 1", 1), (std::vector<int>{640, 10}));
    EXPECT_FALSE(log_.Contains("out of range")) << "nothing left to correct";
}

TEST_F(OpenCloseTest, StoredOffsetsWithinTheSensorAreKept) {
    UseSimulator(SimOneBoard(1, 640, 480));
    WriteIni("[Camera 1]\nLogLevel=4\nOffsetX=340\nOffsetY=481\nWidth=300\nHeight=100\n");
    ASSERT_EQ(Initialize(), 1);
    EXPECT_EQ(OpenCamera("Camera 1", 1), (std::vector<int>{300, 100}));
    EXPECT_TRUE(log_.Contains("MilDigitizer::ParamControl(4024): OffsetX=340"))
        << "340 + 300 fills the sensor exactly";
    EXPECT_FALSE(log_.Contains("OffsetX=340 out of range"));
    EXPECT_TRUE(log_.Contains(
        "MilDigitizer::Open: WARNING: OffsetY=481 out of range [0, 380], using 380\n"));
    EXPECT_TRUE(log_.Contains("MilDigitizer::ParamControl(4025): OffsetY=380"));
}

TEST_F(OpenCloseTest, RelativeDcfFallsBackToDefaultWithAWarning) {
    WriteIni("[Camera 1]\nLogLevel=4\nDCF_FILE=missing.dcf\n");
    const bool logged = AnswerNoticeWhereABoxWouldShow();
    ASSERT_EQ(Initialize(), 1);
    EXPECT_EQ(OpenCamera("Camera 1", 1), (std::vector<int>{1280, 960}));
    const std::string resolved = test::JoinNative(systemPath(), "missing.dcf");
    EXPECT_TRUE(log_.Contains("MilDigitizer::Init: WARNING: MdigAlloc failed with DCF file: " +
                              resolved + ", MIL Error message:'"));
    EXPECT_EQ(log_.Contains("Digitizer #0: the supplied DCF file '" + resolved +
                            "' failed to open.\nThe camera is opened with default DCF instead."),
              logged);
}

TEST_F(OpenCloseTest, DcfFileSetsTheDigitizerSize) {
    WriteFile(dir_.File("small.dcf"), "Width=200\nHeight=100\nBits=8\n");
    WriteIni("[Camera 2]\nLogLevel=4\nDCF_FILE=" + dir_.File("small.dcf") + "\n");
    ASSERT_EQ(Initialize(), 1);
    EXPECT_EQ(OpenCamera("Camera 2", 2), (std::vector<int>{200, 100}));
    EXPECT_FALSE(log_.Contains("WARNING: MdigAlloc failed"));
}

TEST_F(OpenCloseTest, DefaultDcfFailureShowsNoBox) {
    UseSimulator(SimOneBoard(1, 1280, 960, 8, "FailMdigAlloc=1\n"));
    ASSERT_EQ(Initialize(), 1);
    int size[2] = {1, 1};
    EXPECT_EQ(d().openXELPort(0, 1, "Camera 1", size), 0);
    EXPECT_TRUE(
        log_.Contains("MilDigitizer::Init: WARNING: MdigAlloc failed with DCF file: M_DEFAULT, "));
    EXPECT_TRUE(log_.Contains("Check matrox MIL settings\n"));
    EXPECT_FALSE(log_.Contains("Digitizer #0"));
    EXPECT_TRUE(log_.Contains("openXELPort: ERROR: camera not opened"));
}

TEST_F(OpenCloseTest, BothDcfsFailingShowsTheErrorBox) {
    UseSimulator(SimOneBoard(1, 1280, 960, 8, "FailMdigAlloc=1\n"));
    WriteIni("[Camera 1]\nLogLevel=4\nDCF_FILE=m_default\n");
    const bool logged = AnswerNoticeWhereABoxWouldShow();
    ASSERT_EQ(Initialize(), 1);
    int size[2] = {1, 1};
    EXPECT_EQ(d().openXELPort(0, 1, "Camera 1", size), 0);
    const std::string resolved = test::JoinNative(systemPath(), "m_default");
    EXPECT_TRUE(
        log_.Contains("MilDigitizer::Init: ERROR failed with M_DEFAULT, MIL Error message:'"));
    EXPECT_EQ(log_.Contains("Digitizer #0: Cannot open neither supplied DCF '" + resolved +
                            "' nor the default DCF\n.Please check the settings."),
              logged);
    // A later open tries again from the start.
    log_.Clear();
    EXPECT_EQ(d().openXELPort(0, 1, "Camera 1", size), 0);
    EXPECT_TRUE(log_.Contains("MilDigitizer::Open: port=1, id=0\n"));
}

TEST_F(OpenCloseTest, DigitizerWithoutSizeIsRefused) {
    UseSimulator(SimOneBoard(1, 1280, 960, 8, "SizeZero=1\n"));
    ASSERT_EQ(Initialize(), 1);
    int size[2] = {1, 1};
    EXPECT_EQ(d().openXELPort(0, 1, "Camera 1", size), 0);
    EXPECT_TRUE(log_.Contains("MilDigitizer::Open: ERROR: incorrect state: idDigitizer=="));
    EXPECT_TRUE(log_.Contains(" width=0 height=0, port=1\n"));
    // The digitizer allocated by the failed open is released by the next
    // one instead of leaking, so the next open fails for the same reason.
    log_.Clear();
    EXPECT_EQ(d().openXELPort(0, 1, "Camera 1", size), 0);
    EXPECT_FALSE(log_.Contains("MdigAlloc failed"));
    EXPECT_TRUE(log_.Contains(" width=0 height=0, port=1\n"));
}

TEST_F(OpenCloseTest, BufferFailureFailsTheOpen) {
    UseSimulator("[System0]\nDescriptor=M_SYSTEM_SOLIOS\nDigitizers=1\nFailMbufAlloc=1\n");
    ASSERT_EQ(Initialize(), 1);
    int size[2] = {1, 1};
    EXPECT_EQ(d().openXELPort(0, 4, "Camera 1", size), 0);
    EXPECT_TRUE(
        log_.Contains("MilGrabBuffers::Init: ERROR: MbufAlloc2d failed for buffer 0 out of 1, "
                      "image:1280x960, pixelsize=8, MIL Error message:'"));
    EXPECT_TRUE(
        log_.Contains("MilDigitizer::Init: ERROR: Could not initialize grab buffers, port=4\n"));
}

TEST_F(OpenCloseTest, FinalizeWithOpenCamerasReleasesThem) {
    ASSERT_EQ(Initialize(), 1);
    OpenCamera("Camera 1", 1);
    OpenCamera("Camera 2", 2);
    EXPECT_EQ(d().finalize(), 1);
    EXPECT_EQ(Initialize(), 1);
    EXPECT_EQ(OpenCamera("Camera 1", 1), (std::vector<int>{1280, 960}));
}

}  // namespace
}  // namespace korvane::test

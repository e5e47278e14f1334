// configureCamera through the exports, with the property sheet and the busy
// warning played from a dialog script (KORVANE_DIALOG_SCRIPT).
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/HostFixture.h"
#include "tests/support/PlatformText.h"

namespace korvane::test {
namespace {

class DialogTest : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        unsetenv("KORVANE_DIALOG_SCRIPT");
        ASSERT_EQ(Initialize(), 1);
    }
    void TearDown() override {
        unsetenv("KORVANE_DIALOG_SCRIPT");
        HostTest::TearDown();
    }
    // The script the next configureCamera plays.
    void Script(const std::string& text) {
        WriteFile(dir_.File("dialog.txt"), text);
        setenv("KORVANE_DIALOG_SCRIPT", dir_.File("dialog.txt").c_str(), 1);
    }
    int Configure() { return d().configureCamera(nullptr, "Camera 1"); }
    // Opens and closes the camera once, so its settings hold the sensor size.
    void OpenAndClose() {
        OpenCamera("Camera 1", 1);
        d().closeXELPort(0, 1);
    }
    int Get(const char* name) {
        int value = -1;
        EXPECT_EQ(d().getProperty(0, 1, name, &value), 1) << name;
        return value;
    }
};

TEST_F(DialogTest, WithoutAScriptNoDialogIsShown) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows shows the real property sheet (driven by the gui tests)";
#endif
    OpenAndClose();
    const std::string ini = ReadIni();
    EXPECT_EQ(Configure(), 1);
    EXPECT_TRUE(log_.Contains(
        "configureCamera: no property dialog is available in this build (Camera 1 properties)\n"));
    EXPECT_EQ(ReadIni(), ini);
}

TEST_F(DialogTest, OkSavesTheEditsToTheIniFile) {
    OpenAndClose();
    Script("type 1016 42\nclick 1065\npage 1\nclick 1062\nselect 1025 1\ntype 1036 2.5\nok\n");
    EXPECT_EQ(Configure(), 0);
    const std::string ini = ReadIni();
    EXPECT_NE(ini.find(test::ProfileText("Gain=42\n")), std::string::npos) << ini;
    EXPECT_NE(ini.find(test::ProfileText("DirectionX=1\n")), std::string::npos);
    EXPECT_NE(ini.find(test::ProfileText("UseTrigger=1\n")), std::string::npos);
    EXPECT_NE(ini.find(test::ProfileText("TriggerSource=Software\n")), std::string::npos);
    EXPECT_NE(ini.find(test::ProfileText("Exposure=2.5\n")), std::string::npos);
    EXPECT_TRUE(log_.Contains("DialogScript: \"Camera 1 properties\" closed with OK\n"));
    // The camera opens with what was saved.
    OpenCamera("Camera 1", 1);
    EXPECT_EQ(Get("Gain"), 42);
    d().closeXELPort(0, 1);
}

TEST_F(DialogTest, CancelChangesNothing) {
    OpenCamera("Camera 1", 1);
    const int gain = Get("Gain");
    const std::string ini = ReadIni();
    Script("type 1016 42\npage 2\ntype 1039 3\ncancel\n");
    EXPECT_EQ(Configure(), 1);
    EXPECT_EQ(ReadIni(), ini);
    EXPECT_EQ(Get("Gain"), gain);
    d().closeXELPort(0, 1);
}

TEST_F(DialogTest, AnOutOfRangeWidthKeepsOkDisabled) {
    OpenAndClose();
    const std::string ini = ReadIni();
    Script("type 1017 5000\nok\n");
    EXPECT_EQ(Configure(), 1) << "OK could not be pressed; the script ran out";
    EXPECT_TRUE(log_.Contains(
        "DialogScript: \"Camera 1 properties\": status \"FrameGrabber Settings: Width not in "
        "range\", OK disabled\n"));
    EXPECT_TRUE(log_.Contains("DialogScript: line 2: ok (not possible, ignored)\n"));
    EXPECT_EQ(ReadIni(), ini);
}

TEST_F(DialogTest, ChosenDcfFileIsStoredRelativeToTheSystemPath) {
    OpenAndClose();
    WriteFile(dir_.File("cam.dcf"), "Width=640\nHeight=480\n");
    Script("click 1214\nfile " + dir_.File("cam.dcf") + "\nok\n");
    EXPECT_EQ(Configure(), 0);
    EXPECT_NE(ReadIni().find(test::ProfileText("DCF_FILE=" + test::NativePath("./cam.dcf") + "\n")),
              std::string::npos)
        << ReadIni();
    EXPECT_TRUE(
        log_.Contains("status \"Please close this dialog, reset all cameras and reopen "
                      "properties dialog to continue configuration\", OK enabled\n"));
}

TEST_F(DialogTest, BusyCameraWarningAnsweredFromTheScript) {
    OpenCamera("Camera 1", 1);
    ASSERT_EQ(d().setProperty(0, 1, "continuous", 1), 1);
    const std::string ini = ReadIni();

    Script("notice cancel\ntype 1016 7\nok\n");
    EXPECT_EQ(Configure(), 1);
    EXPECT_EQ(ReadIni(), ini) << "declining the warning shows no sheet";

    Script("notice ok\ntype 1016 7\nok\n");
    EXPECT_EQ(Configure(), 0);
    EXPECT_NE(ReadIni().find(test::ProfileText("Gain=7\n")), std::string::npos);
    EXPECT_EQ(Get("Gain"), 7);

    ASSERT_EQ(d().setProperty(0, 1, "continuous", 0), 1);
    d().closeXELPort(0, 1);
}

}  // namespace
}  // namespace korvane::test

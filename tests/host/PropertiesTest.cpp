// Properties, ranges and commands of an open camera, and the settings
// exchange with the digitizer at open, read back through "MdigInquire".
#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/HostFixture.h"
#include "tests/support/PlatformText.h"

namespace korvane::test {
namespace {

class PropertiesTest : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        RaiseLogLevel();
    }
    void Open(const std::string& ini = "[Camera 1]\nLogLevel=4\n", const std::string& sim = "") {
        WriteIni(ini);
        if (!sim.empty()) {
            UseSimulator(sim);
        }
        ASSERT_EQ(Initialize(), 1);
        OpenCamera("Camera 1", 2);
    }
    int Get(const char* name) {
        int value = -12345;
        EXPECT_EQ(d().getProperty(0, 2, name, &value), 1) << name;
        return value;
    }
    // What the digitizer holds for a control type, through the two-step access.
    int Inquire(int type) {
        EXPECT_EQ(d().setProperty(0, 2, "StoreValue", type), 1);
        return Get("MdigInquire");
    }
    std::string Exec(const char* command, const char* args, int size = 32) {
        std::vector<char> result(64, 'x');
        EXPECT_EQ(d().execCmd(0, 2, command, args, result.data(), size), 1);
        return std::string(result.data(), strnlen(result.data(), result.size()));
    }
};

TEST_F(PropertiesTest, SettingsRowsReadAndWrite) {
    Open();
    for (const char* name :
         {"LogLevel", "LogIntoFile", "Use16bit", "Shift16bit", "UseLUT", "Gain"}) {
        ASSERT_EQ(d().setProperty(0, 2, name, 1), 1) << name;
        EXPECT_EQ(Get(name), 1) << name;
    }
    EXPECT_TRUE(log_.Contains("setProperty: portNo=2\n"));
    EXPECT_TRUE(log_.Contains("getProperty: portNo=2, prop=Gain\n"));
    ASSERT_EQ(d().setProperty(0, 2, "gain", 77), 1);
    EXPECT_EQ(Inquire(4019), 77) << "Gain reaches the digitizer at once";
    ASSERT_EQ(d().setProperty(0, 2, "Width", 200), 1);
    EXPECT_NE(ReadIni().find("Width=200"), std::string::npos) << "Width is saved at once";
    EXPECT_EQ(Get("WIDTH"), 200);
    int value = 0;
    EXPECT_EQ(d().getProperty(0, 2, "NoSuchThing", &value), 0);
    EXPECT_EQ(d().setProperty(0, 2, "NoSuchThing", 1), 0);
    EXPECT_EQ(d().setProperty(0, 2, "MdigInquire", 1), 0) << "read-only name";
    EXPECT_EQ(d().getProperty(0, 2, "StoreValue", &value), 0) << "write-only name";
    EXPECT_EQ(d().getProperty(0, 2, "SoftwareTrigger", &value), 0);
}

TEST_F(PropertiesTest, ExposureTravelsInMillionths) {
    Open();
    ASSERT_EQ(d().setProperty(0, 2, "Exposure", 2500), 1);
    EXPECT_EQ(Get("Exposure"), 2500);
    EXPECT_EQ(Inquire(6610), 2500) << "sent back times 1,000,000";
    ASSERT_EQ(d().setProperty(0, 2, "Exposure", 249), 1);
    EXPECT_EQ(Get("Exposure"), 248) << "divided, multiplied back and truncated";
    ASSERT_EQ(d().setProperty(0, 2, "ExposureDelay", 1000), 1);
    EXPECT_EQ(Get("exposuredelay"), 1000);
}

TEST_F(PropertiesTest, RangesOfTheFourNames) {
    Open();
    int lo = -1;
    int hi = -1;
    EXPECT_EQ(d().getPropertyRange(0, 2, "gain", &lo, &hi), 1);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 255);
    EXPECT_TRUE(log_.Contains("getPropertyRange: grabberNo=0   portNo=2\n"));
    EXPECT_EQ(d().getPropertyRange(0, 2, "Shift16bit", &lo, &hi), 1);
    EXPECT_EQ(hi, 8);
    EXPECT_EQ(d().getPropertyRange(0, 2, "Exposure", &lo, &hi), 1);
    EXPECT_LE(lo, hi) << "the digitizer's limits in millionths";
    lo = hi = 99;
    EXPECT_EQ(d().getPropertyRange(0, 2, "Width", &lo, &hi), 0);
    EXPECT_EQ(lo, 99) << "unknown names leave the outputs alone";
}

// A size the digitizer cannot give is refused before it is saved: saved,
// it would make every later open of the camera fail.
TEST_F(PropertiesTest, SizesOutsideTheDigitizersAreRefusedAndNotSaved) {
    UseSimulator(SimOneBoard(1, 640, 480));
    Open("[Camera 1]\nLogLevel=1\n");
    const std::string before = ReadIni();
    EXPECT_EQ(d().setProperty(0, 2, "Width", 99999), 0);
    EXPECT_TRUE(log_.Contains(
        "MilDigitizer::SetProperty: ERROR: Width=99999 refused, out of range [10, 640]\n"));
    EXPECT_EQ(d().setProperty(0, 2, "width", 641), 0) << "one past the digitizer's width";
    EXPECT_EQ(d().setProperty(0, 2, "Height", 9), 0) << "below the catalogue's minimum";
    EXPECT_TRUE(log_.Contains(
        "MilDigitizer::SetProperty: ERROR: Height=9 refused, out of range [10, 480]\n"));
    EXPECT_EQ(d().setProperty(0, 2, "Height", -1), 0);
    EXPECT_EQ(ReadIni(), before) << "nothing saved";
    EXPECT_EQ(Get("Width"), 640);
    EXPECT_EQ(Get("Height"), 480);
    // The limits themselves are sizes the camera can give.
    ASSERT_EQ(d().setProperty(0, 2, "Width", 10), 1);
    ASSERT_EQ(d().setProperty(0, 2, "Height", 480), 1);
    EXPECT_NE(ReadIni().find(test::ProfileText("Width=10\nHeight=480\n")), std::string::npos);
    d().closeXELPort(0, 2);
    int size[2] = {0, 0};
    ASSERT_EQ(d().openXELPort(0, 2, "Camera 1", size), 1);
    EXPECT_EQ(size[0], 10);
    EXPECT_EQ(size[1], 480);
}

TEST_F(PropertiesTest, StoreValueThenMdigControl) {
    Open();
    ASSERT_EQ(d().setProperty(0, 2, "StoreValue", 5), 1);
    ASSERT_EQ(d().setProperty(0, 2, "MdigControl", 4019), 1);
    EXPECT_EQ(Inquire(4019), 5);
    EXPECT_EQ(d().setProperty(0, 2, "SoftwareTrigger", 0), 1);
}

TEST_F(PropertiesTest, LibraryErrorsOnDirectAccess) {
    Open("[Camera 1]\nLogLevel=4\n",
         SimOneBoard(1, 64, 8, 8, "FailControl=4019,4200\nFailInquire=1234\n"));
    EXPECT_TRUE(log_.Contains("ERROR: Failed to set setting Gain: MIL Error message:'"));
    EXPECT_TRUE(log_.Contains("ControlType=4019\n"));
    ASSERT_EQ(d().setProperty(0, 2, "StoreValue", 1), 1);
    EXPECT_EQ(d().setProperty(0, 2, "MdigControl", 4019), 0);
    EXPECT_TRUE(log_.Contains(
        "MilDigitizer::SetProperty: ERROR: while calling MdigControl (4019, 1). Error message:"));
    EXPECT_EQ(d().setProperty(0, 2, "SoftwareTrigger", 1), 0);
    EXPECT_TRUE(log_.Contains(
        "MilDigitizer::SetProperty: ERROR: failed issue software trigger. Error message:"));
    EXPECT_EQ(d().setProperty(0, 2, "Gain", 9), 1)
        << "settings rows answer 1 whatever the library says";
    ASSERT_EQ(d().setProperty(0, 2, "StoreValue", 1234), 1);
    int value = 0;
    EXPECT_EQ(d().getProperty(0, 2, "MdigInquire", &value), 0);
    EXPECT_TRUE(log_.Contains(
        "MilDigitizer::GetProperty ERROR calling MdigInquire (1234). Error message:"));
}

TEST_F(PropertiesTest, UserBits) {
    Open();
    EXPECT_EQ(d().setProperty(0, 2, "UserBit5", 7), 1);
    EXPECT_EQ(d().setProperty(0, 2, "userbit 4", 1), 1) << "blanks before the number are allowed";
    EXPECT_EQ(Get("UserBit1"), 1) << "input 1 loops back output 5";
    EXPECT_EQ(Get("USERBIT0"), 1);
    EXPECT_EQ(d().setProperty(0, 2, "UserBit5", 0), 1);
    EXPECT_EQ(Get("UserBit1"), 0);
    EXPECT_EQ(Get("UserBit"), 1) << "no number reads bit 0";
    int value = 0;
    EXPECT_EQ(d().setProperty(0, 2, "UserBit3", 1), 0) << "inputs cannot be set";
    EXPECT_EQ(d().setProperty(0, 2, "UserBit8", 1), 0);
    EXPECT_EQ(d().getProperty(0, 2, "UserBit4", &value), 0) << "outputs cannot be read";
}

TEST_F(PropertiesTest, ExecCmdParsesAndReports) {
    Open("[Camera 1]\nLogLevel=4\n", SimOneBoard(1, 64, 8, 8, "FailControl=4200\n"));
    EXPECT_EQ(Exec("mdigcontrol", "ControlValue=1;ControlType=4016"), "ok");
    EXPECT_EQ(Exec("MdigControl", "ControlType=4019;ControlValue=12"), "ok");
    EXPECT_EQ(Inquire(4019), 12);
    EXPECT_EQ(Exec("MdigControl", "ControlType=4019;ControlValue=3;ControlValue=4;junk;;"), "ok");
    EXPECT_EQ(Inquire(4019), 4) << "a later key replaces an earlier one";
    EXPECT_EQ(Exec("MdigControl", "controltype=4019;ControlValue=12"), "unknowncmd");
    EXPECT_EQ(Exec("Other", "ControlType=4019;ControlValue=12"), "unknowncmd");
    EXPECT_EQ(Exec("MdigControl", "ControlType=4200;ControlValue=1"), "fail");
    EXPECT_EQ(Exec("MdigControl", nullptr), "unknowncmd");
    EXPECT_EQ(Exec(nullptr, "ControlType=4019;ControlValue=1"), "unknowncmd");
    EXPECT_TRUE(log_.Contains("execCmd: leaving grabberNo=0   portNo=2\n"));
    // Small result buffers are never overrun.
    EXPECT_EQ(Exec("Other", "", 4), "unk");
    std::vector<char> result(8, 'x');
    EXPECT_EQ(d().execCmd(0, 2, "Other", "", result.data(), 0), 1);
    EXPECT_EQ(result[0], 'x');
}

TEST_F(PropertiesTest, ExchangeAtOpenFollowsTheIniAndTheTriggerRule) {
    Open(
        "[Camera "
        "1]\nLogLevel=4\nTriggerSource=Software\nTriggerMode=Rising\nDirectionY=1\nUseTrigger=1\n"
        "StateOfStrobeTimer=1\nAuxOut5=Strobe\nAuxInDebounce2=1.000000\n");
    EXPECT_TRUE(log_.Contains("MilDigitizer::ParamControl(4053): TriggerSource=Software(20)"));
    EXPECT_FALSE(log_.Contains("ParamControl(4054)"))
        << "the edge is only sent for the hardware port";
    EXPECT_EQ(Inquire(4231), 4) << "a set direction flag is sent as 4";
    EXPECT_EQ(Inquire(4230), 1);
    EXPECT_EQ(Inquire(4200), -9997);
    EXPECT_EQ(Inquire(4152), -9997);
    EXPECT_TRUE(log_.Contains("MilDigitizer::ParamSysControl(536870917): AuxOut5=Strobe(4152)"));
    // The board control type is printed as the system's long: 0xD0000002 is
    // negative where long has 32 bits (Windows).
    EXPECT_TRUE(log_.Contains("MilDigitizer::ParamSysControl(" +
                              std::to_string(static_cast<long>(0xD0000002LL)) +
                              "): AuxInDebounce2=1.000000(1000000)"));
    d().closeXELPort(0, 2);
    WriteIni("[Camera 1]\nLogLevel=4\nTriggerMode=Rising\n");
    OpenCamera("Camera 1", 2);
    EXPECT_TRUE(log_.Contains("MilDigitizer::ParamControl(4054): TriggerMode=Rising(12)"));
}

TEST_F(PropertiesTest, FailedTriggerInquiryLeavesTriggerOff) {
    Open("[Camera 1]\nLogLevel=4\n", SimOneBoard(1, 64, 8, 8, "FailInquire=4200\n"));
    EXPECT_TRUE(log_.Contains("ERROR: Failed inquire setting TriggerEnabled: MIL Error message:'"));
    EXPECT_TRUE(log_.Contains("MilDigitizer::ParamControl(4200): TriggerEnabled=-9999"))
        << "UseTrigger stayed 0 and was sent as off";
    EXPECT_TRUE(log_.Contains("openXELPort: -- Camera Camera 1 OPENED on port 2\n"));
}

}  // namespace
}  // namespace korvane::test

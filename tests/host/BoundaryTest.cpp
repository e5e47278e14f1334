// The driver as a host sees it before any camera is open: the export table,
// the fixed answers, the argument checks and the exception paths.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <sstream>

#include "tests/support/HostFixture.h"

namespace korvane::test {
namespace {

class BoundaryTest : public HostTest {};

TEST(ExportTable, ExactlyTheNineteenExports) {
    const std::set<std::string> expected = {"initialize",
                                            "finalize",
                                            "setSystemPath",
                                            "setDebugMsgProc",
                                            "configureCamera",
                                            "getXELMaxNoOfGrabbers",
                                            "getXELMaxNoOfPorts",
                                            "getXELNoOfSupportedCameras",
                                            "getXELCameraConfigNames",
                                            "openXELPort",
                                            "closeXELPort",
                                            "doXELGrab",
                                            "getXELGrabRow",
                                            "setHWTrigger",
                                            "setCompleteCallback",
                                            "getPropertyRange",
                                            "getProperty",
                                            "setProperty",
                                            "execCmd"};
    std::set<std::string> functions;
    std::istringstream table(ExportedSymbolTable());
    std::string name;
    std::string type;
    std::string rest;
    while (table >> name >> type && std::getline(table, rest)) {
        // Only the code and data the library defines itself count.
        if (type == "T" || type == "D" || type == "B" || type == "R" || type == "W" ||
            type == "V" || type == "i" || type == "u") {
            functions.insert(name);
        }
    }
    EXPECT_EQ(functions, expected);
}

TEST_F(BoundaryTest, FixedAnswersHoldBeforeInitialize) {
    EXPECT_EQ(d().getXELMaxNoOfGrabbers(), 1);
    EXPECT_EQ(d().getXELMaxNoOfPorts(), 20);
    EXPECT_EQ(d().setHWTrigger(0, 0, 1), 1);
    EXPECT_TRUE(log_.Contains("setHWTrigger: \n"));
    int value = 0;
    EXPECT_EQ(d().getProperty(0, 7, "pixelsize", &value), 1);
    EXPECT_EQ(value, 8);
    value = 0;
    EXPECT_EQ(d().getProperty(0, -42, "PIXELSIZE", &value), 1) << "any port, open or not";
    EXPECT_EQ(value, 8);
    EXPECT_FALSE(log_.Contains("getProperty: portNo")) << "PixelSize is answered without a line";
}

TEST_F(BoundaryTest, InitializeLogsVersionAndSurvivesNoBoards) {
    UseSimulator("[System0]\nDescriptor=M_SYSTEM_UNKNOWN_BOARD\nDigitizers=1\n");
    EXPECT_EQ(Initialize(), 1);
    EXPECT_EQ(log_.Count("initialize: Mil camera driver V1,0,0,1, "), 1u);
    EXPECT_EQ(d().getXELNoOfSupportedCameras(), 0);
    char** names = d().getXELCameraConfigNames();
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(names[0], nullptr);
}

TEST_F(BoundaryTest, SetSystemPathRefusesNullAndEmpty) {
    EXPECT_EQ(d().setSystemPath(nullptr), 0);
    EXPECT_EQ(d().setSystemPath(""), 0);
    EXPECT_EQ(d().setSystemPath(systemPath().c_str()), 1);
}

TEST_F(BoundaryTest, OpenRefusesUndefinedAndUnknownNames) {
    UseSimulator(SimOneBoard());
    ASSERT_EQ(Initialize(), 1);
    int size[2] = {5, 5};
    for (const char* name :
         {"Undefined", "UNDEFINED", "undefined", "", static_cast<const char*>(nullptr)}) {
        size[0] = size[1] = 5;
        EXPECT_EQ(d().openXELPort(0, 1, name, size), 0);
        EXPECT_EQ(size[0], 0);
        EXPECT_EQ(size[1], 0);
    }
    EXPECT_EQ(log_.Count("openXELPort: ERROR: undefined camera, grabberNo=0, portNo=1"), 5u);
    EXPECT_EQ(d().openXELPort(0, 1, "camera 1", size), 0) << "names are matched with letter case";
    EXPECT_TRUE(log_.Contains("openXELPort: ERROR: cannot find camera by name:camera 1\n"));
    EXPECT_EQ(d().openXELPort(0, 1, "Camera 1", nullptr), 0);
    EXPECT_TRUE(log_.Contains("openXELPort: ERROR: image size output not supplied"));
}

TEST_F(BoundaryTest, UnknownPortsEndInTheExceptionPaths) {
    UseSimulator(SimOneBoard());
    ASSERT_EQ(Initialize(), 1);
    d().closeXELPort(0, 9);
    const int exception = log_.IndexOf("closeXELPort: --EXCEPTION caught  grabberNo=0, portNo=9\n");
    const int normal = log_.IndexOf("closeXELPort: grabberNo=0, portNo=9\n");
    ASSERT_GE(exception, 0);
    EXPECT_GT(normal, exception) << "the normal line follows the exception line";
    EXPECT_TRUE(log_.Contains("MilApp::GetByPort: ERROR: could not find camera on port 9\n"));

    EXPECT_EQ(d().doXELGrab(0, 9), 0);
    EXPECT_TRUE(log_.Contains("doXELGrab: --EXCEPTION caught  grabberNo=0 portNo=9\n"));
    unsigned char row[16];
    EXPECT_EQ(d().getXELGrabRow(0, 9, row, 0, 0, 15), 0);
    EXPECT_TRUE(log_.Contains("getXELGrabRow: --EXCEPTION caught \n"));
    EXPECT_EQ(d().setCompleteCallback(0, 9, nullptr), 0);
    EXPECT_TRUE(log_.Contains("setCompleteCallback: --EXCEPTION caught \n"));
    int lo = 0;
    int hi = 0;
    EXPECT_EQ(d().getPropertyRange(0, 9, "Gain", &lo, &hi), 0);
    EXPECT_TRUE(log_.Contains("getPropertyRange: --EXCEPTION caught \n"));
    EXPECT_EQ(d().getProperty(0, 9, "Gain", &lo), 0);
    EXPECT_TRUE(log_.Contains("--EXCEPTION caught at getProperty\n"));
    EXPECT_EQ(d().setProperty(0, 9, "Gain", 3), 0);
    EXPECT_TRUE(log_.Contains("setProperty: --EXCEPTION caught \n"));
}

TEST_F(BoundaryTest, ExecCmdOnUnknownPortWritesErrorWithinTheBuffer) {
    UseSimulator(SimOneBoard());
    ASSERT_EQ(Initialize(), 1);
    char result[16];
    std::memset(result, 'x', sizeof result);
    EXPECT_EQ(d().execCmd(0, 9, "MdigControl", "", result, sizeof result), 0);
    EXPECT_STREQ(result, "error");
    EXPECT_TRUE(log_.Contains("execCmd: entering grabberNo=0   portNo=9\n"));
    EXPECT_TRUE(log_.Contains("execCmd: --EXCEPTION caught \n"));

    // Short buffers are cut, never overrun, and stay terminated.
    char small[8];
    std::memset(small, 'x', sizeof small);
    EXPECT_EQ(d().execCmd(0, 9, "MdigControl", "", small, 3), 0);
    EXPECT_STREQ(small, "er");
    EXPECT_EQ(small[3], 'x');
    std::memset(small, 'x', sizeof small);
    EXPECT_EQ(d().execCmd(0, 9, "MdigControl", "", small, 0), 0);
    EXPECT_EQ(small[0], 'x');
    EXPECT_EQ(d().execCmd(0, 9, "MdigControl", "", nullptr, 10), 0);
}

TEST_F(BoundaryTest, NullArgumentsAreRefusedWithALine) {
    UseSimulator(SimOneBoard());
    ASSERT_EQ(Initialize(), 1);
    int value = 0;
    EXPECT_EQ(d().getProperty(0, 1, nullptr, &value), 0);
    EXPECT_TRUE(log_.Contains("getProperty: ERROR: property name not supplied"));
    EXPECT_EQ(d().getProperty(0, 1, "Gain", nullptr), 0);
    EXPECT_TRUE(log_.Contains("getProperty: ERROR: value output not supplied"));
    EXPECT_EQ(d().setProperty(0, 1, nullptr, 1), 0);
    EXPECT_TRUE(log_.Contains("setProperty: ERROR: property name not supplied"));
    EXPECT_EQ(d().getPropertyRange(0, 1, "Gain", nullptr, &value), 0);
    EXPECT_TRUE(log_.Contains("getPropertyRange: ERROR: range output not supplied"));
    EXPECT_EQ(d().configureCamera(nullptr, nullptr), 0);
    EXPECT_TRUE(log_.Contains("configureCamera: ERROR: cannot find camera by name: (null)\n"));
    d().finalize();
    d().setDebugMsgProc(nullptr);
    EXPECT_EQ(d().initialize(nullptr, nullptr), 1) << "a null path and callback are allowed";
    EXPECT_EQ(d().getXELNoOfSupportedCameras(), 2);
}

TEST_F(BoundaryTest, SecondInitializeWithoutFinalizeStartsOver) {
    ASSERT_EQ(Initialize(), 1);
    ASSERT_EQ(Initialize(), 1);
    EXPECT_TRUE(log_.Contains("MilApp::Init: WARNING: already initialized"));
    EXPECT_EQ(d().getXELNoOfSupportedCameras(), 2) << "the cameras are enumerated afresh";
    EXPECT_EQ(d().finalize(), 1);
    EXPECT_EQ(Initialize(), 1);
    EXPECT_EQ(d().getXELNoOfSupportedCameras(), 2) << "nothing of the first run was leaked";
}

TEST_F(BoundaryTest, ConfigureUnknownCameraAnswersZero) {
    UseSimulator(SimOneBoard());
    ASSERT_EQ(Initialize(), 1);
    EXPECT_EQ(d().configureCamera(nullptr, "Camera 9"), 0);
    EXPECT_TRUE(log_.Contains("configureCamera: ERROR: cannot find camera by name: Camera 9\n"));
}

TEST_F(BoundaryTest, FinalizeWithoutInitializeAndTwice) {
    EXPECT_EQ(d().finalize(), 1);
    EXPECT_EQ(d().finalize(), 1);
    EXPECT_EQ(log_.Count("finalize\n"), 2u);
    EXPECT_EQ(d().getXELNoOfSupportedCameras(), 0);
}

}  // namespace
}  // namespace korvane::test

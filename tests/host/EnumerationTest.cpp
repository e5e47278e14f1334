// Finding boards and cameras through the exports, with the simulator
// standing in for the installed boards.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/HostFixture.h"

namespace korvane::test {
namespace {

class EnumerationTest : public HostTest {
  protected:
    std::vector<std::string> Names() {
        std::vector<std::string> names;
        char** list = d().getXELCameraConfigNames();
        for (int i = 0; list != nullptr && list[i] != nullptr; ++i) {
            names.emplace_back(list[i]);
        }
        return names;
    }
};

std::string Board(int index, const std::string& descriptor, int digitizers,
                  const std::string& extra = "") {
    return "[System" + std::to_string(index) + "]\nDescriptor=" + descriptor + "\nSerial=SN-" +
           std::to_string(index) + "\nDigitizers=" + std::to_string(digitizers) + "\n" + extra;
}

TEST_F(EnumerationTest, BuiltInDefaultHasTwoCameras) {
    ASSERT_EQ(Initialize(), 1);
    EXPECT_EQ(d().getXELNoOfSupportedCameras(), 2);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Camera 1", "Camera 2"}));
    EXPECT_TRUE(log_.Contains("MilApp::Init: enter\n"));
    EXPECT_TRUE(log_.Contains("MilApp::Init: 1 M_SYSTEM_SOLIOS board(s) found\n"));
    EXPECT_TRUE(log_.Contains("MilSystem::Init: digitizer count:2\n"));
    EXPECT_TRUE(
        log_.Contains("MilSystem::Init: board num:0 M_Default:0 M_Dev_0:1 M_Dev1:0 M_Dev2:0\n"));
}

TEST_F(EnumerationTest, TwoBoardsOfOneDescriptor) {
    UseSimulator(Board(0, "M_SYSTEM_SOLIOS", 1) + Board(1, "M_SYSTEM_SOLIOS", 2));
    ASSERT_EQ(Initialize(), 1);
    EXPECT_EQ(log_.Count("board(s) found"), 1u);
    EXPECT_TRUE(log_.Contains("MilApp::Init: 2 M_SYSTEM_SOLIOS board(s) found\n"));
    EXPECT_TRUE(log_.Contains("Board serial #:SN-0\n"));
    EXPECT_TRUE(log_.Contains("Board serial #:SN-1\n"));
    EXPECT_TRUE(
        log_.Contains("MilSystem::Init: board num:1 M_Default:0 M_Dev_0:1 M_Dev1:1 M_Dev2:0\n"));
    EXPECT_EQ(Names(), (std::vector<std::string>{"Camera 1", "Camera 1", "Camera 2"}));
    EXPECT_EQ(d().getXELNoOfSupportedCameras(), 3);
}

TEST_F(EnumerationTest, DescriptorsMatchBySubstringAndCountOnceAsThemselves) {
    UseSimulator(Board(0, "M_SYSTEM_SOLIOS_GIGE", 1) + Board(1, "M_SYSTEM_FANCY_NEW", 1) +
                 Board(2, "M_SYSTEM_METEOR_II_CL", 1));
    RaiseLogLevel();
    ASSERT_EQ(Initialize(), 1);
    EXPECT_TRUE(log_.Contains("MilApp::Init: M_SYSTEM_SOLIOS_GIGE system found\n"));
    EXPECT_EQ(log_.Count("M_SYSTEM_SOLIOS_GIGE system found"), 1u);
    EXPECT_TRUE(log_.Contains("MilApp::Init: M_SYSTEM_FANCY_NEW system not supported, skiped\n"));
    // The map walk runs in byte order: METEOR before SOLIOS.
    const int meteor = log_.IndexOf("1 M_SYSTEM_METEOR_II_CL board(s) found");
    const int solios = log_.IndexOf("1 M_SYSTEM_SOLIOS_GIGE board(s) found");
    ASSERT_GE(meteor, 0);
    EXPECT_GT(solios, meteor);
    EXPECT_EQ(d().getXELNoOfSupportedCameras(), 2);
}

TEST_F(EnumerationTest, NoAsyncSupportStopsTheEnumeration) {
    UseSimulator(Board(0, "M_SYSTEM_HELIOS", 1) + Board(1, "M_SYSTEM_IRIS", 1, "AsyncSupport=0\n") +
                 Board(2, "M_SYSTEM_SOLIOS", 1));
    EXPECT_EQ(Initialize(), 1);
    EXPECT_TRUE(log_.Contains("MilSystem::Init: ERROR: No async support\n"));
    EXPECT_FALSE(log_.Contains("1 M_SYSTEM_SOLIOS board(s) found")) << "later boards not reached";
    EXPECT_EQ(d().getXELNoOfSupportedCameras(), 1) << "the board before the failure stays";
}

TEST_F(EnumerationTest, AllocationFailuresStillAnswerOne) {
    UseSimulator("[Application]\nFailMappAlloc=1\n" + Board(0, "M_SYSTEM_SOLIOS", 2));
    EXPECT_EQ(Initialize(), 1);
    EXPECT_TRUE(log_.Contains("MilApp::Init: ERROR: MappAlloc failed, MIL Error message:'"));
    EXPECT_EQ(d().getXELNoOfSupportedCameras(), 0);
    d().finalize();

    log_.Clear();
    UseSimulator(Board(0, "M_SYSTEM_SOLIOS", 2, "FailMsysAlloc=1\n"));
    EXPECT_EQ(Initialize(), 1);
    EXPECT_TRUE(log_.Contains("MilSystem::Init: ERROR: MsysAlloc failed, MIL Error message:'"));
    EXPECT_EQ(d().getXELNoOfSupportedCameras(), 0);
}

TEST_F(EnumerationTest, FinalizeThenInitializeAgain) {
    ASSERT_EQ(Initialize(), 1);
    char** first = d().getXELCameraConfigNames();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(d().finalize(), 1);
    EXPECT_TRUE(log_.Contains("MilApp::~MilSolios\n"));
    EXPECT_TRUE(log_.Contains("MilApp::DestroySolios\n"));
    EXPECT_EQ(d().getXELNoOfSupportedCameras(), 0) << "no cameras after finalize";
    EXPECT_EQ(Initialize(), 1);
    EXPECT_EQ(d().getXELNoOfSupportedCameras(), 2);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Camera 1", "Camera 2"}));
}

TEST_F(EnumerationTest, PortMinusOneReachesTheFirstClosedCamera) {
    ASSERT_EQ(Initialize(), 1);
    int size[2] = {1, 1};
    EXPECT_EQ(d().openXELPort(0, -1, "Camera 1", size), 0);
    EXPECT_TRUE(log_.Contains("openXELPort: ERROR: port -1 already in use\n"));
    EXPECT_EQ(d().doXELGrab(0, -1), 0);
    EXPECT_TRUE(log_.Contains("MilDigitizer::Grab: ERROR: camera not opened, on port=-1\n"));
}

}  // namespace
}  // namespace korvane::test

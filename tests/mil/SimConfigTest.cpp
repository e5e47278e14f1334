#include <gtest/gtest.h>

#include <cstdlib>

#include "driver/DriverLog.h"
#include "mil/sim/IniReader.h"
#include "mil/sim/SimConfig.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TempDir.h"

namespace korvane::mil::sim {
namespace {

SimConfig Parse(const std::string& text, std::vector<ConfigProblem>& problems) {
    return ParseConfig(text, problems);
}

bool HasProblemOnLine(const std::vector<ConfigProblem>& problems, int line) {
    for (const auto& p : problems) {
        if (p.line == line) {
            return true;
        }
    }
    return false;
}

TEST(SimConfig, BuiltInDefaultIsOneSoliosWithTwo8BitCameras) {
    const SimConfig config = DefaultConfig();
    ASSERT_EQ(config.systems.size(), 1u);
    const SystemConfig& s = config.systems[0];
    EXPECT_EQ(s.descriptor, "M_SYSTEM_SOLIOS");
    EXPECT_EQ(s.serial, "SIM-0001");
    EXPECT_TRUE(s.asyncSupport);
    ASSERT_EQ(s.digitizers.size(), 2u);
    for (const auto& d : s.digitizers) {
        EXPECT_EQ(d.width, 1280);
        EXPECT_EQ(d.height, 960);
        EXPECT_EQ(d.bits, 8);
        EXPECT_EQ(d.frameTimeMs, 0);
    }
    EXPECT_FALSE(config.failAppAlloc);
}

TEST(SimConfig, ReadsEveryKeyIncludingFaults) {
    std::vector<ConfigProblem> problems;
    const SimConfig config = Parse(
        "[Application]\n"
        "FailMappAlloc=1\n"
        "[System1]            ; listed after System0 whatever the file order\n"
        "Descriptor=M_SYSTEM_RADIENT\n"
        "Digitizers=1\n"
        "FailMbufAlloc=1\n"
        "[System0]\n"
        "descriptor = M_SYSTEM_SOLIOS_GIGE\n"
        "Serial=ABC-42\n"
        "AsyncSupport=0\n"
        "Digitizers=3\n"
        "FailMsysAlloc=1\n"
        "[System0.Digitizer2]\n"
        "Width=640\r\n"
        "Height=480\n"
        "Bits=16\n"
        "FrameTimeMs=25\n"
        "FailMdigAlloc=1\n"
        "SizeZero=1\n"
        "FailGrabEvery=4\n"
        "HangGrabMs=5000\n"
        "FailControl=4019, 6610\n"
        "FailInquire=4200,0xA8000001\n"
        "# a comment line\n",
        problems);
    EXPECT_TRUE(problems.empty()) << problems.front().line << ": " << problems.front().message;
    EXPECT_TRUE(config.failAppAlloc);
    ASSERT_EQ(config.systems.size(), 2u);

    const SystemConfig& s0 = config.systems[0];
    EXPECT_EQ(s0.descriptor, "M_SYSTEM_SOLIOS_GIGE");
    EXPECT_EQ(s0.serial, "ABC-42");
    EXPECT_FALSE(s0.asyncSupport);
    EXPECT_TRUE(s0.failAlloc);
    EXPECT_FALSE(s0.failBufferAlloc);
    ASSERT_EQ(s0.digitizers.size(), 3u);
    const DigitizerConfig& d = s0.digitizers[2];
    EXPECT_EQ(d.width, 640);
    EXPECT_EQ(d.height, 480);
    EXPECT_EQ(d.bits, 16);
    EXPECT_EQ(d.frameTimeMs, 25);
    EXPECT_TRUE(d.failAlloc);
    EXPECT_TRUE(d.sizeZero);
    EXPECT_EQ(d.failGrabEvery, 4);
    EXPECT_EQ(d.hangGrabMs, 5000);
    EXPECT_EQ(d.failControl, (std::set<MilInt>{4019, 6610}));
    EXPECT_EQ(d.failInquire, (std::set<MilInt>{4200, 0xA8000001}));
    EXPECT_EQ(s0.digitizers[0].width, 1280);  // untouched digitizers keep the defaults

    const SystemConfig& s1 = config.systems[1];
    EXPECT_EQ(s1.descriptor, "M_SYSTEM_RADIENT");
    EXPECT_EQ(s1.serial, "SIM-0002");
    EXPECT_TRUE(s1.failBufferAlloc);
    EXPECT_EQ(s1.digitizers.size(), 1u);
}

TEST(SimConfig, MalformedLinesAreReportedWithTheirLineAndKeepDefaults) {
    std::vector<ConfigProblem> problems;
    const SimConfig config = Parse(
        "Stray=1\n"               // 1: outside any section
        "[System0]\n"             // 2
        "Digitizers=two\n"        // 3: not a number
        "AsyncSupport=2\n"        // 4: not 0 or 1
        "just some words\n"       // 5: not key=value
        "Colour=blue\n"           // 6: unknown key
        "[System0.Digitizer0]\n"  // 7
        "Bits=12\n"               // 8: not 8 or 16
        "Width=-5\n"              // 9: out of range
        "FailControl=4019,x\n"    // 10: bad list
        "Height=480\n"            // 11: fine
        "[System0.Digitizer9]\n"  // 12: beyond the digitizer count
        "Width=1\n"               // 13
        "[System7.Digitizer0]\n"  // 14: system not configured
        "[Bogus\n"                // 15: broken header
        "Width=2\n"               // 16: belongs to the broken header, ignored
        "[Mystery]\n",            // 17: unknown section
        problems);
    for (int line : {1, 3, 4, 5, 6, 8, 9, 10, 12, 14, 15, 17}) {
        EXPECT_TRUE(HasProblemOnLine(problems, line)) << "line " << line;
    }
    for (int line : {2, 7, 11, 13, 16}) {
        EXPECT_FALSE(HasProblemOnLine(problems, line)) << "line " << line;
    }
    ASSERT_EQ(config.systems.size(), 1u);
    EXPECT_TRUE(config.systems[0].asyncSupport);
    ASSERT_EQ(config.systems[0].digitizers.size(), 2u);
    const DigitizerConfig& d = config.systems[0].digitizers[0];
    EXPECT_EQ(d.bits, 8);
    EXPECT_EQ(d.width, 1280);
    EXPECT_EQ(d.height, 480);
    EXPECT_TRUE(d.failControl.empty());
}

TEST(SimConfig, WithoutBoardSectionsTheDefaultBoardIsTuned) {
    std::vector<ConfigProblem> problems;
    const SimConfig config = Parse("[System0.Digitizer1]\nFrameTimeMs=7\n", problems);
    EXPECT_TRUE(problems.empty());
    ASSERT_EQ(config.systems.size(), 1u);
    EXPECT_EQ(config.systems[0].descriptor, "M_SYSTEM_SOLIOS");
    EXPECT_EQ(config.systems[0].digitizers.at(1).frameTimeMs, 7);
}

TEST(SimConfig, OverlongDescriptorIsRefused) {
    std::vector<ConfigProblem> problems;
    const SimConfig config =
        Parse("[System0]\nDescriptor=" + std::string(kDescriptorSize, 'A') + "\n", problems);
    EXPECT_TRUE(HasProblemOnLine(problems, 2));
    EXPECT_EQ(config.systems.at(0).descriptor, "M_SYSTEM_SOLIOS");
}

TEST(IniReader, ParsesIntegersStrictly) {
    long long v = 0;
    EXPECT_TRUE(ParseInteger("42", 0, 100, v));
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(ParseInteger("-7", -10, 0, v));
    EXPECT_EQ(v, -7);
    EXPECT_TRUE(ParseInteger("0xA4000004", 0, 0xFFFFFFFF, v));
    EXPECT_EQ(v, 0xA4000004);
    for (const char* bad :
         {"", "+", "-", "12a", " 1", "0x", "--1", "+-1", "101", "-11", "99999999999999999999999"}) {
        EXPECT_FALSE(ParseInteger(bad, -10, 100, v)) << bad;
    }
}

class SimConfigFile : public ::testing::Test {
  protected:
    void SetUp() override {
        unsetenv("KORVANE_SIM_CONFIG");
        DriverLog::Instance().ResetForTesting();
        DriverLog::Instance().SetMessageProc(&test::LogCapture::Callback);
    }
    void TearDown() override {
        unsetenv("KORVANE_SIM_CONFIG");
        DriverLog::Instance().ResetForTesting();
    }
    test::TempDir dir_;
    test::LogCapture log_;
};

TEST_F(SimConfigFile, EnvironmentFileWinsAndProblemsAreLoggedWithFileAndLine) {
    const std::string path = dir_.File("custom.ini");
    test::WriteFile(path, "[System0]\nDigitizers=1\nBits=9\n");
    DriverLog::Instance().SetSystemPath(dir_.path().c_str());
    test::WriteFile(dir_.File("KorvaneSim.ini"), "[System0]\nDigitizers=4\n");
    setenv("KORVANE_SIM_CONFIG", path.c_str(), 1);

    const SimConfig config = LoadConfig();
    EXPECT_EQ(config.source, path);
    EXPECT_EQ(config.systems.at(0).digitizers.size(), 1u);
    const int index = log_.IndexOf(path + " line 3");
    ASSERT_GE(index, 0);
    EXPECT_NE(log_.Messages()[static_cast<std::size_t>(index)].find("WARNING"), std::string::npos);
}

TEST_F(SimConfigFile, SystemPathFileIsUsedWithoutTheVariable) {
    DriverLog::Instance().SetSystemPath(dir_.path().c_str());
    test::WriteFile(dir_.File("KorvaneSim.ini"), "[System0]\nDigitizers=4\n");
    const SimConfig config = LoadConfig();
    EXPECT_EQ(config.source, dir_.File("KorvaneSim.ini"));
    EXPECT_EQ(config.systems.at(0).digitizers.size(), 4u);
}

TEST_F(SimConfigFile, MissingFilesGiveTheDefault) {
    DriverLog::Instance().SetSystemPath(dir_.path().c_str());
    SimConfig config = LoadConfig();  // no KorvaneSim.ini: silently the default
    EXPECT_EQ(config.source, "");
    EXPECT_EQ(config.systems.at(0).digitizers.size(), 2u);
    EXPECT_FALSE(log_.Contains("WARNING"));

    setenv("KORVANE_SIM_CONFIG", dir_.File("absent.ini").c_str(), 1);
    config = LoadConfig();  // a named file that is missing is worth a warning
    EXPECT_EQ(config.source, "");
    EXPECT_TRUE(log_.Contains(dir_.File("absent.ini")));
}

}  // namespace
}  // namespace korvane::mil::sim

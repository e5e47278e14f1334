// A 16-bit camera delivering rows through a look-up table, end to end: the
// LUT file written by korvane-lut or by hand, read at open, applied per row.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "tests/support/GrabWaiter.h"
#include "tests/support/HostFixture.h"
#include "tests/support/RunTool.h"

namespace korvane::test {
namespace {

class LutTest : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        RaiseLogLevel();
        UseSimulator(SimOneBoard(1, 128, 8, 16));
    }
    void OpenAndGrab(const std::string& ini) {
        WriteIni(ini);
        ASSERT_EQ(Initialize(), 1);
        OpenCamera("Camera 1", 1);
        ASSERT_EQ(d().setCompleteCallback(0, 1, &GrabWaiter::Callback), 1);
        ASSERT_EQ(d().doXELGrab(0, 1), 1);
        ASSERT_TRUE(waiter_.WaitFor(1));
    }
    static int Ramp16(int x, int y, int n) { return (37 * x + 101 * y + 1009 * n) % 65536; }
    GrabWaiter waiter_;
};

// The generator's curve for LSB 0, MSB 15, steepness 1.
int Curve(int x) {
    const double lo = 0;
    const double hi = 32767;
    const double xc = x < lo ? lo : (x > hi ? hi : x);
    return static_cast<int>((std::log(xc - lo + 1) - std::log(1.0)) /
                                (std::log(hi - lo + 1) - std::log(1.0)) * 255 +
                            0.5);
}

TEST_F(LutTest, GeneratedLutMapsTheRampEndToEnd) {
    const std::string lut = dir_.File("curve.csv");
    ASSERT_EQ(test::RunTool("korvane-lut",
                            {"--lsb", "0", "--msb", "15", "--steepness", "1", "--out", lut}),
              0);
    OpenAndGrab("[Camera 1]\nLogLevel=4\nUse16bit=1\nUseLUT=1\nLUT_FILE=" + lut +
                "\nlutcolumn=ln\n");
    EXPECT_FALSE(log_.Contains("Disabling LUT"));
    for (int y : {0, 5}) {
        const auto row = Row(1, y, 0, 127);
        ASSERT_EQ(row.size(), 128u);
        for (int x = 0; x < 128; ++x) {
            ASSERT_EQ(row[x], Curve(Ramp16(x, y, 1))) << x << "," << y;
        }
    }
    // Switched off while open, rows go back to the low byte.
    ASSERT_EQ(d().setProperty(0, 1, "UseLUT", 0), 1);
    const auto plain = Row(1, 2, 0, 127);
    for (int x = 0; x < 128; ++x) {
        ASSERT_EQ(plain[x], Ramp16(x, 2, 1) & 0xFF);
    }
}

TEST_F(LutTest, OutputsAboveByteRangeArriveAsTheirLowByte) {
    // Every input maps to 300 + input: the host receives (300 + input) mod 256.
    std::string text = "LN;big;other\n";
    for (int x = 0; x < 65536; ++x) {
        text += std::to_string(x) + ";" + std::to_string(300 + x) + ";1\n";
    }
    text += "70000;5;5\n";  // outside the table: skipped
    WriteFile(dir_.File("big.csv"), text);
    OpenAndGrab("[Camera 1]\nLogLevel=4\nUse16bit=1\nUseLUT=1\nLUT_FILE=" + dir_.File("big.csv") +
                "\nlutcolumn=big\n");
    const auto row = Row(1, 1, 0, 127);
    for (int x = 0; x < 128; ++x) {
        ASSERT_EQ(row[x], (300 + Ramp16(x, 1, 1)) & 0xFF) << x;
    }
}

TEST_F(LutTest, UnusableFileDisablesTheLutAndClosePersistsIt) {
    WriteFile(dir_.File("bad.csv"), "LN;ln\n0;1\n\n1;2\n");  // a blank line makes it unusable
    OpenAndGrab("[Camera 1]\nLogLevel=4\nUse16bit=1\nUseLUT=1\nLUT_FILE=" + dir_.File("bad.csv") +
                "\nlutcolumn=ln\n");
    EXPECT_TRUE(log_.Contains(
        "MilDigitizer::ApplyLut: WARNING: Unrecognized/incorrect csv file. Disabling LUT\n"));
    int use = -1;
    EXPECT_EQ(d().getProperty(0, 1, "UseLUT", &use), 1);
    EXPECT_EQ(use, 0);
    const auto row = Row(1, 0, 0, 127);
    EXPECT_EQ(row[3], Ramp16(3, 0, 1) & 0xFF);
    d().closeXELPort(0, 1);
    EXPECT_NE(ReadIni().find("UseLUT=0"), std::string::npos);
}

TEST_F(LutTest, ColumnNamesMatchExactly) {
    WriteFile(dir_.File("gamma.csv"), "LN;ln;gamma\n0;1;2\n1;1;2\n");
    OpenAndGrab("[Camera 1]\nLogLevel=4\nUse16bit=1\nUseLUT=1\nLUT_FILE=" + dir_.File("gamma.csv") +
                "\nlutcolumn=Gamma\n");
    EXPECT_TRUE(log_.Contains("Disabling LUT"));
}

}  // namespace
}  // namespace korvane::test

#include <gtest/gtest.h>

#include "mil/sim/SimFrame.h"
#include "tests/mil/SimTestSupport.h"

namespace korvane::test {
namespace {

using SimFrame = SimTest;

TEST_F(SimFrame, EightBitRampFollowsOffsetsAndFrameNumber) {
    App();
    const MilId sys = System();
    const MilId dig = Digitizer(sys);
    ASSERT_NE(dig, 0);
    api().MdigControl(dig, mil::M_SOURCE_OFFSET_X, 10);
    api().MdigControl(dig, mil::M_SOURCE_OFFSET_Y, 7);
    ASSERT_FALSE(Failed()) << ErrorText();
    const MilId buf = Buffer(sys, 100, 50);
    ASSERT_TRUE(Grab(dig, buf));
    ASSERT_TRUE(Grab(dig, buf));  // frame 2
    for (int y : {0, 1, 49}) {
        const auto row = Row8(buf, y, 100);
        for (int x : {0, 1, 99}) {
            EXPECT_EQ(row[static_cast<std::size_t>(x)], Ramp8(10 + x, 7 + y, 2)) << x << "," << y;
        }
    }
}

TEST_F(SimFrame, MirrorsWithinTheGrabbedSize) {
    App();
    const MilId sys = System();
    const MilId dig = Digitizer(sys);
    api().MdigControl(dig, mil::M_SOURCE_OFFSET_X, 3);
    api().MdigControl(dig, mil::M_GRAB_DIRECTION_X, mil::M_DIRECTION_REVERSE);
    api().MdigControl(dig, mil::M_GRAB_DIRECTION_Y, mil::M_DIRECTION_REVERSE);
    ASSERT_FALSE(Failed()) << ErrorText();
    const MilId buf = Buffer(sys, 40, 30);
    ASSERT_TRUE(Grab(dig, buf));
    // Image (x, y) shows sensor (3 + 39 - x, 29 - y).
    EXPECT_EQ(Row8(buf, 0, 40)[0], Ramp8(3 + 39, 29, 1));
    EXPECT_EQ(Row8(buf, 29, 40)[39], Ramp8(3, 0, 1));
    EXPECT_EQ(Row8(buf, 10, 40)[5], Ramp8(3 + 34, 19, 1));

    // Forward again: no mirror.
    api().MdigControl(dig, mil::M_GRAB_DIRECTION_X, mil::M_DIRECTION_FORWARD);
    api().MdigControl(dig, mil::M_GRAB_DIRECTION_Y, mil::M_DIRECTION_FORWARD);
    ASSERT_TRUE(Grab(dig, buf));
    EXPECT_EQ(Row8(buf, 0, 40)[0], Ramp8(3, 0, 2));
}

TEST_F(SimFrame, SixteenBitRampWithOffsetsAndFlip) {
    UseConfig("[System0.Digitizer0]\nBits=16\nWidth=64\nHeight=48\n");
    App();
    const MilId sys = System();
    const MilId dig = Digitizer(sys);
    api().MdigControl(dig, mil::M_SOURCE_OFFSET_X, 4);
    api().MdigControl(dig, mil::M_SOURCE_OFFSET_Y, 2);
    api().MdigControl(dig, mil::M_GRAB_DIRECTION_Y, mil::M_DIRECTION_REVERSE);
    const MilId buf = Buffer(sys, 20, 10, 16);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(Grab(dig, buf)) << ErrorText();
    }
    const auto top = Row16(buf, 0, 20);
    EXPECT_EQ(top[0], Ramp16(4, 2 + 9, 3));
    EXPECT_EQ(top[19], Ramp16(4 + 19, 2 + 9, 3));
    EXPECT_EQ(Row16(buf, 9, 20)[7], Ramp16(4 + 7, 2, 3));
}

TEST_F(SimFrame, PixelsBeyondTheSensorReadZero) {
    UseConfig("[System0.Digitizer0]\nWidth=16\nHeight=8\n");
    App();
    const MilId sys = System();
    const MilId dig = Digitizer(sys);
    api().MdigControl(dig, mil::M_SOURCE_OFFSET_X, 10);
    const MilId buf = Buffer(sys, 10, 10);
    ASSERT_TRUE(Grab(dig, buf));
    const auto row = Row8(buf, 0, 10);
    EXPECT_EQ(row[5], Ramp8(15, 0, 1));  // last sensor column
    EXPECT_EQ(row[6], 0);                // past the right edge
    EXPECT_EQ(Row8(buf, 8, 10)[0], 0);   // past the bottom
}

TEST_F(SimFrame, DepthConversionBetweenSensorAndBuffer) {
    UseConfig(
        "[System0]\nDigitizers=2\n"
        "[System0.Digitizer0]\nBits=16\n"
        "[System0.Digitizer1]\nBits=8\n");
    App();
    const MilId sys = System();
    const MilId dig16 = Digitizer(sys, 0);
    const MilId dig8 = Digitizer(sys, 1);
    const MilId buf8 = Buffer(sys, 32, 4, 8);
    const MilId buf16 = Buffer(sys, 32, 4, 16);

    // 16-bit sensor into an 8-bit buffer: the high byte.
    ASSERT_TRUE(Grab(dig16, buf8));
    EXPECT_EQ(Row8(buf8, 2, 32)[31], Ramp16(31, 2, 1) >> 8);
    // 8-bit sensor into a 16-bit buffer: the value itself.
    ASSERT_TRUE(Grab(dig8, buf16));
    EXPECT_EQ(Row16(buf16, 3, 32)[30], Ramp8(30, 3, 1));
}

TEST(SimFrameFormula, HugeFrameNumbersStayExact) {
    mil::sim::FrameView view;
    view.sensorWidth = 10;
    view.sensorHeight = 10;
    view.frame = 0x7FFFFFFFFFFFFFFFLL;
    // 3 * (2^63 - 1) mod 256 = 253; 1009 * (2^63 - 1) mod 65536 = 64527.
    EXPECT_EQ(mil::sim::SensorPixel(view, 0, 0), 253u);
    view.sensorBits = 16;
    EXPECT_EQ(mil::sim::SensorPixel(view, 0, 0), 64527u);
}

}  // namespace
}  // namespace korvane::test

#include <gtest/gtest.h>

#include "mil/sim/SimDcf.h"
#include "tests/mil/SimTestSupport.h"

namespace korvane::test {
namespace {

using mil::sim::ParseDcf;
using mil::sim::SensorFormat;

TEST(SimDcf, KeysOverrideAndMissingKeysKeepTheFormat) {
    SensorFormat format{1280, 960, 8};
    std::string error;
    ASSERT_TRUE(ParseDcf("; camera file\nwidth = 640\nBits=16\n", format, error)) << error;
    EXPECT_EQ(format.width, 640);
    EXPECT_EQ(format.height, 960);
    EXPECT_EQ(format.bits, 16);
}

TEST(SimDcf, MalformedTextIsRefusedAndChangesNothing) {
    for (const char* text : {"", "; only a comment\n", "Width=640\nGain=3\n", "Width=0\n",
                             "Bits=10\n", "Width\n", "[Camera]\nWidth=640\n", "Height=99999\n"}) {
        SensorFormat format{1280, 960, 8};
        std::string error;
        EXPECT_FALSE(ParseDcf(text, format, error)) << text;
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(format.width, 1280) << text;
        EXPECT_EQ(format.bits, 8) << text;
    }
}

TEST(SimDcf, ErrorNamesTheLine) {
    SensorFormat format;
    std::string error;
    ASSERT_FALSE(ParseDcf("Width=640\n\nHeight=abc\n", format, error));
    EXPECT_NE(error.find("line 3"), std::string::npos) << error;
}

using SimDcfAlloc = SimTest;

TEST_F(SimDcfAlloc, DigitizerTakesItsSizeAndDepthFromTheFile) {
    const std::string dcf = dir_.File("camera.dcf");
    WriteFile(dcf, "Width=320\nHeight=200\nBits=16\n");
    App();
    const MilId sys = System();
    const MilId dig = Digitizer(sys, 1, dcf.c_str());
    ASSERT_NE(dig, 0) << ErrorText();
    EXPECT_EQ(api().MdigInquire(dig, mil::M_SIZE_X, nullptr), 320);
    EXPECT_EQ(api().MdigInquire(dig, mil::M_SIZE_Y, nullptr), 200);
    EXPECT_EQ(api().MdigInquire(dig, mil::M_SOURCE_SIZE_X, nullptr), 320);

    // A 16-bit sensor: the 16-bit ramp arrives in a 16-bit buffer.
    const MilId buf = Buffer(sys, 320, 200, 16);
    ASSERT_TRUE(Grab(dig, buf)) << ErrorText();
    EXPECT_EQ(Row16(buf, 3, 320)[5], Ramp16(5, 3, 1));
}

TEST_F(SimDcfAlloc, MissingOrMalformedFileFailsNamingTheFile) {
    App();
    const MilId sys = System();
    const std::string missing = dir_.File("missing.dcf");
    EXPECT_EQ(Digitizer(sys, 0, missing.c_str()), 0);
    EXPECT_NE(ErrorText().find(missing), std::string::npos) << ErrorText();

    const std::string bad = dir_.File("bad.dcf");
    WriteFile(bad, "Width=wide\n");
    EXPECT_EQ(Digitizer(sys, 0, bad.c_str()), 0);
    EXPECT_NE(ErrorText().find(bad), std::string::npos) << ErrorText();

    // The default still works afterwards, whatever the letter case.
    EXPECT_NE(Digitizer(sys, 0, "m_default"), 0) << ErrorText();
}

}  // namespace
}  // namespace korvane::test

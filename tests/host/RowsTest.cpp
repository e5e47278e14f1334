// Row delivery through getXELGrabRow: the checks on a request and every
// conversion rule, compared with the simulator's documented ramp.
#include <gtest/gtest.h>

#include "tests/support/GrabWaiter.h"
#include "tests/support/HostFixture.h"

namespace korvane::test {
namespace {

class RowsTest : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        RaiseLogLevel();
    }
    // Opens Camera 1 on port 1 and grabs one frame.
    void OpenAndGrab(const std::string& ini) {
        WriteIni(ini);
        ASSERT_EQ(Initialize(), 1);
        size_ = OpenCamera("Camera 1", 1);
        GrabOnce();
    }
    void GrabOnce() {
        const std::size_t before = waiter_.Count();
        ASSERT_EQ(d().setCompleteCallback(0, 1, &GrabWaiter::Callback), 1);
        ASSERT_EQ(d().doXELGrab(0, 1), 1);
        ASSERT_TRUE(waiter_.WaitFor(before + 1));
        ++frame_;
    }
    static int Ramp8(int x, int y, int n) { return (x + 2 * y + 3 * n) % 256; }
    static int Ramp16(int x, int y, int n) { return (37 * x + 101 * y + 1009 * n) % 65536; }

    GrabWaiter waiter_;
    std::vector<int> size_;
    int frame_ = 0;
};

TEST_F(RowsTest, EightBitRowsAreTheRamp) {
    UseSimulator(SimOneBoard(1, 64, 16, 8));
    OpenAndGrab("[Camera 1]\nLogLevel=4\n");
    ASSERT_EQ(size_, (std::vector<int>{64, 16}));
    for (int y = 0; y < 16; ++y) {
        const auto row = Row(1, y, 0, 63);
        ASSERT_EQ(row.size(), 64u);
        for (int x = 0; x < 64; ++x) {
            ASSERT_EQ(row[x], Ramp8(x, y, 1)) << x << "," << y;
        }
    }
    EXPECT_TRUE(log_.Contains("getXELGrabRow: row=3  grabberNo=0  portNo=1\n"));
    EXPECT_TRUE(log_.Contains("MilDigitizer::GetRow: the last row being fetched, port==1\n"));
    // A part of a row, and the same row again without a new grab.
    const auto part = Row(1, 5, 10, 19);
    ASSERT_EQ(part.size(), 10u);
    EXPECT_EQ(part[0], Ramp8(10, 5, 1));
    EXPECT_EQ(Row(1, 0, 0, 63), Row(1, 0, 0, 63));
}

TEST_F(RowsTest, RequestsOutsideTheImageAreRefused) {
    UseSimulator(SimOneBoard(1, 64, 16, 8));
    OpenAndGrab("[Camera 1]\nLogLevel=4\n");
    unsigned char guard[80];
    std::fill(std::begin(guard), std::end(guard), 0xAA);
    EXPECT_EQ(d().getXELGrabRow(0, 1, guard, 2, 5, 5), 0) << "a single pixel is refused";
    EXPECT_TRUE(log_.Contains(
        "MilDigitizer::GetRow: ERROR: invalid column, lastPix=5 firstPix=5 width=64\n"));
    EXPECT_EQ(d().getXELGrabRow(0, 1, guard, -1, 0, 63), 0);
    EXPECT_TRUE(log_.Contains("MilDigitizer::GetRow: ERROR: invalid row number=-1 height=16\n"));
    EXPECT_EQ(d().getXELGrabRow(0, 1, guard, 16, 0, 63), 0);
    EXPECT_EQ(d().getXELGrabRow(0, 1, guard, 0, 0, 64), 0) << "span wider than the image";
    EXPECT_EQ(d().getXELGrabRow(0, 1, guard, 0, 60, 70), 0) << "short span past the right edge";
    EXPECT_EQ(d().getXELGrabRow(0, 1, guard, 0, -5, 10), 0);
    EXPECT_EQ(d().getXELGrabRow(0, 1, nullptr, 0, 0, 10), 0);
    EXPECT_TRUE(log_.Contains("MilDigitizer::GetRow: ERROR: target buffer not supplied\n"));
    for (unsigned char b : guard) {
        ASSERT_EQ(b, 0xAA) << "a refused request touches nothing";
    }
}

TEST_F(RowsTest, SizeChangedWhileOpenNeverReachesPastTheBuffer) {
    UseSimulator(SimOneBoard(1, 64, 16, 8));
    OpenAndGrab("[Camera 1]\nLogLevel=4\nWidth=32\nHeight=10\n");
    ASSERT_EQ(size_, (std::vector<int>{32, 10}));
    ASSERT_EQ(d().setProperty(0, 1, "Width", 64), 1);
    ASSERT_EQ(d().setProperty(0, 1, "Height", 16), 1);
    std::vector<unsigned char> wide(64, 0);
    EXPECT_EQ(d().getXELGrabRow(0, 1, wide.data(), 0, 0, 63), 0);
    EXPECT_EQ(d().getXELGrabRow(0, 1, wide.data(), 12, 0, 31), 0);
    EXPECT_EQ(Row(1, 9, 0, 31).size(), 32u) << "rows inside the buffer still work";
    // The new size reaches the buffers at the next open.
    d().closeXELPort(0, 1);
    EXPECT_NE(ReadIni().find("Width=64"), std::string::npos);
    size_ = OpenCamera("Camera 1", 1);
    EXPECT_EQ(size_, (std::vector<int>{64, 16}));
}

TEST_F(RowsTest, EightBitShiftDarkens) {
    UseSimulator(SimOneBoard(1, 64, 4, 8));
    OpenAndGrab("[Camera 1]\nLogLevel=4\nShift16bit=2\n");
    const auto row = Row(1, 1, 0, 63);
    for (int x = 0; x < 64; ++x) {
        ASSERT_EQ(row[x], Ramp8(x, 1, 1) >> 2);
    }
}

TEST_F(RowsTest, SixteenBitShiftSaturatesAndLowByteWraps) {
    UseSimulator(SimOneBoard(1, 128, 8, 16));
    OpenAndGrab("[Camera 1]\nLogLevel=4\nUse16bit=1\nShift16bit=4\n");
    for (int y : {0, 7}) {
        const auto row = Row(1, y, 0, 127);
        for (int x = 0; x < 128; ++x) {
            const int v = Ramp16(x, y, 1) >> 4;
            ASSERT_EQ(row[x], v > 255 ? 255 : v) << x << "," << y;
        }
    }
    ASSERT_EQ(d().setProperty(0, 1, "Shift16bit", 0), 1);
    const auto low = Row(1, 3, 0, 127);
    for (int x = 0; x < 128; ++x) {
        ASSERT_EQ(low[x], Ramp16(x, 3, 1) & 0xFF);
    }
    ASSERT_EQ(d().setProperty(0, 1, "Shift16bit", 16), 1);
    const auto dark = Row(1, 3, 0, 127);
    for (unsigned char b : dark) {
        ASSERT_EQ(b, 0);
    }
}

TEST_F(RowsTest, DepthChangeWhileOpenKeepsTheBufferDepthUntilReopen) {
    UseSimulator(SimOneBoard(1, 64, 4, 16));
    OpenAndGrab("[Camera 1]\nLogLevel=4\n");
    // Opened 8 bits deep: the 16-bit sensor reaches the buffer as its high byte.
    const auto before = Row(1, 2, 0, 63);
    ASSERT_EQ(d().setProperty(0, 1, "Use16bit", 1), 1);
    std::vector<unsigned char> dest(64 + 16, 0x55);
    ASSERT_EQ(d().getXELGrabRow(0, 1, dest.data(), 2, 0, 63), 1);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), dest.begin())) << "still read 8 bits deep";
    for (std::size_t i = 64; i < dest.size(); ++i) {
        ASSERT_EQ(dest[i], 0x55) << "nothing written past the request";
    }
    d().closeXELPort(0, 1);
    size_ = OpenCamera("Camera 1", 1);
    frame_ = 0;  // a newly allocated digitizer counts its frames from 1 again
    GrabOnce();
    const auto row = Row(1, 2, 0, 63);
    for (int x = 0; x < 64; ++x) {
        ASSERT_EQ(row[x], Ramp16(x, 2, frame_) & 0xFF) << "16 bits deep after the reopen";
    }
}

TEST_F(RowsTest, FlipsAndOffsetsReachTheFrame) {
    UseSimulator(SimOneBoard(1, 64, 16, 8));
    OpenAndGrab(
        "[Camera 1]\nLogLevel=4\nOffsetX=4\nOffsetY=2\nWidth=32\nHeight=10\nDirectionX=1\n");
    ASSERT_EQ(size_, (std::vector<int>{32, 10}));
    const auto row = Row(1, 1, 0, 31);
    ASSERT_EQ(row.size(), 32u);
    for (int x = 0; x < 32; ++x) {
        ASSERT_EQ(row[x], Ramp8(4 + (31 - x), 2 + 1, 1)) << x;
    }
}

// Below log level 4 the row export remembers the camera it served last; the
// rows must still come from whichever camera is on the port now.
TEST_F(RowsTest, RowsFollowCamerasMovedBetweenPorts) {
    UseSimulator(SimOneBoard(2, 64, 16, 8));
    WriteIni("[Camera 1]\nLogLevel=2\n[Camera 2]\nLogLevel=2\nWidth=32\n");
    ASSERT_EQ(Initialize(), 1);
    auto grab = [&](int port) {
        const std::size_t before = waiter_.Count();
        ASSERT_EQ(d().setCompleteCallback(0, port, &GrabWaiter::Callback), 1);
        ASSERT_EQ(d().doXELGrab(0, port), 1);
        ASSERT_TRUE(waiter_.WaitFor(before + 1));
    };
    ASSERT_EQ(OpenCamera("Camera 1", 1), (std::vector<int>{64, 16}));
    grab(1);
    grab(1);
    ASSERT_EQ(Row(1, 3, 0, 63).size(), 64u);
    EXPECT_EQ(Row(1, 3, 0, 63)[5], Ramp8(5, 3, 2));

    // Camera 1 leaves port 1 and Camera 2 (32 wide, its first frame) takes it.
    d().closeXELPort(0, 1);
    EXPECT_TRUE(Row(1, 3, 0, 63).empty()) << "nothing is open on port 1";
    ASSERT_EQ(OpenCamera("Camera 2", 1), (std::vector<int>{32, 16}));
    grab(1);
    EXPECT_TRUE(Row(1, 3, 0, 63).empty()) << "port 1 is 32 wide now";
    const auto second = Row(1, 3, 0, 31);
    ASSERT_EQ(second.size(), 32u);
    for (int x = 0; x < 32; ++x) {
        ASSERT_EQ(second[x], Ramp8(x, 3, 1)) << x;
    }

    // Camera 1 comes back on port 2; both ports answer for their own camera.
    ASSERT_EQ(OpenCamera("Camera 1", 2), (std::vector<int>{64, 16}));
    grab(2);
    const auto first = Row(2, 3, 0, 63);
    ASSERT_EQ(first.size(), 64u);
    for (int x = 0; x < 64; ++x) {
        ASSERT_EQ(first[x], Ramp8(x, 3, 1)) << "reopened, it counts from 1 again; " << x;
    }
    EXPECT_EQ(Row(1, 3, 0, 31), second);
    EXPECT_TRUE(Row(1, 3, 0, 63).empty());
    EXPECT_FALSE(log_.Contains("getXELGrabRow: row=3")) << "level 4 lines stay off at level 2";
}

}  // namespace
}  // namespace korvane::test

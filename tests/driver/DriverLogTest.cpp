#include "driver/DriverLog.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/support/LogCapture.h"
#include "tests/support/PlatformText.h"
#include "tests/support/TempDir.h"

namespace korvane {
namespace {

using test::JoinNative;
using test::NativeLines;
using test::NativePath;

class DriverLogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DriverLog::Instance().ResetForTesting();
        DriverLog::Instance().SetMessageProc(&test::LogCapture::Callback);
    }
    void TearDown() override { DriverLog::Instance().ResetForTesting(); }

    DriverLog& log() { return DriverLog::Instance(); }
    test::LogCapture capture;
};

TEST_F(DriverLogTest, FiltersByLevelWithoutFormatting) {
    int evaluated = 0;
    auto count = [&] { return ++evaluated; };
    KLOG(kDetail, "detail %d", count());
    EXPECT_EQ(evaluated, 0) << "a filtered message must not evaluate its arguments";
    EXPECT_TRUE(capture.Messages().empty());

    KLOG(kProgress, "progress %d", count());
    EXPECT_EQ(evaluated, 1);
    ASSERT_EQ(capture.Messages().size(), 1u);

    log().SetLevel(0);
    log().Print(1, "error");
    EXPECT_EQ(capture.Messages().size(), 1u) << "level 0 silences everything";
}

TEST_F(DriverLogTest, AddsOneLineFeedOnlyWhereMissing) {
    log().Print(1, "no line end");
    log().Print(1, "has one\n");
    log().Print(1, "%s", "");
    const auto messages = capture.Messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0], "no line end\n");
    EXPECT_EQ(messages[1], "has one\n");
    EXPECT_EQ(messages[2], "");
    EXPECT_EQ(capture.Prefixes().size(), 3u) << "each message comes with its prefix call first";
}

TEST_F(DriverLogTest, LongMessagesAreCutNotOverrun) {
    const std::string exact(1021, 'a');
    const std::string long1022(1022, 'b');
    const std::string huge(5000, 'c');
    log().Print(1, "%s", exact.c_str());
    log().Print(1, "%s", long1022.c_str());
    log().Print(1, "%s", huge.c_str());
    const auto messages = capture.Messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0], exact + "\n") << "1021 characters still get their line feed";
    EXPECT_EQ(messages[1], long1022) << "1022 characters and more go out as they are";
    EXPECT_EQ(messages[2], std::string(1023, 'c')) << "cut to the 1024-byte buffer";
}

TEST(DriverLogPrefix, YearIsModuloTen) {
    EXPECT_EQ(FormatLogPrefix(6, 12, 2026, 23, 5, 6), "06/12/06 23:05:06: ");
    EXPECT_EQ(FormatLogPrefix(1, 1, 2010, 0, 0, 0), "01/01/00 00:00:00: ");
    EXPECT_EQ(FormatLogPrefix(31, 7, 1999, 9, 59, 59), "31/07/09 09:59:59: ");
}

TEST_F(DriverLogTest, PendingLinesFlushOnceAPathIsSet) {
    test::TempDir dir;
    log().SetLogIntoFile(true);
    log().Print(1, "first");
    log().Print(1, "second\n");
    EXPECT_EQ(capture.Messages().size(), 2u) << "the callback is served at once";

    ASSERT_TRUE(log().SetSystemPath(dir.path().c_str()));
    log().Print(1, "third");
    EXPECT_EQ(test::ReadFile(dir.File("Korvane.log")), NativeLines("first\nsecond\nthird\n"))
        << "held lines come first, without time stamps";
    log().Print(1, "fourth");
    EXPECT_EQ(test::ReadFile(dir.File("Korvane.log")),
              NativeLines("first\nsecond\nthird\nfourth\n"));
}

TEST_F(DriverLogTest, UnwritableLogFileKeepsPendingLines) {
    test::TempDir dir;
    log().SetLogIntoFile(true);
    log().Print(1, "held");
    ASSERT_TRUE(log().SetSystemPath(dir.File("missing/sub").c_str()));
    log().Print(1, "lost for the file");
    EXPECT_EQ(capture.Messages().size(), 2u);

    ASSERT_TRUE(log().SetSystemPath(dir.path().c_str()));
    log().Print(1, "written");
    EXPECT_EQ(test::ReadFile(dir.File("Korvane.log")), NativeLines("held\nwritten\n"));
}

TEST_F(DriverLogTest, SystemPathRulesAndIniPath) {
    EXPECT_FALSE(log().SetSystemPath(nullptr));
    EXPECT_FALSE(log().SetSystemPath(""));
    EXPECT_EQ(log().GetIniPath(), JoinNative("", "Korvane.ini"))
        << "an empty system path still names the file";
    ASSERT_TRUE(log().SetSystemPath("/data/line1/sys"));
    EXPECT_EQ(log().GetIniPath(), JoinNative("/data/line1/sys", "Korvane.ini"));
}

TEST_F(DriverLogTest, RelativePathsClimbAtMostOneLevel) {
    ASSERT_TRUE(log().SetSystemPath("/data/line1/sys"));
    EXPECT_EQ(log().MakeRelativePath("/data/line1/sys/cam.dcf"), NativePath("./cam.dcf"));
    EXPECT_EQ(log().MakeRelativePath("/data/line1/sys/dcf/cam.dcf"), NativePath("./dcf/cam.dcf"));
    EXPECT_EQ(log().MakeRelativePath("/data/line1/cam.dcf"), NativePath("../cam.dcf"));
    EXPECT_EQ(log().MakeRelativePath("/data/line1/other/cam.dcf"), NativePath("../other/cam.dcf"));
    EXPECT_EQ(log().MakeRelativePath("/data/cam.dcf"), "/data/cam.dcf");
    EXPECT_EQ(log().MakeRelativePath("/elsewhere/cam.dcf"), "/elsewhere/cam.dcf");
    EXPECT_EQ(log().MakeRelativePath("relative.dcf"), "relative.dcf");
}

TEST_F(DriverLogTest, AbsolutePathsJoinTheSystemPath) {
    ASSERT_TRUE(log().SetSystemPath("/data/line1/sys"));
    EXPECT_EQ(log().MakeAbsolutePath("/abs/cam.dcf"), "/abs/cam.dcf");
    EXPECT_EQ(log().MakeAbsolutePath("cam.dcf"), NativePath("/data/line1/sys/cam.dcf"));
    EXPECT_EQ(log().MakeAbsolutePath("./cam.dcf"), NativePath("/data/line1/sys/cam.dcf"));
    EXPECT_EQ(log().MakeAbsolutePath("../cam.dcf"), NativePath("/data/line1/cam.dcf"));
    const std::string tooLong(300, 'x');
    EXPECT_EQ(log().MakeAbsolutePath(tooLong), tooLong) << "a join that does not fit is not made";
    // Round trip of what the property sheet stores.
    EXPECT_EQ(log().MakeAbsolutePath(log().MakeRelativePath("/data/line1/lut.csv")),
              NativePath("/data/line1/lut.csv"));
}

TEST_F(DriverLogTest, ConcurrentMessagesNeverInterleave) {
    log().SetLevel(4);
    constexpr int kThreads = 4;
    constexpr int kPerThread = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kPerThread; ++i) {
                KLOG(kProgress, "thread %d message %d", t, i);
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    const auto messages = capture.Messages();
    const auto prefixes = capture.Prefixes();
    ASSERT_EQ(messages.size(), static_cast<std::size_t>(kThreads * kPerThread));
    for (const auto& m : messages) {
        EXPECT_EQ(m.rfind("thread ", 0), 0u) << "a prefix landed where a message belongs: " << m;
    }
    for (const auto& p : prefixes) {
        EXPECT_EQ(p.size(), 19u) << p;
    }
}

}  // namespace
}  // namespace korvane

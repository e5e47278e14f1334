// Profile (INI) files and path rules through the Windows functions.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/IniProfile.h"
#include "platform/Paths.h"
#include "tests/support/TempDir.h"

namespace korvane::platform {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::string Ini(const TempDir& dir) {
    return dir.path() + "\\Korvane.ini";
}

TEST(Profile, ReadsWithTheWindowsRules) {
    TempDir dir;
    WriteFile(Ini(dir), "[Camera 1]\r\nGain=7\r\nName=  \"quoted\"  \r\nBad=x12\r\n[Other]\r\nGain=9\r\n");
    EXPECT_EQ(IniReadInt(Ini(dir), "camera 1", "GAIN", 3), 7);  // names ignore case
    EXPECT_EQ(IniReadInt(Ini(dir), "Camera 1", "Missing", 3), 3);
    EXPECT_EQ(IniReadInt(Ini(dir), "Camera 1", "Bad", 3), 0);
    EXPECT_EQ(IniReadInt(Ini(dir), "Camera 2", "Gain", -4), -4);
    EXPECT_EQ(IniReadString(Ini(dir), "Camera 1", "Name", "d"), "quoted");
    EXPECT_EQ(IniReadString(Ini(dir), "Camera 1", "None", "dflt  "), "dflt");
    EXPECT_EQ(IniReadString(dir.path() + "\\absent.ini", "A", "B", "def"), "def");
}

TEST(Profile, LongValuesAreCutToTheReadBuffer) {
    TempDir dir;
    WriteFile(Ini(dir), "[S]\nK=" + std::string(400, 'v') + "\n");
    EXPECT_EQ(IniReadString(Ini(dir), "S", "K", ""), std::string(kIniMaxValueLength, 'v'));
}

TEST(Profile, WritesKeepOtherSectionsAndLeaveNoTemporaryFiles) {
    TempDir dir;
    WriteFile(Ini(dir), "[Camera 2]\r\nGain=5\r\n");
    ASSERT_TRUE(IniWriteStrings(Ini(dir), "Camera 1",
                                {{"Gain", "3"}, {"DCF_FILE", "M_DEFAULT"}, {"ShareName", ""}}));
    EXPECT_EQ(IniReadInt(Ini(dir), "Camera 1", "Gain", 0), 3);
    EXPECT_EQ(IniReadString(Ini(dir), "Camera 1", "DCF_FILE", ""), "M_DEFAULT");
    EXPECT_EQ(IniReadInt(Ini(dir), "Camera 2", "Gain", 0), 5);
    ASSERT_TRUE(IniWriteString(Ini(dir), "Camera 2", "Gain", "6"));
    EXPECT_EQ(IniReadInt(Ini(dir), "Camera 2", "Gain", 0), 6);
    EXPECT_EQ(IniReadInt(Ini(dir), "Camera 1", "Gain", 0), 3);
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST(Profile, WriteIntoAMissingFileCreatesIt) {
    TempDir dir;
    ASSERT_TRUE(IniWriteString(Ini(dir), "Camera 1", "LogLevel", "1"));
    EXPECT_EQ(IniReadInt(Ini(dir), "Camera 1", "LogLevel", 0), 1);
}

TEST(Profile, TextsThatWouldBreakTheFileAreRefusedWithTheFileUntouched) {
    TempDir dir;
    const std::string before = "[Camera 1]\r\nGain=1\r\n";
    WriteFile(Ini(dir), before);
    EXPECT_FALSE(IniWriteStrings(Ini(dir), "Camera 1", {{"Gain", "2"}, {"Evil", "a\r\n[X]"}}));
    EXPECT_FALSE(IniWriteString(Ini(dir), "Camera 1", "a=b", "1"));
    EXPECT_FALSE(IniWriteString(Ini(dir), "Cam]era", "Gain", "1"));
    EXPECT_FALSE(IniWriteString(Ini(dir), "Camera 1", "", "1"));
    EXPECT_EQ(ReadFile(Ini(dir)), before);
}

TEST(Paths, JoinAndAppendUseTheBackslash) {
    EXPECT_EQ(PathSeparator(), '\\');
    EXPECT_EQ(JoinPath("C:\\sys", "Korvane.ini"), "C:\\sys\\Korvane.ini");
    EXPECT_EQ(JoinPath("C:\\sys\\", "Korvane.ini"), "C:\\sys\\Korvane.ini");
    EXPECT_EQ(JoinPath("", "Korvane.ini"), "\\Korvane.ini");
    std::string base = "C:\\data\\sys";
    ASSERT_TRUE(PathAppend(base, "cam.dcf"));
    EXPECT_EQ(base, "C:\\data\\sys\\cam.dcf");
    std::string dotted = "C:\\data\\sys";
    ASSERT_TRUE(PathAppend(dotted, ".\\dcf\\cam.dcf"));
    EXPECT_EQ(dotted, "C:\\data\\sys\\dcf\\cam.dcf");
    std::string longer = "C:\\" + std::string(200, 'd');
    EXPECT_FALSE(PathAppend(longer, std::string(100, 'f')));
    EXPECT_EQ(longer, "C:\\" + std::string(200, 'd'));
}

TEST(Paths, RelativeFormsFollowTheShell) {
    std::string rel;
    ASSERT_TRUE(RelativePathTo("C:\\data\\line1\\sys", "C:\\data\\line1\\sys\\cam.dcf", rel));
    EXPECT_EQ(rel, ".\\cam.dcf");
    ASSERT_TRUE(RelativePathTo("C:\\data\\line1\\sys", "C:\\data\\line1\\cam.dcf", rel));
    EXPECT_EQ(rel, "..\\cam.dcf");
    ASSERT_TRUE(RelativePathTo("C:\\data\\line1\\sys", "C:\\data\\cam.dcf", rel));
    EXPECT_EQ(rel, "..\\..\\cam.dcf");
    // Forward slashes from a host are taken as separators.
    ASSERT_TRUE(RelativePathTo("C:/data/line1/sys", "C:/data/line1/sys/lut.csv", rel));
    EXPECT_EQ(rel, ".\\lut.csv");
    EXPECT_FALSE(RelativePathTo("C:\\data\\sys", "D:\\cam.dcf", rel));
    EXPECT_FALSE(RelativePathTo("", "C:\\cam.dcf", rel));
}

TEST(Paths, RelativeMeansNotRooted) {
    EXPECT_TRUE(PathIsRelative("cam.dcf"));
    EXPECT_TRUE(PathIsRelative(".\\cam.dcf"));
    EXPECT_FALSE(PathIsRelative("C:\\cam.dcf"));
    EXPECT_FALSE(PathIsRelative("\\\\server\\share\\cam.dcf"));
    EXPECT_FALSE(PathIsRelative("\\cam.dcf"));
}

}  // namespace
}  // namespace korvane::platform

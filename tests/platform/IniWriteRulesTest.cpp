#include "platform/common/IniWriteRules.h"

#include <gtest/gtest.h>

#include <string>

namespace korvane::platform {
namespace {

using namespace std::string_literals;

TEST(IniWriteRulesTest, SectionNamesThatWouldBreakTheFileAreRefused) {
    EXPECT_TRUE(IniSectionWritable("Camera 1"));
    EXPECT_TRUE(IniSectionWritable(" padded "));  // blanks around are trimmed by readers
    EXPECT_FALSE(IniSectionWritable(""));
    EXPECT_FALSE(IniSectionWritable(" \t "));
    EXPECT_FALSE(IniSectionWritable("Cam]era"));
    EXPECT_FALSE(IniSectionWritable("Camera\n1"));
    EXPECT_FALSE(IniSectionWritable("Camera\r"));
    EXPECT_FALSE(IniSectionWritable("Cam\0era"s));
}

TEST(IniWriteRulesTest, KeysThatWouldBreakTheFileAreRefused) {
    EXPECT_TRUE(IniKeyWritable("Width"));
    EXPECT_TRUE(IniKeyWritable("Exposure Time"));
    EXPECT_TRUE(IniKeyWritable("a]b"));
    EXPECT_FALSE(IniKeyWritable(""));
    EXPECT_FALSE(IniKeyWritable(" Width"));
    EXPECT_FALSE(IniKeyWritable("Width\t"));
    EXPECT_FALSE(IniKeyWritable("Wi=dth"));
    EXPECT_FALSE(IniKeyWritable("[Width"));
    EXPECT_FALSE(IniKeyWritable(";Width"));
    EXPECT_FALSE(IniKeyWritable("Wi\ndth"));
    EXPECT_FALSE(IniKeyWritable("Wi\0dth"s));
}

TEST(IniWriteRulesTest, ValuesMayHoldAnythingButLineEnds) {
    EXPECT_TRUE(IniValueWritable(""));
    EXPECT_TRUE(IniValueWritable(" = [x] ; y "));
    EXPECT_FALSE(IniValueWritable("1\r\n[Other]"));
    EXPECT_FALSE(IniValueWritable("1\n"));
    EXPECT_FALSE(IniValueWritable("1\0"s));
}

TEST(IniWriteRulesTest, OneBadEntryRefusesTheWholeWrite) {
    EXPECT_TRUE(IniWriteWritable("S", {}));
    EXPECT_TRUE(IniWriteWritable("S", {{"a", "1"}, {"b", "2"}}));
    EXPECT_FALSE(IniWriteWritable("S", {{"a", "1"}, {"b=", "2"}}));
    EXPECT_FALSE(IniWriteWritable("S", {{"a", "1"}, {"b", "2\n"}}));
    EXPECT_FALSE(IniWriteWritable("S]", {{"a", "1"}}));
}

}  // namespace
}  // namespace korvane::platform

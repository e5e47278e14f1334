#include "camera/CommandParser.h"

#include <gtest/gtest.h>

#include <climits>

namespace korvane {
namespace {

TEST(CommandParser, SplitsItemsAtTheFirstEquals) {
    const auto args = ParseArguments("ControlType=4019;ControlValue=12");
    EXPECT_EQ(args.at("ControlType"), "4019");
    EXPECT_EQ(args.at("ControlValue"), "12");
    const auto tricky = ParseArguments(";;a=b=c; key = v ;noequals;a=d;=empty;last=");
    EXPECT_EQ(tricky.at("a"), "d") << "later items win";
    EXPECT_EQ(tricky.at(" key "), " v ") << "nothing is trimmed";
    EXPECT_EQ(tricky.at(""), "empty");
    EXPECT_EQ(tricky.at("last"), "");
    EXPECT_EQ(tricky.count("noequals"), 0u);
    EXPECT_TRUE(ParseArguments(nullptr).empty());
    EXPECT_TRUE(ParseArguments("").empty());
}

TEST(CommandParser, LeadingNumbers) {
    EXPECT_EQ(ParseLeadingInt("  -42xyz"), -42);
    EXPECT_EQ(ParseLeadingInt("+7"), 7);
    EXPECT_EQ(ParseLeadingInt("abc"), 0);
    EXPECT_EQ(ParseLeadingInt(""), 0);
    EXPECT_EQ(ParseLeadingInt(nullptr), 0);
    EXPECT_EQ(ParseLeadingInt("99999999999999999999"), INT_MAX);
    EXPECT_EQ(ParseLeadingInt("-99999999999999999999"), INT_MIN);
    EXPECT_DOUBLE_EQ(ParseLeadingDouble(" 1.5e3x"), 1500.0);
    EXPECT_DOUBLE_EQ(ParseLeadingDouble("-.25"), -0.25);
    EXPECT_DOUBLE_EQ(ParseLeadingDouble("x1"), 0.0);
    EXPECT_DOUBLE_EQ(ParseLeadingDouble("inf"), 0.0);
    EXPECT_DOUBLE_EQ(ParseLeadingDouble("0x10"), 0.0);
}

TEST(CommandParser, BoundedCopyNeverOverruns) {
    char buf[8];
    std::fill(std::begin(buf), std::end(buf), 'x');
    CopyBounded(buf, 4, "unknowncmd");
    EXPECT_STREQ(buf, "unk");
    EXPECT_EQ(buf[4], 'x');
    CopyBounded(buf, 1, "ok");
    EXPECT_STREQ(buf, "");
    buf[0] = 'x';
    CopyBounded(buf, 0, "ok");
    EXPECT_EQ(buf[0], 'x');
    CopyBounded(buf, -5, "ok");
    EXPECT_EQ(buf[0], 'x');
    CopyBounded(nullptr, 5, "ok");
}

TEST(CommandParser, CaseInsensitiveNames) {
    EXPECT_TRUE(EqualsNoCase("MdigControl", "mdigcontrol"));
    EXPECT_FALSE(EqualsNoCase("MdigControl", "MdigControls"));
    EXPECT_FALSE(EqualsNoCase(nullptr, "x"));
    EXPECT_TRUE(StartsWithNoCase("userbit5", "UserBit"));
    EXPECT_FALSE(StartsWithNoCase("User", "UserBit"));
}

}  // namespace
}  // namespace korvane

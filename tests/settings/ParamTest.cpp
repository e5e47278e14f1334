#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "settings/Param.h"
#include "settings/TextNumbers.h"

namespace korvane {
namespace {

ParamEnum TwoLabels() {
    ParamEnum e("Mode", "X");
    e.AddLabel("A", 5);
    e.AddLabel("B", 7);
    return e;
}

TEST(ParamEnumTest, FirstLabelBecomesTheValueAndEmptyLabelsAreIgnored) {
    ParamEnum e("Mode", "X");
    e.AddLabel("", 3);
    e.AddLabel(static_cast<const char*>(nullptr), 4);
    EXPECT_EQ(e.GetLabelCount(), 0);
    EXPECT_EQ(e.value, "X");
    e.AddLabel("A", 5);
    e.AddLabel("B", 7);
    EXPECT_EQ(e.value, "A");
    EXPECT_EQ(e.GetNumericValue(), 5);
    EXPECT_EQ(e.defaultValue, "X");
}

TEST(ParamEnumTest, LookupIsExactAndUnknownTextsGiveZero) {
    ParamEnum e = TwoLabels();
    e.value = "B";
    EXPECT_EQ(e.GetNumericValue(), 7);
    e.value = "b";
    EXPECT_EQ(e.GetNumericValue(), 0);
    e.value = "";
    EXPECT_EQ(e.GetNumericValue(), 0);
    e.value = "None";
    EXPECT_EQ(e.GetNumericValue(), 0);
}

TEST(ParamEnumTest, SetByNumericValueSelectsFirstMatchOrKeepsValue) {
    ParamEnum e = TwoLabels();
    e.SetByNumericValue(9);
    EXPECT_EQ(e.value, "A");
    e.SetByNumericValue(7);
    EXPECT_EQ(e.value, "B");
    e.AddLabel("C", 7);  // duplicate number: the earliest label wins
    e.AddLabel("B", 9);  // duplicate label: the earliest number wins
    e.SetByNumericValue(5);
    e.SetByNumericValue(7);
    EXPECT_EQ(e.value, "B");
    EXPECT_EQ(e.GetNumericValue(), 7);
}

TEST(ParamEnumTest, GetLabelChecksBoundsAndClearKeepsValue) {
    ParamEnum e = TwoLabels();
    std::string text = "untouched";
    std::int32_t number = -1;
    EXPECT_FALSE(e.GetLabel(2, text, number));
    EXPECT_FALSE(e.GetLabel(-1, text, number));
    EXPECT_EQ(text, "untouched");
    ASSERT_TRUE(e.GetLabel(1, text, number));
    EXPECT_EQ(text, "B");
    EXPECT_EQ(number, 7);
    e.ClearLabels();
    EXPECT_EQ(e.GetLabelCount(), 0);
    EXPECT_EQ(e.value, "A");
    EXPECT_EQ(e.GetNumericValue(), 0);
}

TEST(ParamEnumTest, UnevenPublicListsAreNotOverrun) {
    ParamEnum e = TwoLabels();
    e.labelValues.pop_back();
    e.value = "B";
    EXPECT_EQ(e.GetNumericValue(), 0);
    std::string text;
    std::int32_t number = 0;
    EXPECT_FALSE(e.GetLabel(1, text, number));
}

TEST(ParamTest, ConstructionAndInclusiveRange) {
    Param<int> below("Width", 0, 10, 1280);
    EXPECT_EQ(below.value, 0);
    EXPECT_EQ(below.defaultValue, 0);
    EXPECT_FALSE(below.IsInRange());
    Param<int> atMin("Width", 10, 10, 1280);
    EXPECT_TRUE(atMin.IsInRange());
    atMin.value = 1280;
    EXPECT_TRUE(atMin.IsInRange());
    atMin.value = 1281;
    EXPECT_FALSE(atMin.IsInRange());

    Param<int> named("DirectionX", 4);
    EXPECT_EQ(named.minValue, 4);
    EXPECT_EQ(named.maxValue, 4);
    EXPECT_EQ(named.defaultValue, 4);

    Param<std::string> text("ShareName", "cam");
    EXPECT_EQ(text.value, "cam");
    EXPECT_EQ(text.minValue, "cam");
    EXPECT_EQ(text.maxValue, "cam");
}

TEST(ParamTest, NameEqualsFoldsAsciiCaseOnly) {
    Param<int> gain("Gain", 0, 0, 255);
    EXPECT_TRUE(gain.NameEquals("gain"));
    EXPECT_TRUE(gain.NameEquals("GAIN"));
    EXPECT_FALSE(gain.NameEquals(nullptr));
    EXPECT_FALSE(gain.NameEquals("Gai"));
    EXPECT_FALSE(gain.NameEquals("Gains"));
    EXPECT_FALSE(gain.NameEquals(""));
    Param<double> exposure("Exposure", 0.0, 0.0, 1000.0);
    EXPECT_TRUE(exposure.NameEquals("EXPOSURE"));
}

TEST(ParamTest, WriteToWritesNameEqualsValueLine) {
    Param<int> gain("Gain", 0, 0, 255);
    gain.value = 12;
    std::ostringstream out;
    gain.WriteTo(out);
    const Param<double>& d = Param<double>("Exposure", 0.5, 0.0, 1000.0);
    d.WriteTo(out);
    ParamEnum e = TwoLabels();
    static_cast<const Param<std::string>&>(e).WriteTo(out);
    EXPECT_EQ(out.str(), "Gain=12\nExposure=0.5\nMode=A\n");
}

TEST(TextNumbersTest, LeadingIntegerRules) {
    EXPECT_EQ(ParseLeadingInt("  -12abc"), -12);
    EXPECT_EQ(ParseLeadingInt("+7"), 7);
    EXPECT_EQ(ParseLeadingInt("abc"), 0);
    EXPECT_EQ(ParseLeadingInt(""), 0);
    EXPECT_EQ(ParseLeadingInt("-"), 0);
    EXPECT_EQ(ParseLeadingInt("0x10"), 0);
    EXPECT_EQ(ParseLeadingInt("99999999999999999999"), 2147483647);
    EXPECT_EQ(ParseLeadingInt("-99999999999999999999"), -2147483647 - 1);
    EXPECT_EQ(ParseLeadingInt("-2147483648"), -2147483647 - 1);
}

TEST(TextNumbersTest, LeadingRealRulesAndShortFormat) {
    EXPECT_DOUBLE_EQ(ParseLeadingReal(" 1.5ms"), 1.5);
    EXPECT_DOUBLE_EQ(ParseLeadingReal("-.25"), -0.25);
    EXPECT_DOUBLE_EQ(ParseLeadingReal("1e-07"), 1e-07);
    EXPECT_DOUBLE_EQ(ParseLeadingReal("3e"), 3.0);
    EXPECT_DOUBLE_EQ(ParseLeadingReal("2E+2x"), 200.0);
    EXPECT_EQ(ParseLeadingReal("."), 0.0);
    EXPECT_EQ(ParseLeadingReal("nan"), 0.0);
    EXPECT_EQ(ParseLeadingReal("inf"), 0.0);
    EXPECT_EQ(ParseLeadingReal("0x1p3"), 0.0);
    EXPECT_EQ(ParseLeadingReal("1e-999"), 0.0);
    EXPECT_TRUE(std::isinf(ParseLeadingReal("1e999")));
    EXPECT_EQ(FormatReal(0.1234567), "0.123457");
    EXPECT_EQ(FormatReal(1e-07), "1e-07");
    EXPECT_EQ(FormatReal(0.0), "0");
    EXPECT_EQ(FormatReal(1000.0), "1000");
    EXPECT_EQ(FormatReal(1234567.0), "1.23457e+06");
    EXPECT_EQ(FormatReal(0.1, 15), "0.1");
}

}  // namespace
}  // namespace korvane

// The camera settings string of camera mode.
#include <gtest/gtest.h>

#include "gstreamer/PropertyList.h"

namespace korvane::gst {
namespace {

TEST(PropertyListTest, ParsesNamesAndValuesInOrder) {
    PropertyList list;
    std::string error;
    ASSERT_TRUE(
        ParsePropertyList(" Gain = 12 ,Width=640,, Exposure=-3,Shift16bit=0x4", list, error))
        << error;
    const PropertyList expected{{"Gain", 12}, {"Width", 640}, {"Exposure", -3}, {"Shift16bit", 4}};
    EXPECT_EQ(list, expected);
    ASSERT_TRUE(ParsePropertyList("", list, error));
    EXPECT_TRUE(list.empty());
}

TEST(PropertyListTest, RefusesItemsThatAreNotNameEqualsNumber) {
    for (const char* text : {"Gain", "=5", "Gain=", "Gain=12x", "Gain=99999999999", "A=1,B"}) {
        PropertyList list{{"kept", 1}};
        std::string error;
        EXPECT_FALSE(ParsePropertyList(text, list, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
        // A refused string leaves what was there.
        EXPECT_EQ(list.size(), 1u) << text;
    }
}

}  // namespace
}  // namespace korvane::gst

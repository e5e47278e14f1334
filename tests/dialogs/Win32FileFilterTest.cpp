// The file choosers' filters as the Windows file dialogs want them.
#if defined(_WIN32)
#include <gtest/gtest.h>

#include <string>

#include "dialogs/win32/FileDialog.h"

namespace korvane::dlg::win32 {
namespace {

std::string Zeros(const char* text, std::size_t size) {
    return std::string(text, size);
}

TEST(Win32FileFilterTest, BarsBecomeZerosAndTheListEndsWithTwo) {
    EXPECT_EQ(SystemFileFilter("DCF (*.dcf)|*.dcf||"), Zeros("DCF (*.dcf)\0*.dcf\0\0", 19));
    EXPECT_EQ(SystemFileFilter("LUT table (*.csv)|*.csv||"),
              Zeros("LUT table (*.csv)\0*.csv\0\0", 25));
    // Two pairs: both kept, in order.
    EXPECT_EQ(SystemFileFilter("A|*.a|B|*.b||"), Zeros("A\0*.a\0B\0*.b\0\0", 13));
}

TEST(Win32FileFilterTest, AFilterWithoutItsEndIsEndedAnyway) {
    EXPECT_EQ(SystemFileFilter("A|*.a"), Zeros("A\0*.a\0\0", 7));
    EXPECT_EQ(SystemFileFilter("A|*.a|"), Zeros("A\0*.a\0\0", 7));
    EXPECT_EQ(SystemFileFilter(""), Zeros("\0\0", 2));
}

}  // namespace
}  // namespace korvane::dlg::win32
#endif

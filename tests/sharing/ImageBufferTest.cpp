#include "sharing/ImageBuffer.h"

#include <gtest/gtest.h>

#include "tests/sharing/ShareFixture.h"

namespace korvane::test {
namespace {

class ImageBufferTest : public ShareFixture {};

TEST_F(ImageBufferTest, AllocateKeepsTheMemoryForTheSameSize) {
    ImageBuffer image;
    ASSERT_TRUE(image.Allocate(false, 8, 4));
    EXPECT_EQ(image.size, 32);
    image.data[5] = 9;
    const std::uint8_t* before = image.data.get();
    ASSERT_TRUE(image.Allocate(false, 4, 8));  // same bytes, other shape
    EXPECT_EQ(image.data.get(), before);
    EXPECT_EQ(image.data[5], 9);
    EXPECT_EQ(image.width, 4);
    ASSERT_TRUE(image.Allocate(true, 4, 8));
    EXPECT_EQ(image.size, 96);
    EXPECT_EQ(image.GetLine(1) - image.GetLine(0), 12);
}

TEST_F(ImageBufferTest, BadSizesAreRefusedAndLeaveTheBufferAsItWas) {
    ImageBuffer image;
    EXPECT_FALSE(image.Allocate(false, 0, 10));
    EXPECT_TRUE(log_.Contains("ImageBuffer::Allocate: ERROR: incorrect size 0\n"));
    EXPECT_FALSE(image.Allocate(false, -2, -3));       // a positive product of negative sides
    EXPECT_FALSE(image.Allocate(true, 60000, 60000));  // past 32 bits
    EXPECT_EQ(log_.Count("ImageBuffer::Allocate: ERROR: incorrect size"), 3u);
    EXPECT_EQ(image.size, 0);
    EXPECT_FALSE(image.data);
}

TEST_F(ImageBufferTest, GetLineChecksTheIndexAndTheMemory) {
    ImageBuffer image;
    EXPECT_EQ(image.GetLine(0), nullptr);
    EXPECT_TRUE(log_.Contains("ImageBuffer::GetLine: ERROR: line index out of range: 0"));
    ASSERT_TRUE(image.Allocate(false, 8, 4));
    EXPECT_EQ(image.GetLine(3), image.data.get() + 24);
    EXPECT_EQ(image.GetLine(4), nullptr);
    EXPECT_EQ(image.GetLine(-1), nullptr);
    image.data.reset();
    EXPECT_EQ(image.GetLine(1), nullptr);
    EXPECT_TRUE(log_.Contains(
        "ImageBuffer::GetLine: ERROR: cannot proceed since it finds unallocated buffer\n"));
}

}  // namespace
}  // namespace korvane::test

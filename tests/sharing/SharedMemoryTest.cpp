// The named segment with its mutex, as server and client use it.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/NamedMutex.h"
#include "sharing/SharedMemory.h"
#include "tests/sharing/ShareFixture.h"

namespace korvane::test {
namespace {

class SharedMemoryTest : public ShareFixture {};

TEST_F(SharedMemoryTest, CreateRefusesAnEmptyNameAndANonPositiveSize) {
    CSharedMemory segment;
    EXPECT_FALSE(segment.Create(nullptr, false, 10));
    EXPECT_FALSE(segment.Create("", false, 10));
    EXPECT_EQ(log_.Count("CSharedMemory::CSharedMemory: ERROR: name is empty\n"), 2u);
    EXPECT_FALSE(segment.Create("Seg", false, 0));
    EXPECT_FALSE(segment.Create("Seg", false, -5));
    EXPECT_EQ(log_.Count("CSharedMemory::CSharedMemory: ERROR: when creating, size must be postive "
                         "and non-zero\n"),
              2u);
#ifndef _WIN32  // named objects are files under the runtime folder here
    EXPECT_FALSE(std::filesystem::exists(runtime_.Root()));
#endif
}

TEST_F(SharedMemoryTest, OpeningChecksExistenceAndSize) {
    CSharedMemory client;
    EXPECT_FALSE(client.Create("Seg", true, 0));
    EXPECT_TRUE(log_.Contains(
        "CSharedMemory::CSharedMemory: ERROR: Unable to access shared memory segment, err=2\n"));

    CSharedMemory server;
    ASSERT_TRUE(server.Create("Seg", false, 1));  // one byte: still a whole page
    EXPECT_GE(server.RegionSize(), 1u);
    EXPECT_TRUE(client.Create("Seg", true, 0));
    EXPECT_TRUE(client.Create("Seg", true, 4096));
    EXPECT_FALSE(client.Create("Seg", true, 4097));
    EXPECT_TRUE(
        log_.Contains("CSharedMemory::CSharedMemory: ERROR: Failed allocate required size "
                      "shared memory for image\n"));
    EXPECT_FALSE(client.IsInitialised());
}

TEST_F(SharedMemoryTest, ANameHeldByAnotherKindIsInUse) {
    auto mutex = platform::NamedMutex::Create("Seg");
    ASSERT_TRUE(mutex);
    CSharedMemory segment;
    EXPECT_FALSE(segment.Create("Seg", false, 100));
    EXPECT_TRUE(log_.Contains(
        "CSharedMemory::CSharedMemory: ERROR: Shared memory segment already in use\n"));
    EXPECT_FALSE(segment.IsInitialised());
}

TEST_F(SharedMemoryTest, CreatingAnExistingSegmentWarnsAndKeepsItsContents) {
    CSharedMemory first;
    ASSERT_TRUE(first.Create("Seg", false, 16));
    ASSERT_TRUE(first.Write("0123456789abcdef", 16));
    CSharedMemory second;
    ASSERT_TRUE(second.Create("Seg", false, 16));
    EXPECT_TRUE(log_.Contains(
        "CSharedMemory::CSharedMemory: WARNING: Shared memory segment already exists\n"));
    char copy[16] = {};
    ASSERT_TRUE(second.Read(copy, 16));
    EXPECT_EQ(std::string(copy, 16), "0123456789abcdef");
#ifndef _WIN32
    // The published names: the segment by the share name, its mutex by
    // the name followed by "Mutex" (files under the runtime folder here).
    EXPECT_TRUE(std::filesystem::exists(runtime_.Root() + "/obj/map/Seg"));
    EXPECT_TRUE(std::filesystem::exists(runtime_.Root() + "/obj/mutex/SegMutex"));
#endif
}

TEST_F(SharedMemoryTest, ReleaseIsRepeatableAndLockAfterReleaseThrows) {
    CSharedMemory segment;
    ASSERT_TRUE(segment.Create("Seg", false, 16));
    EXPECT_TRUE(segment.Lock());
    EXPECT_TRUE(segment.Unlock());
    segment.Release();
    segment.Release();
    EXPECT_EQ(segment.Size(), 0u);
    EXPECT_TRUE(segment.Name().empty());
    EXPECT_THROW(segment.Lock(), const char*);
    EXPECT_TRUE(log_.Contains("CSharedMemory::Lock: object not initialized\n"));
    try {
        segment.Unlock();
        ADD_FAILURE() << "Unlock on a released segment must throw";
    } catch (const char* text) {
        EXPECT_STREQ(text, "err");
    }
    EXPECT_TRUE(log_.Contains("CSharedMemory::Unlock: object not initialized\n"));
#ifndef _WIN32
    // The last holder gave the names back.
    EXPECT_FALSE(std::filesystem::exists(runtime_.Root() + "/obj/map/Seg"));
#endif
    EXPECT_FALSE(segment.Write("x", 1));
}

TEST_F(SharedMemoryTest, CopiesNeverRunPastTheMappedRegion) {
    CSharedMemory segment;
    ASSERT_TRUE(segment.Create("Seg", false, 10));
    std::vector<std::uint8_t> big(segment.RegionSize() * 2, 7);
    EXPECT_TRUE(segment.Write(big.data(), static_cast<std::uint32_t>(big.size())));
    std::vector<std::uint8_t> back(big.size(), 0);
    EXPECT_TRUE(segment.Read(back.data(), static_cast<std::uint32_t>(back.size())));
    EXPECT_EQ(back[segment.RegionSize() - 1], 7);
    EXPECT_EQ(back[segment.RegionSize()], 0);
}

TEST_F(SharedMemoryTest, RefusedNamesAreLoggedBeforeAnythingIsCreated) {
    CSharedMemory segment;
    EXPECT_FALSE(segment.Create("a/b", false, 10));
    EXPECT_FALSE(segment.Create("..", false, 10));
    EXPECT_EQ(log_.Count("NamedObjects: ERROR: "), 2u);
    EXPECT_TRUE(log_.Contains("name 'a/b' refused: "));
#ifndef _WIN32  // named objects are files under the runtime folder here
    EXPECT_FALSE(std::filesystem::exists(runtime_.Root()));
#endif
}

}  // namespace
}  // namespace korvane::test

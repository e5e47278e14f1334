// Events, named mutexes and file mappings on the Win32 kernel objects.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "platform/Event.h"
#include "platform/FileMapping.h"
#include "platform/NamedMutex.h"
#include "platform/SystemError.h"
#include "platform/win32/WinHandle.h"

namespace korvane::platform {
namespace {

std::string UniqueName(const char* what) {
    static int counter = 0;
    return std::string("korvane-test-") + what + "-" + std::to_string(++counter);
}

TEST(Events, PulseWithoutWaiterLeavesNothingAndIsSetKeepsTheSignal) {
    Event autoEvent(Event::Mode::AutoReset);
    autoEvent.Pulse();
    EXPECT_FALSE(autoEvent.Wait(0));
    autoEvent.Set();
    EXPECT_TRUE(autoEvent.IsSet());
    EXPECT_TRUE(autoEvent.IsSet());  // looking did not take it
    EXPECT_TRUE(autoEvent.Wait(0));
    EXPECT_FALSE(autoEvent.Wait(0));  // the wait did

    Event manual(Event::Mode::ManualReset, true);
    EXPECT_TRUE(manual.Wait(0));
    EXPECT_TRUE(manual.Wait(0));
    manual.Reset();
    EXPECT_FALSE(manual.IsSet());
}

TEST(Events, PulseReleasesAWaitingThread) {
    Event pulsed(Event::Mode::AutoReset);
    Event waiting(Event::Mode::ManualReset);
    std::atomic<bool> woke{false};
    std::thread waiter([&] {
        waiting.Set();
        woke = pulsed.Wait(kInfinite);
    });
    ASSERT_TRUE(waiting.Wait(10000));
    // The waiter may not be inside its wait at the first pulse: a pulse
    // with no waiter is lost, so pulse until it has been released.
    while (!woke) {
        pulsed.Pulse();
        ::Sleep(1);
    }
    waiter.join();
    EXPECT_TRUE(woke);
    EXPECT_FALSE(pulsed.IsSet());
}

TEST(Events, WaitAnyAnswersTheLowestSignalledIndex) {
    Event a(Event::Mode::AutoReset);
    Event b(Event::Mode::AutoReset);
    Event c(Event::Mode::ManualReset);
    Event* events[] = {&a, &b, &c};
    EXPECT_EQ(Event::WaitAny(events, 0), kWaitTimeout);
    c.Set();
    b.Set();
    EXPECT_EQ(Event::WaitAny(events, 0), 1);
    EXPECT_EQ(Event::WaitAny(events, 0), 2);
    EXPECT_EQ(Event::WaitAny(events, 0), 2);  // manual reset stays
}

TEST(Mutexes, ExistingNameAnswers183AndAnotherKindAnswers6) {
    const std::string name = UniqueName("mutex");
    auto first = NamedMutex::Create(name);
    ASSERT_TRUE(first);
    EXPECT_EQ(LastError(), kErrorSuccess);
    auto second = NamedMutex::Create(name);
    ASSERT_TRUE(second);
    EXPECT_EQ(LastError(), kErrorAlreadyExists);
    EXPECT_FALSE(FileMapping::Create(name, 100));
    EXPECT_EQ(LastError(), kErrorInvalidHandle);
    EXPECT_FALSE(NamedMutex::Open(UniqueName("missing")));
    EXPECT_EQ(LastError(), kErrorFileNotFound);
}

TEST(Mutexes, AbandonedMutexIsTakenAndUnlockByOtherThreadRefused) {
    const std::string name = UniqueName("abandoned");
    auto mutex = NamedMutex::Create(name);
    ASSERT_TRUE(mutex);
    std::thread holder([&] {
        auto own = NamedMutex::Open(name);
        ASSERT_TRUE(own);
        EXPECT_EQ(own->Lock(), NamedMutex::LockResult::Acquired);
        // Ends without unlocking.
    });
    holder.join();
    EXPECT_EQ(mutex->Lock(), NamedMutex::LockResult::Abandoned);
    std::thread other([&] {
        EXPECT_FALSE(mutex->Unlock());
        EXPECT_EQ(LastError(), kErrorNotOwner);
    });
    other.join();
    EXPECT_TRUE(mutex->Unlock());
    EXPECT_FALSE(mutex->Unlock());
}

TEST(Mappings, RegionIsWholePagesAndAnExistingOneKeepsItsBytes) {
    const std::string name = UniqueName("map");
    auto created = FileMapping::Create(name, 1);
    ASSERT_TRUE(created);
    auto view = created->MapView();
    ASSERT_TRUE(view);
    EXPECT_GE(view->RegionSize(), 4096u);
    std::memcpy(view->Data(), "frame", 5);

    auto again = FileMapping::Create(name, 1);
    ASSERT_TRUE(again);
    EXPECT_EQ(LastError(), kErrorAlreadyExists);
    auto opened = FileMapping::Open(name);
    ASSERT_TRUE(opened);
    auto other = opened->MapView();
    ASSERT_TRUE(other);
    EXPECT_EQ(std::memcmp(other->Data(), "frame", 5), 0);

    EXPECT_FALSE(FileMapping::Open(UniqueName("nothing")));
    EXPECT_EQ(LastError(), kErrorFileNotFound);
}

TEST(Mappings, NamesThatLeaveTheNamespaceAreRefused) {
    EXPECT_FALSE(FileMapping::Create("Global\\korvane", 10));
    EXPECT_EQ(LastError(), kErrorInvalidName);
    EXPECT_FALSE(NamedMutex::Create(""));
    EXPECT_FALSE(FileMapping::Create(std::string(300, 'a'), 10));
    EXPECT_EQ(LastError(), kErrorFilenameTooLong);
}

TEST(SystemErrors, TextsComeFromTheSystem) {
    EXPECT_FALSE(ErrorText(kErrorFileNotFound).empty());
    EXPECT_NE(ErrorText(kErrorFileNotFound).back(), '\n');
    EXPECT_EQ(ErrorText(0x1FFFFFF0u), "");
    SetLastError(kErrorBrokenPipe);
    EXPECT_EQ(::GetLastError(), 109u);
}

}  // namespace
}  // namespace korvane::platform

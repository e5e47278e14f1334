// The message pipe on real Win32 named pipes: completions through events,
// message boundaries and the error numbers callers act on.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "platform/Event.h"
#include "platform/MessagePipe.h"
#include "platform/SystemError.h"

namespace korvane::platform {
namespace {

using Manual = Event::Mode;

std::string UniqueName(const char* what) {
    static int counter = 0;
    return std::string("korvane-test-") + what + "-" + std::to_string(++counter);
}

class PipePair : public ::testing::Test {
  protected:
    void SetUp() override {
        name_ = UniqueName("pipe");
        ASSERT_TRUE(server_.Create(name_)) << LastError();
        const bool started = server_.Connect(connected_);
        ASSERT_TRUE(started || LastError() == kErrorIoPending) << LastError();
        ASSERT_TRUE(client_.Open(name_)) << LastError();
        ASSERT_TRUE(connected_.Wait(10000));
    }

    std::string name_;
    MessagePipe server_;
    MessagePipe client_;
    Event connected_{Manual::ManualReset, true};
    Event readDone_{Manual::ManualReset, true};
    Event writeDone_{Manual::ManualReset, true};
};

TEST_F(PipePair, MessagesKeepTheirBoundariesBothWays) {
    std::array<char, 64> in{};
    const bool readNow = server_.Read(in.data(), in.size(), readDone_);
    EXPECT_TRUE(readNow || LastError() == kErrorIoPending);
    EXPECT_TRUE(client_.Write("first", 5, writeDone_) || LastError() == kErrorIoPending);
    ASSERT_TRUE(readDone_.Wait(10000));
    std::size_t bytes = 0;
    ASSERT_TRUE(server_.ReadResult(bytes));
    EXPECT_EQ(std::string(in.data(), bytes), "first");

    ASSERT_TRUE(writeDone_.Wait(10000));
    EXPECT_TRUE(client_.Write("second!", 7, writeDone_) || LastError() == kErrorIoPending);
    ASSERT_TRUE(writeDone_.Wait(10000));
    ASSERT_TRUE(server_.Read(in.data(), in.size(), readDone_) || LastError() == kErrorIoPending);
    ASSERT_TRUE(readDone_.Wait(10000));
    ASSERT_TRUE(server_.ReadResult(bytes));
    EXPECT_EQ(std::string(in.data(), bytes), "second!");

    // And from the server to the client.
    ASSERT_TRUE(server_.Write("back", 4, writeDone_) || LastError() == kErrorIoPending);
    ASSERT_TRUE(client_.Read(in.data(), in.size(), readDone_) || LastError() == kErrorIoPending);
    ASSERT_TRUE(readDone_.Wait(10000));
    ASSERT_TRUE(client_.ReadResult(bytes));
    EXPECT_EQ(std::string(in.data(), bytes), "back");
}

TEST_F(PipePair, LongerMessageIsCutWithMoreData) {
    ASSERT_TRUE(client_.Write("0123456789", 10, writeDone_) || LastError() == kErrorIoPending);
    ASSERT_TRUE(writeDone_.Wait(10000));
    std::array<char, 4> in{};
    EXPECT_FALSE(server_.Read(in.data(), in.size(), readDone_));
    const ErrorCode started = LastError();
    EXPECT_TRUE(started == kErrorMoreData || started == kErrorIoPending) << started;
    ASSERT_TRUE(readDone_.Wait(10000));
    std::size_t bytes = 0;
    EXPECT_FALSE(server_.ReadResult(bytes));
    EXPECT_EQ(LastError(), kErrorMoreData);
    EXPECT_EQ(bytes, 4u);
    EXPECT_EQ(std::string(in.data(), 4), "0123");
}

TEST_F(PipePair, TheRestOfALongerMessageIsDroppedNotReadAsTheNextMessage) {
    // Cut at once: the message was waiting when the read started.
    ASSERT_TRUE(client_.Write("0123456789", 10, writeDone_) || LastError() == kErrorIoPending);
    ASSERT_TRUE(writeDone_.Wait(10000));
    ASSERT_TRUE(client_.Write("abc", 3, writeDone_) || LastError() == kErrorIoPending);
    ASSERT_TRUE(writeDone_.Wait(10000));
    std::array<char, 4> small{};
    std::size_t bytes = 0;
    if (!server_.Read(small.data(), small.size(), readDone_) && LastError() == kErrorIoPending) {
        ASSERT_TRUE(readDone_.Wait(10000));
        EXPECT_FALSE(server_.ReadResult(bytes));
    }
    EXPECT_EQ(LastError(), kErrorMoreData);
    std::array<char, 64> in{};
    ASSERT_TRUE(server_.Read(in.data(), in.size(), readDone_) || LastError() == kErrorIoPending);
    ASSERT_TRUE(readDone_.Wait(10000));
    ASSERT_TRUE(server_.ReadResult(bytes)) << LastError();
    EXPECT_EQ(std::string(in.data(), bytes), "abc");

    // Cut after waiting, with a message longer than the pipe's buffer: the
    // writer is still handing it over while the rest is dropped, and asking
    // for the result twice drops nothing more.
    ASSERT_FALSE(server_.Read(small.data(), small.size(), readDone_));
    ASSERT_EQ(LastError(), kErrorIoPending);
    const std::string big(20000, 'x');
    EXPECT_TRUE(client_.Write(big.data(), big.size(), writeDone_) ||
                LastError() == kErrorIoPending);
    ASSERT_TRUE(readDone_.Wait(10000));
    EXPECT_FALSE(server_.ReadResult(bytes));
    EXPECT_EQ(LastError(), kErrorMoreData);
    EXPECT_EQ(bytes, 4u);
    ASSERT_TRUE(writeDone_.Wait(10000));
    ASSERT_TRUE(client_.Write("xyz", 3, writeDone_) || LastError() == kErrorIoPending);
    ASSERT_TRUE(writeDone_.Wait(10000));
    EXPECT_FALSE(server_.ReadResult(bytes));
    EXPECT_EQ(LastError(), kErrorMoreData);
    ASSERT_TRUE(server_.Read(in.data(), in.size(), readDone_) || LastError() == kErrorIoPending);
    ASSERT_TRUE(readDone_.Wait(10000));
    ASSERT_TRUE(server_.ReadResult(bytes)) << LastError();
    EXPECT_EQ(std::string(in.data(), bytes), "xyz");
}

TEST_F(PipePair, ReadAfterTheClientLeftIsBrokenPipe) {
    client_.Close();
    std::array<char, 16> in{};
    if (!server_.Read(in.data(), in.size(), readDone_) && LastError() == kErrorIoPending) {
        ASSERT_TRUE(readDone_.Wait(10000));
        std::size_t bytes = 0;
        EXPECT_FALSE(server_.ReadResult(bytes));
    }
    EXPECT_EQ(LastError(), kErrorBrokenPipe);
}

TEST_F(PipePair, PendingReadWakesAWaitTogetherWithOwnEvents) {
    Event stop(Manual::AutoReset);
    std::array<char, 16> in{};
    ASSERT_FALSE(server_.Read(in.data(), in.size(), readDone_));
    ASSERT_EQ(LastError(), kErrorIoPending);
    Event* events[] = {&stop, &readDone_};
    EXPECT_EQ(Event::WaitAny(events, 0), kWaitTimeout);
    ASSERT_TRUE(client_.Write("x", 1, writeDone_) || LastError() == kErrorIoPending);
    EXPECT_EQ(Event::WaitAny(events, 10000), 1);
    // Cancel with nothing pending still succeeds.
    EXPECT_TRUE(server_.Cancel());
}

TEST_F(PipePair, CancelEndsAPendingReadWithAborted) {
    std::array<char, 16> in{};
    ASSERT_FALSE(server_.Read(in.data(), in.size(), readDone_));
    ASSERT_EQ(LastError(), kErrorIoPending);
    EXPECT_TRUE(server_.Cancel());
    EXPECT_TRUE(readDone_.IsSet());
    std::size_t bytes = 0;
    EXPECT_FALSE(server_.ReadResult(bytes));
    EXPECT_EQ(LastError(), kErrorOperationAborted);
}

TEST(Pipe, OpenWithoutServerIsFileNotFound) {
    MessagePipe client;
    EXPECT_FALSE(client.Open(UniqueName("nobody")));
    EXPECT_EQ(LastError(), kErrorFileNotFound);
    EXPECT_FALSE(client.IsOpen());
}

TEST(Pipe, SecondServerUnderALiveNameIsRefused) {
    const std::string name = UniqueName("twice");
    MessagePipe first;
    MessagePipe second;
    ASSERT_TRUE(first.Create(name));
    EXPECT_FALSE(second.Create(name));
    EXPECT_EQ(LastError(), kErrorPipeBusy);
    first.Close();
    EXPECT_TRUE(second.Create(name)) << LastError();
}

TEST(Pipe, ClientBeforeConnectGivesPipeConnectedWithEventSet) {
    const std::string name = UniqueName("early");
    MessagePipe server;
    MessagePipe client;
    ASSERT_TRUE(server.Create(name));
    ASSERT_TRUE(client.Open(name));
    Event connected(Manual::ManualReset, false);
    EXPECT_FALSE(server.Connect(connected));
    EXPECT_EQ(LastError(), kErrorPipeConnected);
    EXPECT_TRUE(connected.IsSet());
}

TEST(Pipe, DisconnectEndsTheClientAndAllowsANewOne) {
    const std::string name = UniqueName("again");
    MessagePipe server;
    ASSERT_TRUE(server.Create(name));
    Event connected(Manual::ManualReset, true);
    Event done(Manual::ManualReset, true);
    for (int round = 0; round < 2; ++round) {
        MessagePipe client;
        server.Connect(connected);
        ASSERT_TRUE(client.Open(name)) << "round " << round << ": " << LastError();
        ASSERT_TRUE(connected.Wait(10000));
        server.Disconnect();
        std::array<char, 4> in{};
        if (!client.Read(in.data(), in.size(), done) && LastError() == kErrorIoPending) {
            ASSERT_TRUE(done.Wait(10000));
            std::size_t bytes = 0;
            EXPECT_FALSE(client.ReadResult(bytes));
        }
        const ErrorCode gone = LastError();
        EXPECT_TRUE(gone == kErrorBrokenPipe || gone == kErrorPipeNotConnected) << gone;
    }
}

}  // namespace
}  // namespace korvane::platform

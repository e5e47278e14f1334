// The overlapped message pipe: completions as events, message boundaries
// and the Windows error numbers of its states.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/Event.h"
#include "platform/MessagePipe.h"
#include "platform/NamedObjects.h"
#include "platform/SystemError.h"
#include "tests/support/ShareTestSupport.h"

namespace korvane::platform {
namespace {

constexpr int kLongWaitMs = 20000;

class MessagePipeTest : public ::testing::Test {
  protected:
    // A server with one connected client.
    void Connected() {
        ASSERT_TRUE(server_.Create("P"));
        ASSERT_TRUE(client_.Open("P"));
        EXPECT_FALSE(server_.Connect(connect_));
        EXPECT_EQ(LastError(), kErrorPipeConnected);
        EXPECT_TRUE(connect_.IsSet());
    }

    // Writes 12-byte messages from the client until one cannot finish at
    // once (the server reads none meanwhile); how many did.
    void FillTheSocket(int& sent) {
        const char message[kMessageSize] = {};
        sent = 0;
        while (client_.Write(message, sizeof message, write_)) {
            ++sent;
            ASSERT_LT(sent, 1000000);
        }
        ASSERT_EQ(LastError(), kErrorIoPending);
    }
    // The server reads those and the pending one.
    void ReadThemAll(int sent) {
        char buffer[kMessageSize];
        for (int i = 0; i <= sent; ++i) {
            if (!server_.Read(buffer, sizeof buffer, read_)) {
                ASSERT_EQ(LastError(), kErrorIoPending);
                ASSERT_TRUE(read_.Wait(kLongWaitMs));
            }
        }
    }

    static constexpr std::size_t kMessageSize = 12;
    test::ShareRuntimeDir runtime_;
    MessagePipe server_;
    MessagePipe client_;
    Event connect_{Event::Mode::ManualReset, true};
    Event read_{Event::Mode::ManualReset, true};
    Event write_{Event::Mode::ManualReset, true};
};

TEST_F(MessagePipeTest, ConnectIsPendingUntilAClientComesAndWaitsWithOtherEvents) {
    ASSERT_TRUE(server_.Create("P"));
    EXPECT_FALSE(server_.Connect(connect_));
    EXPECT_EQ(LastError(), kErrorIoPending);
    EXPECT_FALSE(connect_.IsSet());
    Event stop(Event::Mode::AutoReset, false);
    Event* const events[] = {&stop, &connect_};
    EXPECT_EQ(Event::WaitAny(events, 0), kWaitTimeout);
    ASSERT_TRUE(client_.Open("P"));
    EXPECT_EQ(Event::WaitAny(events, kLongWaitMs), 1);
    // A connected end answers 535 again, with the event set at once.
    connect_.Reset();
    EXPECT_FALSE(server_.Connect(connect_));
    EXPECT_EQ(LastError(), kErrorPipeConnected);
    EXPECT_TRUE(connect_.IsSet());
}

TEST_F(MessagePipeTest, MessagesKeepTheirBoundariesAndLongOnesAreCut) {
    Connected();
    const char a[] = "one";
    const char b[] = "second message";
    ASSERT_TRUE(client_.Write(a, 3, write_));
    ASSERT_TRUE(client_.Write(b, sizeof b, write_));
    char buffer[32] = {};
    ASSERT_TRUE(server_.Read(buffer, sizeof buffer, read_));
    std::size_t n = 0;
    ASSERT_TRUE(server_.ReadResult(n));
    EXPECT_EQ(std::string(buffer, n), "one");
    char small[6] = {};
    EXPECT_FALSE(server_.Read(small, sizeof small, read_));
    EXPECT_EQ(LastError(), kErrorMoreData);
    EXPECT_TRUE(read_.IsSet());
    EXPECT_EQ(std::string(small, 6), "second");
    EXPECT_FALSE(server_.ReadResult(n));
    EXPECT_EQ(LastError(), kErrorMoreData);
}

TEST_F(MessagePipeTest, APendingReadCompletesThroughItsEvent) {
    Connected();
    char buffer[16] = {};
    EXPECT_FALSE(server_.Read(buffer, sizeof buffer, read_));
    EXPECT_EQ(LastError(), kErrorIoPending);
    std::size_t n = 0;
    EXPECT_FALSE(server_.ReadResult(n));
    EXPECT_EQ(LastError(), kErrorIoIncomplete);
    // One read at a time.
    char other[4];
    EXPECT_FALSE(server_.Read(other, sizeof other, read_));
    EXPECT_EQ(LastError(), kErrorBusy);
    ASSERT_TRUE(client_.Write("hello", 5, write_));
    ASSERT_TRUE(read_.Wait(kLongWaitMs));
    ASSERT_TRUE(server_.ReadResult(n));
    EXPECT_EQ(std::string(buffer, n), "hello");
}

// A waiting reader's pending read is finished by the thread in WaitRead: with
// the message's bytes, cut like any read, or with the error that ended it;
// a time-out leaves it outstanding.
TEST_F(MessagePipeTest, AWaitingReaderFinishesItsReadsInWaitRead) {
    Connected();
    client_.UseWaitingReader();
    char buffer[16] = {};
    std::size_t n = 0;
    EXPECT_FALSE(client_.Read(buffer, sizeof buffer, read_));
    EXPECT_EQ(LastError(), kErrorIoPending);
    EXPECT_FALSE(client_.WaitRead(read_, 0)) << "nothing has been sent";
    EXPECT_FALSE(client_.WaitRead(read_, 10));
    EXPECT_FALSE(client_.ReadResult(n));
    EXPECT_EQ(LastError(), kErrorIoIncomplete) << "still outstanding after the time-outs";
    ASSERT_TRUE(server_.Write("hello", 5, write_));
    ASSERT_TRUE(client_.WaitRead(read_, kLongWaitMs));
    EXPECT_TRUE(read_.IsSet());
    ASSERT_TRUE(client_.ReadResult(n));
    EXPECT_EQ(std::string(buffer, n), "hello");

    // A message longer than the buffer is cut.
    char small[6] = {};
    EXPECT_FALSE(client_.Read(small, sizeof small, read_));
    ASSERT_TRUE(server_.Write("a longer message", 16, write_));
    ASSERT_TRUE(client_.WaitRead(read_, kLongWaitMs));
    EXPECT_FALSE(client_.ReadResult(n));
    EXPECT_EQ(LastError(), kErrorMoreData);
    EXPECT_EQ(std::string(small, 6), "a long");

    // Cancel ends the read; the server going away ends the next one.
    EXPECT_FALSE(client_.Read(buffer, sizeof buffer, read_));
    EXPECT_TRUE(client_.Cancel());
    EXPECT_TRUE(client_.WaitRead(read_, kLongWaitMs));
    EXPECT_FALSE(client_.ReadResult(n));
    EXPECT_EQ(LastError(), kErrorOperationAborted);
    EXPECT_FALSE(client_.Read(buffer, sizeof buffer, read_));
    server_.Close();
    ASSERT_TRUE(client_.WaitRead(read_, kLongWaitMs));
    EXPECT_FALSE(client_.ReadResult(n));
    EXPECT_EQ(LastError(), kErrorBrokenPipe);
}

TEST_F(MessagePipeTest, AVanishedClientGivesBrokenPipeThenPipeBeingClosed) {
    Connected();
    char buffer[16];
    EXPECT_FALSE(server_.Read(buffer, sizeof buffer, read_));
    client_.Close();
    ASSERT_TRUE(read_.Wait(kLongWaitMs));
    std::size_t n = 0;
    EXPECT_FALSE(server_.ReadResult(n));
    EXPECT_EQ(LastError(), kErrorBrokenPipe);
    EXPECT_FALSE(server_.Write("x", 1, write_));
    EXPECT_EQ(LastError(), kErrorBrokenPipe);
    EXPECT_FALSE(server_.Connect(connect_));
    EXPECT_EQ(LastError(), kErrorNoData);
    server_.Disconnect();
    EXPECT_FALSE(server_.Read(buffer, sizeof buffer, read_));
    EXPECT_EQ(LastError(), kErrorPipeNotConnected);
    EXPECT_FALSE(server_.Connect(connect_));
    EXPECT_EQ(LastError(), kErrorIoPending);
    MessagePipe second;
    ASSERT_TRUE(second.Open("P"));
    EXPECT_TRUE(connect_.Wait(kLongWaitMs));
}

TEST_F(MessagePipeTest, DisconnectCancelAndCloseEndPendingOperations) {
    Connected();
    char buffer[16];
    std::size_t n = 0;
    EXPECT_FALSE(server_.Read(buffer, sizeof buffer, read_));
    EXPECT_TRUE(server_.Cancel());
    EXPECT_TRUE(read_.IsSet());
    EXPECT_FALSE(server_.ReadResult(n));
    EXPECT_EQ(LastError(), kErrorOperationAborted);

    EXPECT_FALSE(server_.Read(buffer, sizeof buffer, read_));
    server_.Disconnect();
    EXPECT_TRUE(read_.IsSet());
    EXPECT_FALSE(server_.ReadResult(n));
    EXPECT_EQ(LastError(), kErrorPipeNotConnected);

    EXPECT_FALSE(server_.Connect(connect_));
    server_.Close();
    EXPECT_TRUE(connect_.IsSet());
    server_.Close();  // twice is harmless
    EXPECT_FALSE(std::filesystem::exists(ObjectPath(ObjectKind::Pipe, "P")));
}

TEST_F(MessagePipeTest, ServerClosingEndsTheClientsRead) {
    Connected();
    char buffer[16];
    EXPECT_FALSE(client_.Read(buffer, sizeof buffer, read_));
    server_.Close();
    ASSERT_TRUE(read_.Wait(kLongWaitMs));
    std::size_t n = 0;
    EXPECT_FALSE(client_.ReadResult(n));
    EXPECT_EQ(LastError(), kErrorBrokenPipe);
}

TEST_F(MessagePipeTest, ALiveNameIsRefusedAndADeadServersSocketIsReplaced) {
    ASSERT_TRUE(server_.Create("P"));
    MessagePipe rival;
    EXPECT_FALSE(rival.Create("P"));
    EXPECT_EQ(LastError(), kErrorPipeBusy);
    server_.Close();

    // A socket file whose server is gone.
    const std::string path = ObjectPath(ObjectKind::Pipe, "Dead");
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, path.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    close(fd);
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_TRUE(rival.Create("Dead"));
    ASSERT_TRUE(client_.Open("Dead"));
}

TEST_F(MessagePipeTest, OpeningANameNobodyServesAnswersFileNotFound) {
    EXPECT_FALSE(client_.Open("Nobody"));
    EXPECT_EQ(LastError(), kErrorFileNotFound);
    ASSERT_TRUE(server_.Create("P"));
    EXPECT_FALSE(client_.Open("Nobody"));
    EXPECT_EQ(LastError(), kErrorFileNotFound);
    char buffer[4];
    EXPECT_FALSE(client_.Read(buffer, 4, read_));
    EXPECT_EQ(LastError(), kErrorInvalidHandle);
}

TEST_F(MessagePipeTest, AStalledReaderLeavesTheWritePendingUntilItReads) {
    Connected();
    int sent = 0;
    ASSERT_NO_FATAL_FAILURE(FillTheSocket(sent));
    EXPECT_FALSE(write_.IsSet());
    ASSERT_NO_FATAL_FAILURE(ReadThemAll(sent));
    EXPECT_TRUE(write_.Wait(kLongWaitMs));
    std::size_t n = 0;
    EXPECT_TRUE(client_.WriteResult(n));
    EXPECT_EQ(n, kMessageSize);
}

// A read and a write pending on one end are both watched until each
// finishes, and a connection that replaced a dropped one gets its own
// completions (its descriptor may well have the old one's number).
TEST_F(MessagePipeTest, PendingReadAndWriteFinishTogetherAndAfterAReconnection) {
    Connected();
    char reply[8] = {};
    Event replied(Event::Mode::ManualReset, false);
    EXPECT_FALSE(client_.Read(reply, sizeof reply, replied));
    ASSERT_EQ(LastError(), kErrorIoPending);
    int sent = 0;
    ASSERT_NO_FATAL_FAILURE(FillTheSocket(sent));
    ASSERT_NO_FATAL_FAILURE(ReadThemAll(sent));
    EXPECT_TRUE(write_.Wait(kLongWaitMs));
    EXPECT_FALSE(replied.IsSet());
    ASSERT_TRUE(server_.Write("ok", 2, write_));
    ASSERT_TRUE(replied.Wait(kLongWaitMs));
    std::size_t n = 0;
    ASSERT_TRUE(client_.ReadResult(n));
    EXPECT_EQ(std::string(reply, n), "ok");

    char buffer[kMessageSize];
    EXPECT_FALSE(server_.Read(buffer, sizeof buffer, read_));
    client_.Close();
    ASSERT_TRUE(read_.Wait(kLongWaitMs));
    server_.Disconnect();
    EXPECT_FALSE(server_.Connect(connect_));
    MessagePipe second;
    ASSERT_TRUE(second.Open("P"));
    ASSERT_TRUE(connect_.Wait(kLongWaitMs));
    EXPECT_FALSE(server_.Read(buffer, sizeof buffer, read_));
    ASSERT_EQ(LastError(), kErrorIoPending);
    ASSERT_TRUE(second.Write("again", 5, write_));
    ASSERT_TRUE(read_.Wait(kLongWaitMs));
    ASSERT_TRUE(server_.ReadResult(n));
    EXPECT_EQ(std::string(buffer, n), "again");
}

}  // namespace
}  // namespace korvane::platform

// The pipe ends of the share and the exception they throw.
#include "sharing/NamedPipe.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "platform/SystemError.h"
#include "sharing/Win32Exception.h"
#include "tests/sharing/ShareFixture.h"

namespace korvane::test {
namespace {

constexpr int kLongWaitMs = 20000;

class NamedPipeTest : public ShareFixture {};

platform::ErrorCode CodeOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Win32Exception& e) {
        return e.errorCode;
    }
    return 0;
}

TEST_F(NamedPipeTest, OpeningAMissingPipeThrowsFileNotFound) {
    NamedPipe client;
    EXPECT_EQ(CodeOf([&] { client.Open("Nobody"); }), 2u);
    EXPECT_EQ(client.Name(), "Nobody");
#ifndef _WIN32
    EXPECT_EQ(client.Path(), runtime_.Root() + "/pipe/Nobody");
#endif
}

TEST_F(NamedPipeTest, AClientAlreadyWaitingMakesConnectSignalledAtOnce) {
    NamedPipe server;
    server.Create("P");
    NamedPipe client;
    client.Open("P");
    platform::Event& connected = server.Connect();
    EXPECT_TRUE(connected.IsSet());
    EXPECT_TRUE(server.IsConnected());
    ShareHeader h{kShareMagic, 3, 0};
    client.Write(&h, sizeof h).Wait(kLongWaitMs);
    ShareHeader in{};
    ASSERT_TRUE(server.Read(&in, sizeof in).Wait(kLongWaitMs));
    EXPECT_EQ(server.ReadResult(), 12u);
    EXPECT_EQ(in.type, 3);
}

TEST_F(NamedPipeTest, AGoneClientGivesBrokenPipeThenPipeBeingClosed) {
    NamedPipe server;
    server.Create("P");
    {
        NamedPipe client;
        client.Open("P");
        server.Connect();
    }
    char buffer[12];
    EXPECT_EQ(CodeOf([&] { server.Read(buffer, sizeof buffer); }), 109u);
    EXPECT_EQ(CodeOf([&] { server.Connect(); }), 232u);
    server.Disconnect();
    EXPECT_FALSE(server.IsConnected());
    server.Disconnect();  // not connected: nothing
    EXPECT_FALSE(server.Connect().IsSet());
    server.Close();
    server.Close();
    EXPECT_FALSE(server.IsValid());
}

TEST_F(NamedPipeTest, Win32ExceptionCarriesTheCodeAndItsOwnText) {
    // The system's own wording ("The pipe has been ended." on Windows and in
    // the POSIX table; Wine words it differently).
    const std::string ended = platform::ErrorText(109);
    const std::string closing = platform::ErrorText(232);
    ASSERT_FALSE(ended.empty());
    ASSERT_NE(ended, closing);
#ifndef _WIN32
    EXPECT_EQ(ended, "The pipe has been ended.");
#endif
    platform::SetLastError(109);
    const Win32Exception broken;
    EXPECT_EQ(broken.errorCode, 109u);
    EXPECT_EQ(broken.what(), ended);
    const Win32Exception copy = broken;
    EXPECT_EQ(copy.errorCode, 109u);
    EXPECT_EQ(copy.what(), ended);
    EXPECT_STREQ(Win32Exception(99999).what(), "");
    // Texts formatted on two threads at once stay each its own.
    std::string seen;
    std::thread other([&] {
        const Win32Exception onOther(232);
        seen = onOther.what();
    });
    other.join();
    EXPECT_EQ(seen, closing);
    EXPECT_EQ(broken.what(), ended);
    const std::runtime_error& base = broken;
    EXPECT_STREQ(base.std::runtime_error::what(), "Win32 error");
}

}  // namespace
}  // namespace korvane::test

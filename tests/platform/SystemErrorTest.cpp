#include "platform/SystemError.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

namespace korvane::platform {
namespace {

TEST(SystemErrorTest, TextsAreTheSystemsWording) {
    EXPECT_EQ(ErrorText(2), "The system cannot find the file specified.");
    EXPECT_EQ(ErrorText(6), "The handle is invalid.");
    EXPECT_EQ(ErrorText(109), "The pipe has been ended.");
    EXPECT_EQ(ErrorText(183), "Cannot create a file when that file already exists.");
    EXPECT_EQ(ErrorText(232), "The pipe is being closed.");
    EXPECT_EQ(ErrorText(234), "More data is available.");
    EXPECT_EQ(ErrorText(535), "There is a process on other end of the pipe.");
    EXPECT_EQ(ErrorText(997), "Overlapped I/O operation is in progress.");
    EXPECT_EQ(ErrorText(54321), "");
    // An errno without a Windows number keeps its own text.
    EXPECT_EQ(ErrorText(ErrorFromErrno(EROFS)), "Read-only file system");
}

TEST(SystemErrorTest, ErrnoValuesMapToTheNumbersTheCodeTests) {
    EXPECT_EQ(ErrorFromErrno(ENOENT), 2u);
    EXPECT_EQ(ErrorFromErrno(ECONNREFUSED), 2u);
    EXPECT_EQ(ErrorFromErrno(EEXIST), 183u);
    EXPECT_EQ(ErrorFromErrno(EPIPE), 109u);
    EXPECT_EQ(ErrorFromErrno(ECONNRESET), 109u);
    EXPECT_EQ(ErrorFromErrno(EACCES), 5u);
    EXPECT_EQ(ErrorFromErrno(EAGAIN), 997u);
}

TEST(SystemErrorTest, TheLastErrorIsKeptPerThread) {
    SetLastError(109);
    std::thread other([] {
        EXPECT_EQ(LastError(), 0u);
        SetLastError(232);
    });
    other.join();
    EXPECT_EQ(LastError(), 109u);
}

}  // namespace
}  // namespace korvane::platform

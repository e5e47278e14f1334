#include "platform/SystemError.h"

#include <gtest/gtest.h>

#include "tests/support/PlatformText.h"

#include <atomic>
#include <cerrno>
#include <thread>

namespace korvane::platform {
namespace {

TEST(SystemErrorTest, TextsAreTheSystemsWording) {
    struct Wording {
        ErrorCode code;
        const char* windows;
        const char* wine;  // Wine words its system texts its own way
    };
    const Wording wordings[] = {
        {2, "The system cannot find the file specified.", "File not found."},
        {6, "The handle is invalid.", "Invalid handle."},
        {109, "The pipe has been ended.", "Broken pipe."},
        {183, "Cannot create a file when that file already exists.", "File already exists."},
        {232, "The pipe is being closed.", "Pipe closed."},
        {234, "More data is available.", "More data available."},
        {535, "There is a process on other end of the pipe.", "Pipe connected."},
        {997, "Overlapped I/O operation is in progress.", "Overlapped I/O pending."},
    };
    const bool wine = test::RunningUnderWine();
    for (const auto& w : wordings) {
        EXPECT_EQ(ErrorText(w.code), wine ? w.wine : w.windows) << "error " << w.code;
    }
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
    // The socket and message errors the pipes report, on every system.
    EXPECT_EQ(ErrorFromErrno(ENOTCONN), 233u);
    EXPECT_EQ(ErrorFromErrno(EMSGSIZE), 234u);
    EXPECT_EQ(ErrorFromErrno(ENOTSOCK), 6u);
    EXPECT_EQ(ErrorFromErrno(ENOBUFS), 8u);
    EXPECT_EQ(ErrorFromErrno(0), 0u);
    // One without a number of its own keeps the errno value.
    EXPECT_EQ(ErrorFromErrno(EROFS), kErrorFromErrnoBit | static_cast<ErrorCode>(EROFS));
    SetLastErrorFromErrno(EPIPE);
    EXPECT_EQ(LastError(), 109u);
}

TEST(SystemErrorTest, TheLastErrorIsKeptPerThread) {
    // The values are set and read while both threads are running and no
    // other call stands between: starting and joining a thread may change
    // the last error on its own.
    std::atomic<int> step{0};
    ErrorCode seenByOther = 1;
    std::thread other([&] {
        SetLastError(232);
        step.store(1);
        while (step.load() != 2) {
        }
        seenByOther = LastError();
        step.store(3);
    });
    while (step.load() != 1) {
    }
    SetLastError(109);
    step.store(2);
    while (step.load() != 3) {
    }
    const ErrorCode seenHere = LastError();
    other.join();
    EXPECT_EQ(seenHere, 109u) << "the other thread's value did not reach this one";
    EXPECT_EQ(seenByOther, 232u) << "this thread's value did not reach the other";
}

}  // namespace
}  // namespace korvane::platform

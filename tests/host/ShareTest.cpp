// A shared camera seen from another process: korvane-share connects to the
// camera opened through the exports and receives the frames it grabs.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "tests/support/GrabWaiter.h"
#include "tests/support/HostFixture.h"

namespace korvane::test {
namespace {

using namespace std::chrono_literals;

class ShareTest : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        runtime_ = std::make_unique<TempDir>();
        setenv("XDG_RUNTIME_DIR", runtime_->path().c_str(), 1);
        RaiseLogLevel();
    }
    void TearDown() override {
        HostTest::TearDown();
        unsetenv("XDG_RUNTIME_DIR");
    }
    // Runs korvane-share in the background; its output goes to a file.
    pid_t StartClient(const std::string& name, int frames) {
        const std::string out = dir_.File("client.out");
        const pid_t pid = fork();
        if (pid == 0) {
            FILE* f = freopen(out.c_str(), "w", stdout);
            (void)f;
            dup2(fileno(stdout), 2);
            const std::string tool = std::string(KORVANE_TOOLS_DIR) + "/korvane-share";
            const std::string count = std::to_string(frames);
            execl(tool.c_str(), tool.c_str(), "--name", name.c_str(), "--frames", count.c_str(),
                  "--connect-timeout", "10000", "--quiet", static_cast<char*>(nullptr));
            _exit(99);
        }
        return pid;
    }
    int WaitClient(pid_t pid, std::chrono::seconds limit) {
        const auto until = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (std::chrono::steady_clock::now() < until) {
            if (waitpid(pid, &status, WNOHANG) == pid) {
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(10ms);
        }
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return -2;
    }
    std::unique_ptr<TempDir> runtime_;
    GrabWaiter waiter_;
};

TEST_F(ShareTest, SharedCameraPublishesEveryAnnouncedFrame) {
    UseSimulator(SimOneBoard(1, 64, 16, 8));
    const std::string name = "hosttest" + std::to_string(getpid());
    WriteIni("[Camera 1]\nLogLevel=4\nShareCamera=1\nShareName=" + name + "\n");
    ASSERT_EQ(Initialize(), 1);
    OpenCamera("Camera 1", 1);
    EXPECT_TRUE(log_.Contains("Starting share '" + name + "' for Camera 1"));
    ASSERT_EQ(d().setCompleteCallback(0, 1, &GrabWaiter::Callback), 1);

    const pid_t client = StartClient(name, 3);
    for (int i = 0; i < 500 && !log_.Contains("client connected on port=1"); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_TRUE(log_.Contains("CCameraShare::ThreadMain: client connected on port=1"));
    int exitCode = -3;
    for (int grabs = 0; grabs < 50; ++grabs) {
        const std::size_t before = waiter_.Count();
        ASSERT_EQ(d().doXELGrab(0, 1), 1);
        ASSERT_TRUE(waiter_.WaitFor(before + 1));
        std::this_thread::sleep_for(20ms);
        int status = 0;
        if (waitpid(client, &status, WNOHANG) == client) {
            exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
    }
    if (exitCode == -3) {
        exitCode = WaitClient(client, 5s);
    }
    EXPECT_EQ(exitCode, 0) << ReadFile(dir_.File("client.out"));
    EXPECT_TRUE(log_.Contains("CCameraShare::SendFrame: image has been written to memory"));
    d().closeXELPort(0, 1);
    EXPECT_TRUE(log_.Contains("CCameraShare::Stop: Stopped share for Camera 1"));
}

}  // namespace
}  // namespace korvane::test

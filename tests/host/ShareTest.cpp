// A shared camera seen from another process: korvane-share connects to the
// camera opened through the exports and receives the frames it grabs.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/support/ChildProcess.h"
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
    // Opens Camera 1 (64 x 16) shared under a name of its own and answers
    // the name.
    std::string OpenSharedCamera() {
        UseSimulator(SimOneBoard(1, 64, 16, 8));
        // Unique among concurrent tests: the name of this test's own folder.
        const std::string name =
            "hosttest-" + std::filesystem::path(dir_.path()).filename().string();
        WriteIni("[Camera 1]\nLogLevel=4\nShareCamera=1\nShareName=" + name + "\n");
        EXPECT_EQ(Initialize(), 1);
        OpenCamera("Camera 1", 1);
        EXPECT_TRUE(log_.Contains("Starting share '" + name + "' for Camera 1"));
        EXPECT_EQ(d().setCompleteCallback(0, 1, &GrabWaiter::Callback), 1);
        return name;
    }
    // Starts a client for this many frames and grabs until it has left;
    // answers its exit code (-3: it never connected).
    int RunClientWhileGrabbing(const std::string& name, int frames) {
        ChildProcess client;
        if (!client.Start(ToolPath("korvane-share"),
                          {"--name", name, "--frames", std::to_string(frames), "--connect-timeout",
                           "10000", "--quiet"},
                          dir_.File("client.out"))) {
            ADD_FAILURE() << "korvane-share could not be started";
            return -1;
        }
        for (int i = 0; i < 1000 && !log_.Contains("client connected on port=1"); ++i) {
            std::this_thread::sleep_for(10ms);
        }
        if (!log_.Contains("CCameraShare::ThreadMain: client connected on port=1")) {
            return -3;
        }
        int exitCode = 0;
        for (int grabs = 0; grabs < 50; ++grabs) {
            const std::size_t before = waiter_.Count();
            EXPECT_EQ(d().doXELGrab(0, 1), 1);
            EXPECT_TRUE(waiter_.WaitFor(before + 1));
            std::this_thread::sleep_for(20ms);
            if (client.TryWait(exitCode)) {
                return exitCode;
            }
        }
        return client.WaitFor(5s);
    }
    std::unique_ptr<TempDir> runtime_;
    GrabWaiter waiter_;
};

TEST_F(ShareTest, SharedCameraPublishesEveryAnnouncedFrame) {
    const std::string name = OpenSharedCamera();
    const int exitCode = RunClientWhileGrabbing(name, 3);
    const std::string out = ReadFile(dir_.File("client.out"));
    EXPECT_EQ(exitCode, 0) << out;
    // The client asked for the size first and was answered with the image's.
    EXPECT_NE(out.find("share '" + name + "': 64 x 16, 1 byte per pixel"), std::string::npos)
        << out;
    EXPECT_NE(out.find("received 3 frames"), std::string::npos) << out;
    EXPECT_TRUE(log_.Contains("CCameraShare::SendFrame: image has been written to memory"));
    d().closeXELPort(0, 1);
    EXPECT_TRUE(log_.Contains("CCameraShare::Stop: Stopped share for Camera 1"));
}

TEST_F(ShareTest, AClientConnectingAfterAnotherLeftIsServed) {
    const std::string name = OpenSharedCamera();
    ASSERT_EQ(RunClientWhileGrabbing(name, 2), 0) << ReadFile(dir_.File("client.out"));
    log_.Clear();
    const int exitCode = RunClientWhileGrabbing(name, 2);
    const std::string out = ReadFile(dir_.File("client.out"));
    EXPECT_EQ(exitCode, 0) << out;
    EXPECT_NE(out.find("received 2 frames"), std::string::npos) << out;
    d().closeXELPort(0, 1);
}

}  // namespace
}  // namespace korvane::test

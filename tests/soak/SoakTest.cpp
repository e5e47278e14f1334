// The driver as a long-running inspection host uses it: Camera 1 grabs
// continuously and is shared with a client that reconnects every few
// seconds; Camera 2 grabs on demand and the host reads every row; properties
// change all the time. Every frame the client is told about must arrive
// whole, every frame the host reads must be whole, memory and descriptors
// must stay flat after warm-up, and no log line may report an error.
//
// KORVANE_SOAK_SECONDS sets the length (default 120).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "sharing/ShareClient.h"
#include "tests/reliability/ReliabilitySupport.h"
#include "tests/support/HostFixture.h"

namespace korvane::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr const char* kShare = "Soak";
constexpr int kReconnectSeconds = 3;

int SoakSeconds() {
    const char* text = std::getenv("KORVANE_SOAK_SECONDS");
    const int seconds = text != nullptr ? std::atoi(text) : 0;
    return seconds > 0 ? seconds : 120;
}

// Grab-complete calls per port (the test uses ports 1 and 2).
std::atomic<long> gCalls[3];

void CountCall(int /*grabber*/, int port) {
    if (port >= 0 && port < 3) {
        ++gCalls[port];
    }
}

// The log, counted rather than kept (a long run logs millions of lines).
// After a client leaves, the server's next wait reports the old connection
// as "The pipe is being closed" once: an expected line per reconnection.
std::mutex gLogMutex;
std::vector<std::string> gErrorLines;
std::atomic<long> gLogLines{0};
std::atomic<long> gReconnectLines{0};

void CountLog(const char* text) {
    ++gLogLines;
    const std::string line = text != nullptr ? text : "";
    if (line.find("ERROR") == std::string::npos) {
        return;
    }
    if (line.find("CCameraShare::ThreadMain: ERROR: The pipe is being closed") !=
        std::string::npos) {
        ++gReconnectLines;
        return;
    }
    std::lock_guard lock(gLogMutex);
    if (gErrorLines.size() < 20) {
        gErrorLines.push_back(line);
    }
}

struct ClientFigures {
    std::atomic<long> told{0};
    std::atomic<long> whole{0};
    std::atomic<long> torn{0};
    std::atomic<long> connections{0};
    std::atomic<long> failures{0};
};

// Connects, copies every frame it is told about, reconnects every few
// seconds, until stop.
void RunClient(const std::atomic<bool>& stop, ClientFigures& figures) {
    std::vector<std::uint8_t> image(static_cast<std::size_t>(kWidth) * kHeight);
    while (!stop.load()) {
        ShareClient client;
        if (!Eventually(
                [&] { return stop.load() || client.Open(kShare) == ShareClient::Status::Ok; },
                10000) ||
            stop.load()) {
            figures.failures += stop.load() ? 0 : 1;
            continue;
        }
        ShareDimensions dims{};
        if (client.RequestDimensions(dims, 10000) != ShareClient::Status::Ok ||
            dims.width != kWidth || dims.height != kHeight) {
            ++figures.failures;
            continue;
        }
        ++figures.connections;
        const auto until = Clock::now() + std::chrono::seconds(kReconnectSeconds);
        while (!stop.load() && Clock::now() < until) {
            const auto status = client.WaitFrame(5000);
            if (status != ShareClient::Status::Ok) {
                ++figures.failures;
                break;
            }
            ++figures.told;
            if (client.CopyFrame(image.data(), image.size()) != ShareClient::Status::Ok) {
                ++figures.failures;
                break;
            }
            if (IsWholeRampFrame(image.data(), kWidth, kHeight)) {
                ++figures.whole;
            } else {
                ++figures.torn;
            }
        }
    }
}

class SoakTest : public HostTest {
  protected:
    ShareRuntimeDir runtime_;
};

TEST_F(SoakTest, SharedAndOnDemandCamerasStayWholeAndFlat) {
    const int seconds = SoakSeconds();
    UseSimulator(
        "[System0]\nDescriptor=M_SYSTEM_SOLIOS\nDigitizers=2\n"
        "[System0.Digitizer0]\nWidth=640\nHeight=480\nFrameTimeMs=10\n"
        "[System0.Digitizer1]\nWidth=640\nHeight=480\nFrameTimeMs=0\n");
    WriteIni(std::string("[Camera 1]\nLogLevel=2\nShareCamera=1\nShareName=") + kShare +
             "\n[Camera 2]\nLogLevel=2\n");
    d().setDebugMsgProc(&CountLog);
    ASSERT_EQ(d().initialize(systemPath().c_str(), &CountLog), 1);
    const long rssStart = ResidentKb();
    const int fdsStart = OpenFdCount();
    OpenCamera("Camera 1", 1);
    OpenCamera("Camera 2", 2);
    ASSERT_EQ(d().setCompleteCallback(0, 1, &CountCall), 1);
    ASSERT_EQ(d().setCompleteCallback(0, 2, &CountCall), 1);
    ASSERT_EQ(d().setProperty(0, 1, "continuous", 1), 1);
    ASSERT_EQ(d().doXELGrab(0, 1), 1);

    std::atomic<bool> stop{false};
    ClientFigures client;
    std::thread clientThread(RunClient, std::cref(stop), std::ref(client));

    const auto start = Clock::now();
    const auto warmUp = start + std::chrono::seconds(seconds / 5 > 5 ? seconds / 5 : 5);
    const auto end = start + std::chrono::seconds(seconds);
    long hostFrames = 0;
    long hostTorn = 0;
    long rssWarm = -1;
    int fdsWarm = -1;
    long rssPeakAfterWarm = 0;
    int fdsPeakAfterWarm = 0;
    std::vector<std::uint8_t> image(static_cast<std::size_t>(kWidth) * kHeight);
    for (long i = 0; Clock::now() < end; ++i) {
        const long before = gCalls[2].load();
        ASSERT_EQ(d().doXELGrab(0, 2), 1);
        ASSERT_TRUE(Eventually([&] { return gCalls[2].load() > before; }));
        for (int y = 0; y < kHeight; ++y) {
            ASSERT_EQ(d().getXELGrabRow(0, 2, image.data() + static_cast<std::size_t>(y) * kWidth,
                                        y, 0, kWidth - 1),
                      1);
        }
        ++hostFrames;
        hostTorn += IsWholeRampFrame(image.data(), kWidth, kHeight) ? 0 : 1;
        // Properties of both cameras change while they grab.
        const int port = 1 + static_cast<int>(i % 2);
        ASSERT_EQ(d().setProperty(0, port, "Gain", static_cast<int>(i % 256)), 1);
        ASSERT_EQ(d().setProperty(0, port, "Exposure", static_cast<int>(1000 + i % 5000)), 1);
        int value = 0;
        ASSERT_EQ(d().getProperty(0, port, "Gain", &value), 1);
        ASSERT_EQ(value, static_cast<int>(i % 256));
        if (Clock::now() >= warmUp) {
            const long rss = ResidentKb();
            const int fds = OpenFdCount();
            if (rssWarm < 0) {
                rssWarm = rss;
                fdsWarm = fds;
            }
            rssPeakAfterWarm = std::max(rssPeakAfterWarm, rss);
            fdsPeakAfterWarm = std::max(fdsPeakAfterWarm, fds);
        }
    }
    stop = true;
    clientThread.join();
    const long rssEnd = ResidentKb();
    const int fdsEnd = OpenFdCount();
    const long sharedFrames = gCalls[1].load();
    // A clean shutdown: continuous grabbing off and the last grab finished,
    // so that the close stops no grab in progress (which would be logged as
    // a failed grab).
    ASSERT_EQ(d().setProperty(0, 1, "continuous", 0), 1);
    const long settled = gCalls[1].load();
    Eventually([&] { return gCalls[1].load() > settled; }, 1000);
    std::this_thread::sleep_for(50ms);
    d().closeXELPort(0, 1);
    d().closeXELPort(0, 2);
    d().finalize();

    d().setDebugMsgProc(nullptr);
    const std::vector<std::string> errors = gErrorLines;
    std::printf(
        "soak: %d s; shared camera %ld frames, client told %ld, whole %ld, torn %ld, "
        "%ld connections, %ld failures; host camera %ld frames, torn %ld\n"
        "soak: RSS kB start %ld, after warm-up %ld, peak %ld, end %ld; fds start %d, "
        "after warm-up %d, peak %d, end %d; %ld log lines, %zu error lines, %ld reconnection "
        "lines\n",
        seconds, sharedFrames, client.told.load(), client.whole.load(), client.torn.load(),
        client.connections.load(), client.failures.load(), hostFrames, hostTorn, rssStart, rssWarm,
        rssPeakAfterWarm, rssEnd, fdsStart, fdsWarm, fdsPeakAfterWarm, fdsEnd, gLogLines.load(),
        errors.size(), gReconnectLines.load());

    EXPECT_GT(client.told.load(), 0);
    EXPECT_EQ(client.whole.load(), client.told.load());
    EXPECT_EQ(client.torn.load(), 0);
    EXPECT_EQ(client.failures.load(), 0);
    EXPECT_GE(client.connections.load(), seconds / kReconnectSeconds / 2);
    EXPECT_GT(hostFrames, 0);
    EXPECT_EQ(hostTorn, 0);
    // Flat after warm-up: a leak of a few hundred bytes per frame or one
    // descriptor per reconnection shows well above these margins.
    EXPECT_LE(rssPeakAfterWarm - rssWarm, 4096) << "resident memory grows";
    EXPECT_LE(fdsPeakAfterWarm - fdsWarm, 2) << "descriptors grow";
    EXPECT_LE(gReconnectLines.load(), client.connections.load());
    for (const auto& line : errors) {
        ADD_FAILURE() << "error logged: " << line;
    }
}

}  // namespace
}  // namespace korvane::test

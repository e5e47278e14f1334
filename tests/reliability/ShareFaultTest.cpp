// A shared camera against clients and servers that fail: killed while they
// hold the segment's mutex or while frames arrive, a server killed and
// restarted under a waiting client, a client that stops reading, and a flood
// of malformed and oversized messages.
#include <csignal>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <random>
#include <thread>

#include "sharing/ShareClient.h"
#include "sharing/ShareProtocol.h"
#include "tests/reliability/ReliabilityFixture.h"

namespace korvane::test {
namespace {

using namespace std::chrono_literals;

class ShareFaultTest : public ReliabilityTest {
  protected:
    // Opens both cameras (Camera 1 shared, on port 1; Camera 2 on port 2)
    // and sets Camera 1 grabbing continuously.
    void OpenAndGrabContinuously() {
        ASSERT_EQ(Initialize(), 1);
        OpenCamera("Camera 1", 1);
        OpenCamera("Camera 2", 2);
        ASSERT_EQ(d().setCompleteCallback(0, 1, &GrabWaiter::Callback), 1);
        ASSERT_EQ(d().setCompleteCallback(0, 2, &GrabWaiter::Callback), 1);
        ASSERT_EQ(d().setProperty(0, 1, "continuous", 1), 1);
        ASSERT_EQ(d().doXELGrab(0, 1), 1);
    }

    std::size_t CallsFor(int port) const {
        std::size_t n = 0;
        for (const auto& call : waiter_.Calls()) {
            n += call.port == port ? 1 : 0;
        }
        return n;
    }

    // Camera 2 still grabs on demand and its rows are whole frames.
    void ExpectOtherCameraWorks() {
        const std::size_t before = CallsFor(2);
        ASSERT_EQ(d().doXELGrab(0, 2), 1);
        ASSERT_TRUE(Eventually([&] { return CallsFor(2) > before; }));
        std::vector<std::uint8_t> image;
        for (int y = 0; y < kHeight; ++y) {
            const auto row = Row(2, y, 0, kWidth - 1);
            ASSERT_EQ(row.size(), static_cast<std::size_t>(kWidth));
            image.insert(image.end(), row.begin(), row.end());
        }
        EXPECT_TRUE(IsWholeRampFrame(image.data(), kWidth, kHeight));
    }

    // A client in this process connects, asks the size and copies `frames`
    // announced frames, each of which must be whole.
    void ExpectClientGetsWholeFrames(int frames) {
        ShareClient client;
        ASSERT_TRUE(
            Eventually([&] { return client.Open(kShare) == ShareClient::Status::Ok; }, 10000));
        ShareDimensions dims{};
        ASSERT_EQ(client.RequestDimensions(dims, 10000), ShareClient::Status::Ok);
        ASSERT_EQ(dims.width, kWidth);
        ASSERT_EQ(dims.height, kHeight);
        std::vector<std::uint8_t> image(static_cast<std::size_t>(kWidth) * kHeight);
        for (int i = 0; i < frames; ++i) {
            ASSERT_EQ(client.WaitFrame(10000), ShareClient::Status::Ok) << "frame " << i;
            ASSERT_EQ(client.CopyFrame(image.data(), image.size()), ShareClient::Status::Ok);
            ASSERT_TRUE(IsWholeRampFrame(image.data(), kWidth, kHeight)) << "frame " << i;
        }
    }
};

TEST_F(ShareFaultTest, ClientKilledHoldingTheMutexDoesNotStopTheCamera) {
    OpenAndGrabContinuously();
    ShareProcess reader = StartReliabilityPeer("follow Line1");
    ASSERT_EQ(FollowFrames(reader, 1), "");

    ShareProcess holder = StartReliabilityPeer(std::string("hold ") + kShare);
    ASSERT_EQ(holder.ReadLine(), "locked");
    // The server now waits for the mutex; the camera and its neighbour go on.
    const std::size_t grabbed = CallsFor(1);
    ASSERT_TRUE(Eventually([&] { return CallsFor(1) > grabbed + 20; }));
    ExpectOtherCameraWorks();

    holder.Kill(SIGKILL);
    EXPECT_EQ(holder.Wait(), 128 + SIGKILL);
    // The abandoned mutex is taken over and publishing resumes.
    EXPECT_EQ(FollowFrames(reader, 5), "");
    reader.Kill(SIGKILL);
    reader.Wait();
    ExpectClientGetsWholeFrames(5);
}

TEST_F(ShareFaultTest, ClientsKilledWhileFramesArriveAreReplaced) {
    OpenAndGrabContinuously();
    std::mt19937 random(7);
    for (int round = 0; round < 4; ++round) {
        ShareProcess reader = StartReliabilityPeer("follow Line1");
        ASSERT_EQ(FollowFrames(reader, 1), "") << "round " << round;
        // Killed at an arbitrary point of the stream, mid-copy or mid-read.
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 40));
        reader.Kill(SIGKILL);
        EXPECT_EQ(reader.Wait(), 128 + SIGKILL);
    }
    ExpectClientGetsWholeFrames(10);
    ExpectOtherCameraWorks();
    EXPECT_GE(log_.Count("CCameraShare::ThreadMain: client connected on port=1"), 5u);
}

TEST_F(ShareFaultTest, ServerKilledAndRestartedIsFoundByAWaitingClient) {
    ShareProcess host = StartReliabilityPeer("host " + systemPath() + " 1");
    ASSERT_EQ(host.ReadUntil("opened"), "opened 1");
    ShareClient client;
    ASSERT_TRUE(Eventually([&] { return client.Open(kShare) == ShareClient::Status::Ok; }, 10000));
    ShareDimensions dims{};
    ASSERT_EQ(client.RequestDimensions(dims, 10000), ShareClient::Status::Ok);
    ASSERT_EQ(client.WaitFrame(10000), ShareClient::Status::Ok);

    host.Kill(SIGKILL);
    EXPECT_EQ(host.Wait(), 128 + SIGKILL);
    // The client learns that the server has gone.
    ShareClient::Status status = ShareClient::Status::Ok;
    ASSERT_TRUE(Eventually([&] {
        status = client.WaitFrame(100);
        return status == ShareClient::Status::Closed;
    }));
    client.Close();

    // The dead server left its segment, mutex and socket file; a new one
    // takes them over.
    ShareProcess restarted = StartReliabilityPeer("host " + systemPath() + " 1");
    std::vector<std::string> startup;
    for (auto line = restarted.ReadLine(); line && *line != "serving";
         line = restarted.ReadLine()) {
        startup.push_back(*line);
    }
    auto saw = [&](const std::string& fragment) {
        return std::any_of(startup.begin(), startup.end(), [&](const std::string& l) {
            return l.find(fragment) != std::string::npos;
        });
    };
    EXPECT_TRUE(saw("opened 1"));
#ifdef _WIN32
    // Windows removed the dead server's mapping with its last handle.
    EXPECT_FALSE(saw("Shared memory segment already exists"));
#else
    EXPECT_TRUE(saw("Shared memory segment already exists"));
#endif
    EXPECT_FALSE(saw("ERROR")) << "the restarted server reported a failure";
    ShareProcess again = StartReliabilityPeer("follow Line1");
    EXPECT_EQ(FollowFrames(again, 5), "");
}

TEST_F(ShareFaultTest, ClientThatStopsReadingBlocksNothingAndGetsWholeMessages) {
    OpenAndGrabContinuously();
    RawShareClient stalled;
    ASSERT_TRUE(stalled.Connect(kShare));
    stalled.SetReceiveBuffer(1024);
    ASSERT_TRUE(Eventually([&] { return log_.Contains("client connected on port=1"); }));

    // Ten seconds without reading: the pipe fills, the camera goes on, the
    // other camera goes on, properties answer.
    const auto until = std::chrono::steady_clock::now() + 10s;
    std::size_t rounds = 0;
    while (std::chrono::steady_clock::now() < until) {
        const std::size_t before = CallsFor(1);
        ASSERT_TRUE(Eventually([&] { return CallsFor(1) > before; }, 5000))
            << "shared camera stalled";
        ExpectOtherCameraWorks();
        int gain = -1;
        ASSERT_EQ(d().setProperty(0, 1, "Gain", static_cast<int>(rounds % 200)), 1);
        ASSERT_EQ(d().getProperty(0, 1, "Gain", &gain), 1);
        EXPECT_EQ(gain, static_cast<int>(rounds % 200));
        ++rounds;
        std::this_thread::sleep_for(200ms);
    }
    EXPECT_GT(rounds, 10u);

    // Reading again: every message is a whole notice, and a request is
    // answered with the right size.
    ASSERT_TRUE(stalled.SendHeader(kShareTypeDimensions));
    bool dimensionsFollow = false;
    int notices = 0;
    for (;;) {
        const auto message = stalled.Receive();
        ASSERT_TRUE(message.has_value()) << "no answer after the client resumed";
        ASSERT_EQ(message->size(), 12u);
        if (dimensionsFollow) {
            ShareDimensions dims{};
            std::memcpy(&dims, message->data(), sizeof dims);
            EXPECT_EQ(dims.width, kWidth);
            EXPECT_EQ(dims.height, kHeight);
            EXPECT_EQ(dims.bytesPerPixel, 1);
            break;
        }
        ShareHeader header{};
        std::memcpy(&header, message->data(), sizeof header);
        ASSERT_EQ(header.magic, kShareMagic);
        if (header.type == kShareTypeDimensions) {
            EXPECT_EQ(header.length, 12);
            dimensionsFollow = true;
        } else {
            ASSERT_EQ(header.type, kShareTypeFrame);
            ASSERT_EQ(header.length, 0);
            ++notices;
        }
    }
    EXPECT_GT(notices, 0);
    stalled.Close();
    ExpectClientGetsWholeFrames(5);
}

// A continuously grabbing camera grabs the next frame as soon as the last
// one was announced: the share's copy must still hold one whole frame.
TEST_F(ShareFaultTest, FramesGrabbedFasterThanTheShareCopiesStayWhole) {
    UseSimulator(Board(0));
    OpenAndGrabContinuously();
    ExpectClientGetsWholeFrames(200);
}

TEST_F(ShareFaultTest, FloodOfMalformedAndOversizedMessagesIsIgnored) {
    OpenAndGrabContinuously();
    RawShareClient flood;
    ASSERT_TRUE(flood.Connect(kShare));
    std::mt19937 random(11);
    std::thread drain;  // the answers must be read, or the server waits for us
    std::atomic<bool> stop{false};
    std::atomic<int> dimensionAnswers{0};
    std::atomic<int> malformed{0};
    drain = std::thread([&] {
        bool dimensionsFollow = false;
        while (!stop.load()) {
            const auto message = flood.Receive(100);
            if (!message) {
                continue;
            }
            if (message->size() != 12) {
                ++malformed;
                return;
            }
            ShareHeader header{};
            std::memcpy(&header, message->data(), sizeof header);
            if (dimensionsFollow) {
                ShareDimensions dims{};
                std::memcpy(&dims, message->data(), sizeof dims);
                malformed += dims.width == kWidth && dims.height == kHeight ? 0 : 1;
                ++dimensionAnswers;
                dimensionsFollow = false;
            } else if (header.magic != kShareMagic ||
                       (header.type != kShareTypeFrame && header.type != kShareTypeDimensions)) {
                ++malformed;
            } else {
                dimensionsFollow = header.type == kShareTypeDimensions;
            }
        }
    });
    int requests = 0;
    for (int i = 0; i < 3000; ++i) {
        const std::size_t sizes[] = {0, 1, 4, 5, 7, 8, 11, 12, 13, 100, 4096, 65000};
        std::vector<std::uint8_t> message(sizes[random() % std::size(sizes)]);
        for (auto& b : message) {
            b = static_cast<std::uint8_t>(random() % 4 == 0 ? 2 : random());
        }
        ASSERT_TRUE(flood.Send(message.data(), message.size())) << "message " << i;
        std::int32_t type = 0;
        if (message.size() >= 8 && message.size() <= 12) {
            std::memcpy(&type, message.data() + 4, sizeof type);
            requests += type == kShareTypeDimensions ? 1 : 0;
        }
    }
    ASSERT_TRUE(flood.SendHeader(kShareTypeDimensions));
    ++requests;
    EXPECT_TRUE(Eventually([&] { return dimensionAnswers.load() >= requests; }));
    stop = true;
    drain.join();
    EXPECT_EQ(dimensionAnswers.load(), requests);
    EXPECT_EQ(malformed.load(), 0);
    flood.Close();
    ExpectClientGetsWholeFrames(5);
    ExpectOtherCameraWorks();
}

}  // namespace
}  // namespace korvane::test

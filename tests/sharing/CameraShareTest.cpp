// The share server against a real second process.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "platform/SystemError.h"
#include "sharing/CameraShare.h"
#include "tests/sharing/ShareFixture.h"
#include "tests/support/ChildProcess.h"

namespace korvane::test {
namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;

std::string DimsHex(int w, int h) {
    const ShareDimensions d{w, h, 1};
    const auto* b = reinterpret_cast<const std::uint8_t*>(&d);
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < sizeof d; ++i) {
        out += digits[b[i] >> 4];
        out += digits[b[i] & 15];
    }
    return out;
}

class CameraShareTest : public ShareFixture {
  protected:
    FakeShareSource source_{kWidth, kHeight};
};

TEST_F(CameraShareTest, DimensionsRequestIsAnsweredByExactlyTwoMessages) {
    CCameraShare share(source_);
    share.Start("Line1");
    ShareProcess peer = StartPeer("raw Line1;send " + HeaderHex(2, 0) + ";recv;recv;recv");
    ASSERT_EQ(peer.ReadLine(), "raw ok");
    ASSERT_EQ(peer.ReadLine(), "sent");
    EXPECT_EQ(peer.ReadLine(), "msg " + HeaderHex(2, 12));
    EXPECT_EQ(peer.ReadLine(), "msg " + DimsHex(kWidth, kHeight));
    ASSERT_TRUE(LogShows("CCameraShare::ThreadMain: dimensions sent on port=7"));
    // Whatever comes next is the frame notice, not a third answer message.
    ASSERT_TRUE(PublishFrame(share, source_));
    EXPECT_EQ(peer.ReadLine(), "msg " + HeaderHex(3, 0));
    EXPECT_EQ(peer.ReadLine(), "done");
    share.Stop();
    EXPECT_TRUE(log_.Contains("CCameraShare::ProcessCommand: type 2"));
}

TEST_F(CameraShareTest, SilentClientReceivesOneNoticePerFrameWithTheImageInTheSegment) {
    CCameraShare share(source_);
    share.Start("Line1");
    ShareProcess peer = StartPeer("client Line1;dims;frames 3;copy");
    ASSERT_EQ(peer.ReadLine(), "client ok 0");
    ASSERT_EQ(peer.ReadLine(), "dims 64 48 1");
    for (int i = 1; i <= 3; ++i) {
        source_.SetFrame(static_cast<std::uint32_t>(i * 10));
        ASSERT_TRUE(PublishFrame(share, source_));
        ASSERT_EQ(peer.ReadLine(), "frame " + std::to_string(i));
    }
    EXPECT_EQ(peer.ReadLine(), "frames 3 ok");
    EXPECT_EQ(peer.ReadLine(),
              "copy ok " + std::to_string(Fnv1a(ExpectedImage(30, kWidth, kHeight))));
    EXPECT_EQ(peer.ReadLine(), "done");
    EXPECT_EQ(peer.Wait(), 0);
    share.Stop();
    EXPECT_EQ(log_.Count("CCameraShare::SendFrame: image has been written to memory"), 3u);
}

// A camera that announces its next frame as soon as the server lets go of
// one (as a grab thread the share held up would), a few times, and also
// announces a frame in the middle of every copy.
class AnnouncingSource : public FakeShareSource {
  public:
    using FakeShareSource::FakeShareSource;
    bool ShareGetRow(std::uint8_t* dest, int row, int first, int last) override {
        if (row == 1) {
            share->NotifyFrame();
        }
        return FakeShareSource::ShareGetRow(dest, row, first, last);
    }
    void ShareEndFrame() override {
        if (announceOnRelease.fetch_sub(1) > 0) {
            share->NotifyFrame();
        }
    }
    CCameraShare* share = nullptr;
    std::atomic<int> announceOnRelease{0};
};

TEST_F(CameraShareTest, AFrameAnnouncedAfterTheLastWasLetGoIsPublishedOneDuringACopyIsNot) {
    AnnouncingSource source(kWidth, kHeight);
    CCameraShare share(source);
    source.share = &share;
    source.announceOnRelease = 3;
    share.Start("Line1");
    ShareProcess peer = StartPeer("client Line1;dims;frames 5");
    ASSERT_EQ(peer.ReadLine(), "client ok 0");
    ASSERT_EQ(peer.ReadLine(), "dims 64 48 1");
    // One announcement from here; the camera's own three follow it.
    ASSERT_TRUE(PublishFrame(share, source));
    for (int i = 1; i <= 4; ++i) {
        ASSERT_EQ(peer.ReadLine(), "frame " + std::to_string(i));
    }
    // The announcements made during the copies were dropped: nothing more
    // comes until the next one from here.
    ASSERT_TRUE(PublishFrame(share, source));
    EXPECT_EQ(peer.ReadLine(), "frame 5");
    EXPECT_EQ(peer.ReadLine(), "frames 5 ok");
    EXPECT_EQ(peer.Wait(), 0);
    share.Stop();
    EXPECT_EQ(source.FramesFetched(), 5u);
    EXPECT_EQ(log_.Count("CCameraShare::SendFrame: image has been written to memory"), 5u);
}

TEST_F(CameraShareTest, NoticesComeWhetherOrNotTheClientAskedForDimensions) {
    CCameraShare share(source_);
    share.Start("Line1");
    ShareProcess peer = StartPeer("raw Line1;recv;recv");
    ASSERT_EQ(peer.ReadLine(), "raw ok");
    ASSERT_TRUE(LogShows("client connected on port=7"));
    ASSERT_TRUE(PublishFrame(share, source_));
    ASSERT_TRUE(PublishFrame(share, source_));
    EXPECT_EQ(peer.ReadLine(), "msg " + HeaderHex(3, 0));
    EXPECT_EQ(peer.ReadLine(), "msg " + HeaderHex(3, 0));
    share.Stop();
}

TEST_F(CameraShareTest, OtherTypesShortAndOverlongMessagesAreLoggedAndIgnored) {
    CCameraShare share(source_);
    share.Start("Line1");
    // Type 5; four bytes (type stays 0); twenty bytes of garbage; then a
    // real request, whose answer must be the next thing to arrive.
    ShareProcess peer = StartPeer("raw Line1;send " + HeaderHex(5, 0) +
                                  ";send 01020304;send 0102030405060708090a0b0c0d0e0f1011121314"
                                  ";send " +
                                  HeaderHex(2, 0) + ";recv;recv");
    ASSERT_EQ(peer.ReadLine(), "raw ok");
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(peer.ReadLine(), "sent");
    }
    EXPECT_EQ(peer.ReadLine(), "msg " + HeaderHex(2, 12));
    EXPECT_EQ(peer.ReadLine(), "msg " + DimsHex(kWidth, kHeight));
    share.Stop();
    EXPECT_TRUE(log_.Contains("CCameraShare::ProcessCommand: type 5"));
    EXPECT_TRUE(log_.Contains("CCameraShare::ProcessCommand: type 0"));
    EXPECT_TRUE(log_.Contains("CCameraShare::ThreadMain: ERROR: " +
                              platform::ErrorText(platform::kErrorMoreData)));
    EXPECT_EQ(log_.Count("CCameraShare::ThreadMain: dimensions sent"), 1u);
    // None of the bad messages counts as the client leaving; the peer's own
    // exit after its last read may, so only what came before the answer counts.
    const int answered = log_.IndexOf("CCameraShare::ThreadMain: dimensions sent");
    const int left = log_.IndexOf("client disconnected");
    EXPECT_TRUE(left < 0 || left > answered);
}

TEST_F(CameraShareTest, ASecondClientIsServedAfterTheFirstLeaves) {
    CCameraShare share(source_);
    share.Start("Line1");
    {
        ShareProcess first = StartPeer("client Line1;dims;close");
        EXPECT_EQ(first.ReadLine(), "client ok 0");
        EXPECT_EQ(first.ReadLine(), "dims 64 48 1");
        EXPECT_EQ(first.ReadLine(), "closed");
        EXPECT_EQ(first.Wait(), 0);
    }
    ASSERT_TRUE(LogShows("CCameraShare::ThreadMain: waiting for client on port=7", 3));
    ShareProcess second = StartPeer("client Line1;dims;frames 1");
    EXPECT_EQ(second.ReadLine(), "client ok 0");
    EXPECT_EQ(second.ReadLine(), "dims 64 48 1");
    ASSERT_TRUE(PublishFrame(share, source_));
    EXPECT_EQ(second.ReadLine(), "frame 1");
    share.Stop();

    const int gone = log_.IndexOf("CCameraShare::ThreadMain: client disconnected on port 7");
    ASSERT_GE(gone, 0);
    const int waiting =
        log_.IndexOf("CCameraShare::ThreadMain: waiting for client on port=7", gone);
    const int closing = log_.IndexOf(
        "CCameraShare::ThreadMain: ERROR: " + platform::ErrorText(platform::kErrorNoData), waiting);
    const int reconnect = log_.IndexOf("CCameraShare::ThreadMain: Reconnecting...", closing);
    const int again =
        log_.IndexOf("CCameraShare::ThreadMain: waiting for client on port=7", reconnect);
    const int served = log_.IndexOf("CCameraShare::ThreadMain: client connected on port=7", again);
    EXPECT_GT(waiting, gone);
    EXPECT_GT(closing, waiting);
    EXPECT_GT(reconnect, closing);
    EXPECT_GT(again, reconnect);
    EXPECT_GT(served, again);
    // The read that ended with the client is not taken for a command.
    EXPECT_FALSE(log_.Contains("CCameraShare::ProcessCommand: type 0"));
}

TEST_F(CameraShareTest, StopWithAClientConnectedEndsTheThreadAndTheClientNoticesIt) {
    CCameraShare share(source_);
    share.Start("Line1");
    ShareProcess peer = StartPeer("raw Line1;send " + HeaderHex(2, 0) + ";recv;recv;recv");
    ASSERT_EQ(peer.ReadLine(), "raw ok");
    ASSERT_EQ(peer.ReadLine(), "sent");
    ASSERT_EQ(peer.ReadLine(), "msg " + HeaderHex(2, 12));
    ASSERT_EQ(peer.ReadLine(), "msg " + DimsHex(kWidth, kHeight));
    share.Stop();
    // The server disconnects its end before closing it: Windows reports that
    // to the client's read as "not connected", the POSIX pipe as broken.
#ifdef _WIN32
    EXPECT_EQ(peer.ReadLine(), "recv error 233");
#else
    EXPECT_EQ(peer.ReadLine(), "recv error 109");
#endif
    const int stopped = log_.IndexOf("CCameraShare::StopProcessingThread: thread stopped, clock=");
    EXPECT_GE(stopped, 0);
    EXPECT_GT(log_.IndexOf("CCameraShare::Stop: Stopped share for Camera 1"), stopped);
}

TEST_F(CameraShareTest, StopOfAShareNeverStartedLogsOnlyTheTwoLines) {
    CCameraShare share(source_);
    share.Stop();
    EXPECT_EQ(log_.Messages(),
              (std::vector<std::string>{"CCameraShare::Stop: Stopping share for Camera 1\n",
                                        "CCameraShare::Stop: Stopped share for Camera 1\n"}));
}

TEST_F(CameraShareTest, StartLogsItsLinesAndTheThreadEntry) {
    CCameraShare share(source_);
    share.Start("Line1");
    ASSERT_TRUE(LogShows("CCameraShare::ThreadMain: waiting for client on port=7"));
    share.Stop();
    EXPECT_TRUE(log_.Contains("Starting share 'Line1' for Camera 1"));
    EXPECT_TRUE(log_.Contains("CCameraShare::static_ThreadMain\n"));
    EXPECT_TRUE(log_.Contains("CCameraShare::ThreadMain: entering, clock="));
    EXPECT_EQ(CCameraShare::static_ThreadMain(nullptr), -1);
}

TEST_F(CameraShareTest, TwoSharesUnderTwoNamesRunIndependently) {
    FakeShareSource other(32, 16, "Camera 2", 8);
    CCameraShare a(source_);
    CCameraShare b(other);
    a.Start("LineA");
    b.Start("LineB");
    ShareProcess pa = StartPeer("client LineA;dims;frames 1;copy");
    ShareProcess pb = StartPeer("client LineB;dims;frames 1;copy");
    EXPECT_EQ(pa.ReadLine(), "client ok 0");
    EXPECT_EQ(pb.ReadLine(), "client ok 0");
    EXPECT_EQ(pa.ReadLine(), "dims 64 48 1");
    EXPECT_EQ(pb.ReadLine(), "dims 32 16 1");
    other.SetFrame(5);
    ASSERT_TRUE(PublishFrame(b, other));
    EXPECT_EQ(pb.ReadLine(), "frame 1");
    EXPECT_EQ(pb.ReadLine(), "frames 1 ok");
    EXPECT_EQ(pb.ReadLine(), "copy ok " + std::to_string(Fnv1a(ExpectedImage(5, 32, 16))));
    EXPECT_EQ(source_.FramesFetched(), 0u);
    ASSERT_TRUE(PublishFrame(a, source_));
    EXPECT_EQ(pa.ReadLine(), "frame 1");
    b.Stop();
    a.Stop();
}

TEST_F(CameraShareTest, AClientKilledHoldingTheSegmentMutexDoesNotStopTheServer) {
    CCameraShare share(source_);
    share.Start("Line1");
    ShareProcess holder = StartPeer("hold Line1");
    ASSERT_EQ(holder.ReadLine(), "locked");
    holder.Kill(SIGKILL);
    EXPECT_EQ(holder.Wait(), 128 + SIGKILL);

    ShareProcess client = StartPeer("client Line1;dims;frames 1;copy");
    EXPECT_EQ(client.ReadLine(), "client ok 0");
    EXPECT_EQ(client.ReadLine(), "dims 64 48 1");
    source_.SetFrame(77);
    ASSERT_TRUE(PublishFrame(share, source_));
    EXPECT_EQ(client.ReadLine(), "frame 1");
    EXPECT_EQ(client.ReadLine(), "frames 1 ok");
    EXPECT_EQ(client.ReadLine(),
              "copy ok " + std::to_string(Fnv1a(ExpectedImage(77, kWidth, kHeight))));
    share.Stop();
}

TEST_F(CameraShareTest, ASegmentLeftByACrashedServerIsReused) {
    ShareProcess crashed = StartPeer("segment Line1 3072");
    ASSERT_EQ(crashed.ReadLine(), "segment ok");
    EXPECT_EQ(crashed.Wait(), 0);
    CCameraShare share(source_);
    share.Start("Line1");
    // A POSIX segment outlives its processes; Windows removes a mapping with
    // the last handle to it, so there the server starts afresh.
#ifdef _WIN32
    EXPECT_FALSE(log_.Contains("Shared memory segment already exists"));
#else
    EXPECT_TRUE(log_.Contains(
        "CSharedMemory::CSharedMemory: WARNING: Shared memory segment already exists"));
#endif
    ShareProcess client = StartPeer("client Line1;dims;frames 1;copy");
    EXPECT_EQ(client.ReadLine(), "client ok 0");
    EXPECT_EQ(client.ReadLine(), "dims 64 48 1");
    ASSERT_TRUE(PublishFrame(share, source_));
    EXPECT_EQ(client.ReadLine(), "frame 1");
    EXPECT_EQ(client.ReadLine(), "frames 1 ok");
    EXPECT_EQ(client.ReadLine(),
              "copy ok " + std::to_string(Fnv1a(ExpectedImage(0, kWidth, kHeight))));
    share.Stop();
}

TEST_F(CameraShareTest, ASizeChangeWhileSharingNeverReachesPastTheImage) {
    CCameraShare share(source_);
    share.Start("Line1");
    ShareProcess client = StartPeer("client Line1;frames 1;dims;frames 1;copy");
    EXPECT_EQ(client.ReadLine(), "client ok 0");
    ASSERT_TRUE(LogShows("client connected on port=7"));
    source_.SetSize(kWidth * 2, kHeight * 2);
    ASSERT_TRUE(PublishFrame(share, source_));
    EXPECT_EQ(client.ReadLine(), "frame 1");
    EXPECT_EQ(client.ReadLine(), "frames 1 ok");
    // The segment keeps the size the share started with, and so does the
    // answer a client sizes its copy by.
    EXPECT_EQ(client.ReadLine(), "dims 64 48 1");
    EXPECT_LE(source_.LargestSpan(), kWidth);
    source_.SetSize(kWidth / 2, kHeight / 2);
    source_.SetFrame(3);
    std::vector<std::uint8_t> expected(static_cast<std::size_t>(kWidth) * kHeight, 0);
    // Rows the smaller image reaches are new; the rest keep the first frame.
    const auto first = ExpectedImage(0, kWidth, kHeight);
    for (int r = 0; r < kHeight; ++r) {
        for (int c = 0; c < kWidth; ++c) {
            const std::size_t i = static_cast<std::size_t>(r) * kWidth + c;
            expected[i] =
                (r < kHeight / 2 && c < kWidth / 2) ? FakeShareSource::Pixel(3, r, c) : first[i];
        }
    }
    ASSERT_TRUE(PublishFrame(share, source_));
    EXPECT_EQ(client.ReadLine(), "frame 1");
    EXPECT_EQ(client.ReadLine(), "frames 1 ok");
    EXPECT_EQ(client.ReadLine(), "copy ok " + std::to_string(Fnv1a(expected)));
    share.Stop();
}

TEST_F(CameraShareTest, WithoutASegmentTheServerAnswersButPublishesNothing) {
    // A mutex holds the segment's name, so the segment cannot be made.
    CSharedMemory blocker;
    ASSERT_TRUE(blocker.Create("Other", false, 16));  // makes the mutex "OtherMutex"
    CCameraShare share(source_);
    share.Start("OtherMutex");
    EXPECT_TRUE(log_.Contains("Shared memory segment already in use"));
    // The client stays connected while frames are announced: with it gone
    // the server would not be serving anyone to publish to.
    ShareProcess client = StartPeer("client OtherMutex;dims;sleep 30000");
    EXPECT_EQ(client.ReadLine(), "client ok 0");
    EXPECT_EQ(client.ReadLine(), "dims 64 48 1");
    ASSERT_TRUE(Eventually([&] {
        share.NotifyFrame();
        return log_.Contains(
            "CCameraShare::SendFrame: no image buffer or segment, nothing published");
    }));
    share.Stop();
    EXPECT_EQ(source_.FramesFetched(), 0u);
    EXPECT_FALSE(log_.Contains("image has been written to memory"));
}

TEST_F(CameraShareTest, ASecondShareUnderALiveNameFailsToStart) {
    FakeShareSource other(32, 16, "Camera 2", 8);
    CCameraShare a(source_);
    CCameraShare b(other);
    a.Start("Line1");
    b.Start("Line1");
    EXPECT_TRUE(log_.Contains("ERROR: Failed to start camera sharing: " +
                              platform::ErrorText(platform::kErrorPipeBusy)));
    b.Stop();
    // The first share still serves.
    ShareProcess client = StartPeer("client Line1;dims");
    EXPECT_EQ(client.ReadLine(), "client ok 0");
    EXPECT_EQ(client.ReadLine(), "dims 64 48 1");
    a.Stop();
}

TEST_F(CameraShareTest, RefusedShareNamesAreLoggedAndNothingIsCreated) {
    for (const std::string& name :
         std::vector<std::string>{"", "a/b", "..", std::string(201, 'x')}) {
        log_.Clear();
        CCameraShare share(source_);
        share.Start(name);
        EXPECT_TRUE(log_.Contains("ERROR: Failed to start camera sharing:")) << name;
        share.Stop();
    }
    EXPECT_TRUE(log_.Contains("refused"));
    // Nothing but (possibly) empty folders was made.
    std::error_code ec;
    for (const char* sub : {"/obj/map", "/obj/mutex", "/pipe"}) {
        const std::string dir = runtime_.Root() + sub;
        if (std::filesystem::exists(dir, ec)) {
            EXPECT_TRUE(std::filesystem::is_empty(dir, ec)) << dir;
        }
    }
}

TEST_F(CameraShareTest, TheShareToolReceivesAndSavesFrames) {
    const std::string tool = ToolPath("korvane-share");
    if (!std::filesystem::exists(tool)) {
        GTEST_SKIP() << "korvane-share is not built";
    }
    TempDir out;
    CCameraShare share(source_);
    share.Start("Line1");
    ShareProcess client(tool, {"--name", "Line1", "--frames", "2", "--save-every", "1", "--out",
                               out.path(), "--quiet"});
    EXPECT_EQ(client.ReadLine(), "share 'Line1': 64 x 48, 1 byte per pixel");
    source_.SetFrame(1);
    ASSERT_TRUE(PublishFrame(share, source_));
    // The second frame after the tool has taken the first.
    ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(out.File("frame-00000.pgm")); }));
    source_.SetFrame(2);
    ASSERT_TRUE(PublishFrame(share, source_));
    const auto summary = client.ReadUntil("received ");
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->rfind("received 2 frames", 0), 0u) << *summary;
    EXPECT_EQ(client.Wait(), 0);
    const std::string pgm = ReadFile(out.File("frame-00001.pgm"));
    const std::string header = "P5\n64 48\n255\n";
    ASSERT_EQ(pgm.size(), header.size() + kWidth * kHeight);
    EXPECT_EQ(pgm.substr(0, header.size()), header);
    const auto image = ExpectedImage(2, kWidth, kHeight);
    EXPECT_EQ(pgm.substr(header.size()), std::string(image.begin(), image.end()));
    share.Stop();
}

TEST_F(CameraShareTest, TheShareToolExitsCleanlyWhenTheShareStops) {
    const std::string tool = ToolPath("korvane-share");
    if (!std::filesystem::exists(tool)) {
        GTEST_SKIP() << "korvane-share is not built";
    }
    CCameraShare share(source_);
    share.Start("Line1");
    ShareProcess client(tool, {"--name", "Line1", "--quiet"});
    EXPECT_EQ(client.ReadLine(), "share 'Line1': 64 x 48, 1 byte per pixel");
    share.Stop();
    EXPECT_EQ(client.ReadLine(), "share 'Line1' was closed by the server");
    EXPECT_EQ(client.Wait(), 0);

    ShareProcess missing(tool, {"--name", "Nobody"});
    EXPECT_EQ(missing.Wait(), 1) << "the run failed";
    ShareProcess usage(tool, {"--frames", "x"});
    EXPECT_EQ(usage.Wait(), 2) << "a usage error";
    ShareProcess help(tool, {"--help"});
    EXPECT_EQ(help.ReadLine(), "usage: korvane-share --name NAME [options]");
    EXPECT_EQ(help.Wait(), 0);
}

}  // namespace
}  // namespace korvane::test

// Every gst-launch-1.0 line of docs/gstreamer.md, run as written but with a
// share, folder and port of the test's own and fakesink for the display,
// and what comes out of it checked against the simulator's ramp.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "gstreamer/tests/PipelineRun.h"
#include "gstreamer/tests/SimCamera.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

namespace korvane::gsttest {
namespace {

using namespace std::chrono_literals;

constexpr int kWidth = 160;
constexpr int kHeight = 120;
// Well above what the H.264 round trip of the ramp loses (about 60 dB).
constexpr double kMinPsnr = 35.0;

// The gst-launch-1.0 lines of the page's ```sh blocks, without the program
// name and its options.
std::vector<std::string> RecipeLines() {
    std::ifstream page(std::string(KORVANE_SOURCE_DIR) + "/docs/gstreamer.md");
    std::vector<std::string> lines;
    std::string line;
    bool inSh = false;
    while (std::getline(page, line)) {
        if (line.rfind("```", 0) == 0) {
            inSh = !inSh && line == "```sh";
            continue;
        }
        const std::string program = "gst-launch-1.0 ";
        if (!inSh || line.rfind(program, 0) != 0) {
            continue;
        }
        std::string rest = line.substr(program.size());
        while (rest.rfind("-e ", 0) == 0 || rest.rfind("-q ", 0) == 0) {
            rest = rest.substr(3);
        }
        lines.push_back(rest);
    }
    return lines;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

// A port nobody uses right now on the loopback.
int FreePort(int type) {
    const int fd = socket(AF_INET, type, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    int port = 0;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
    }
    if (fd >= 0) {
        close(fd);
    }
    return port;
}

class RecipeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        KORVANE_SKIP_PIPELINE_TESTS();
        RegisterKorvaneStatically();
        previousDir_ = std::filesystem::current_path();
        std::filesystem::current_path(work_.path());
        port_ = FreePort(SOCK_DGRAM);
        rtspPort_ = FreePort(SOCK_STREAM);
        ASSERT_NE(port_, 0);
        ASSERT_NE(rtspPort_, 0);
    }
    void TearDown() override {
        if (!previousDir_.empty()) {
            std::filesystem::current_path(previousDir_);
        }
    }

    // A recipe line made runnable here.
    std::string Adapt(std::string line) const {
        ReplaceAll(line, "share=Line1", "share=" + share_ + " connect-timeout=10000");
        ReplaceAll(line, "system-path=line1", "system-path=\"" + camera_.path() + "\"");
        ReplaceAll(line, "port=5000", "port=" + std::to_string(port_));
        ReplaceAll(line, "127.0.0.1:8554", "127.0.0.1:" + std::to_string(rtspPort_));
        ReplaceAll(line, "autovideosink",
                   "video/x-raw,format=GRAY8 ! fakesink name=sink sync=false");
        return line;
    }

    // The frames a file (or numbered files) decode to.
    static RunResult Decode(const std::string& source) {
        PipelineRun run(source + " ! videoconvert ! video/x-raw,format=GRAY8 ! fakesink name=sink");
        return run.Run(0, 30s);
    }

    GstTestEnvironment env_;
    test::TempDir work_;
    std::filesystem::path previousDir_;
    const std::string share_ = env_.UniqueName("recipe");
    SimSystemPath camera_{{kWidth, kHeight, 8, 2}};
    int port_ = 0;
    int rtspPort_ = 0;
};

void ExpectExactFrames(const RunResult& run, std::size_t count, const std::string& what) {
    EXPECT_TRUE(run.error.empty()) << what << ": " << run.error;
    EXPECT_EQ(run.frames.size(), count) << what;
    for (const FrameRecord& frame : run.frames) {
        EXPECT_EQ(frame.width, kWidth) << what;
        EXPECT_EQ(frame.height, kHeight) << what;
        EXPECT_EQ(frame.offRamp, 0) << what;
    }
}

void ExpectCloseFrames(const RunResult& run, std::size_t atLeast, const std::string& what) {
    EXPECT_TRUE(run.error.empty()) << what << ": " << run.error;
    EXPECT_GE(run.frames.size(), atLeast) << what;
    double worst = 99;
    for (const FrameRecord& frame : run.frames) {
        EXPECT_EQ(frame.width, kWidth) << what;
        EXPECT_EQ(frame.height, kHeight) << what;
        worst = std::min(worst, Psnr(frame));
    }
    EXPECT_GT(worst, kMinPsnr) << what;
    ::testing::Test::RecordProperty(what + " lowest PSNR dB", std::to_string(worst));
    std::printf("%s: %zu frames, lowest PSNR %.1f dB\n", what.c_str(), run.frames.size(), worst);
}

TEST_F(RecipeTest, EveryRecipeRunsAndGivesTheCamerasFrames) {
    const std::vector<std::string> lines = RecipeLines();
    ASSERT_GE(lines.size(), 8u) << "docs/gstreamer.md lost its recipes";
    ShareServer server(share_, {kWidth, kHeight, 8, 2}, 60);
    ASSERT_TRUE(server.started());

    std::string receiver;
    int ran = 0;
    for (const std::string& line : lines) {
        const std::string adapted = Adapt(line);
        SCOPED_TRACE(adapted);
        if (line.rfind("udpsrc", 0) == 0) {
            receiver = adapted;  // runs with the sender that follows it
            continue;
        }
        if (line.find("udpsink") != std::string::npos) {
            ASSERT_FALSE(receiver.empty()) << "a sender without its receiver";
            PipelineRun receive(receiver);
            ASSERT_NE(gst_element_set_state(receive.pipeline(), GST_STATE_PLAYING),
                      GST_STATE_CHANGE_FAILURE);
            PipelineRun send(adapted, false);
            ASSERT_NE(gst_element_set_state(send.pipeline(), GST_STATE_PLAYING),
                      GST_STATE_CHANGE_FAILURE);
            const RunResult received = receive.Run(30, 30s);
            send.Stop();
            ExpectCloseFrames(received, 30, "RTP/H.264 over the loopback");
            receiver.clear();
            ran += 2;
            continue;
        }
        if (line.rfind("rtspsrc", 0) == 0) {
            // The page starts korvane-rtsp on the share first.
            test::ChildProcess rtsp;
            ASSERT_TRUE(rtsp.Start(
                test::ToolPath("korvane-rtsp"),
                {"--share", share_, "--address", "127.0.0.1", "--port", std::to_string(rtspPort_)},
                work_.File("rtsp.out")));
            const auto limit = std::chrono::steady_clock::now() + 20s;
            while (test::ReadFile(work_.File("rtsp.out")).find("rtsp://") == std::string::npos &&
                   std::chrono::steady_clock::now() < limit) {
                std::this_thread::sleep_for(20ms);
            }
            PipelineRun receive(adapted);
            ExpectCloseFrames(receive.Run(20, 30s), 20, "RTSP");
        } else if (line.find("location=frame-%05d.png") != std::string::npos) {
            PipelineRun record(adapted, false);
            const RunResult recorded = record.Run(0, 30s);
            EXPECT_TRUE(recorded.eos) << recorded.error;
            RunResult files;
            for (int i = 0; i < 10; ++i) {
                char name[32];
                std::snprintf(name, sizeof(name), "frame-%05d.png", i);
                const RunResult one = Decode(std::string("filesrc location=") + name + " ! pngdec");
                EXPECT_EQ(one.frames.size(), 1u) << name;
                files.frames.insert(files.frames.end(), one.frames.begin(), one.frames.end());
                files.error += one.error;
            }
            ExpectExactFrames(files, 10, "PNG files");
            EXPECT_FALSE(std::filesystem::exists("frame-00010.png"));
        } else if (line.find("location=line1.mkv") != std::string::npos) {
            PipelineRun record(adapted, false);
            const RunResult recorded = record.Run(0, 30s);
            EXPECT_TRUE(recorded.eos) << recorded.error;
            ExpectExactFrames(Decode("filesrc location=line1.mkv ! decodebin"), 100, "Matroska");
        } else if (line.find("location=line1.mp4") != std::string::npos) {
            PipelineRun record(adapted, false);
            const RunResult recorded = record.Run(0, 30s);
            EXPECT_TRUE(recorded.eos) << recorded.error;
            // A stream without a frame rate leaves its last sample without a
            // duration, and MP4 drops that one.
            ExpectCloseFrames(Decode("filesrc location=line1.mp4 ! decodebin"), 99, "H.264 MP4");
        } else if (line.find("autovideosink") != std::string::npos) {
            PipelineRun view(adapted);
            const RunResult shown = view.Run(10, 30s);
            EXPECT_TRUE(shown.error.empty()) << shown.error;
            EXPECT_GE(shown.frames.size(), 10u);
            for (const FrameRecord& frame : shown.frames) {
                EXPECT_EQ(frame.width, kWidth);
                EXPECT_EQ(frame.offRamp, 0);
            }
        } else {
            ADD_FAILURE() << "a recipe this test does not know how to check: " << line;
            continue;
        }
        ++ran;
    }
    EXPECT_EQ(ran, static_cast<int>(lines.size())) << "every recipe ran";
}

}  // namespace
}  // namespace korvane::gsttest

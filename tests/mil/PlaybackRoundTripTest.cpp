// Frames written by korvane-grab play back unchanged: the tool grabs the
// ramp into a folder, then a camera playing that folder is grabbed again
// through the whole driver.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

namespace korvane::test {
namespace {

class PlaybackRoundTrip : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists(ToolPath("korvane-grab"))) {
            GTEST_SKIP() << "korvane-grab is not built";
        }
#if defined(_WIN32)
        setenv("KORVANE_MIL", KORVANE_SIM_LIBRARY_PATH, 1);
#else
        unsetenv("KORVANE_MIL");
#endif
    }
    void TearDown() override {
        unsetenv("KORVANE_SIM_CONFIG");
    }

    // korvane-grab with this simulator configuration; its exit status.
    int Grab(const std::string& config, int frames, const std::string& out) {
        const std::string ini = dir_.File(out + ".ini");
        WriteFile(ini, config);
        setenv("KORVANE_SIM_CONFIG", ini.c_str(), 1);
        std::filesystem::create_directories(dir_.File("sp-" + out));
        // Under AddressSanitizer the tool reports, at its exit, blocks the
        // sanitizer's own UBSan runtime allocated for the driver library it
        // unloaded; this process keeps checking its own leaks.
        const char* asan = std::getenv("ASAN_OPTIONS");
        const bool hadOptions = asan != nullptr;
        const std::string saved = hadOptions ? asan : "";
        setenv("ASAN_OPTIONS", (saved.empty() ? "" : saved + ":").append("detect_leaks=0").c_str(),
               1);
        ChildProcess tool;
        const std::string log = dir_.File(out + ".txt");
        const bool started =
            tool.Start(ToolPath("korvane-grab"),
                       {"--quiet", "--system-path", dir_.File("sp-" + out), "--frames",
                        std::to_string(frames), "--out", dir_.File(out)},
                       log);
        if (hadOptions) {
            setenv("ASAN_OPTIONS", saved.c_str(), 1);
        } else {
            unsetenv("ASAN_OPTIONS");
        }
        if (!started) {
            ADD_FAILURE() << "korvane-grab could not be started";
            return -1;
        }
        const int status = tool.WaitFor(std::chrono::seconds(60));
        EXPECT_EQ(status, 0) << ReadFile(log);
        return status;
    }
    std::string Frame(const std::string& folder, int index) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%05d.pgm", index);
        return ReadFile(dir_.File(folder + "/" + name));
    }

    TempDir dir_;
};

TEST_F(PlaybackRoundTrip, GrabbedFramesPlayBackUnchanged) {
    const std::string camera =
        "[System0]\nDigitizers=1\n[System0.Digitizer0]\nWidth=96\nHeight=40\n";
    ASSERT_EQ(Grab(camera, 3, "recorded"), 0);
    const std::string first = Frame("recorded", 0);
    ASSERT_GT(first.size(), 96u * 40u);
    ASSERT_NE(first, Frame("recorded", 1)) << "the ramp moves from frame to frame";

    // Four frames from a folder of three: the fourth is the first again,
    // where the ramp would have moved on.
    ASSERT_EQ(Grab(camera + "Playback=recorded\n", 4, "played"), 0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Frame("played", i), Frame("recorded", i % 3)) << "frame " << i;
    }
}

}  // namespace
}  // namespace korvane::test

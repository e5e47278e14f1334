// korvane-grab as a user runs it: what a failing run says in quiet mode, a
// refused --set, and the exit status of each kind of ending.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/HostFixture.h"

namespace korvane::test {
namespace {

struct GrabRun {
    int status = -1;
    std::string output;  // standard output and error together
};

// The host fixture's environment (the simulator, also where Windows would
// bind the vendor library) is what the tool inherits.
class GrabToolTest : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        if (!std::filesystem::exists(ToolPath("korvane-grab"))) {
            GTEST_SKIP() << "korvane-grab is not built";
        }
    }
    // The tool on a system path of this test's own, against the built-in
    // simulator.
    GrabRun Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--system-path", dir_.File("sp")});
        ChildProcess tool;
        GrabRun run;
        const std::string out = dir_.File("out.txt");
        if (!tool.Start(ToolPath("korvane-grab"), args, out)) {
            ADD_FAILURE() << "korvane-grab could not be started";
            return run;
        }
        run.status = tool.WaitFor(std::chrono::seconds(60));
        run.output = ReadFile(out);
        return run;
    }
    static bool Has(const GrabRun& run, const std::string& text) {
        return run.output.find(text) != std::string::npos;
    }
};

TEST_F(GrabToolTest, QuietFailureStillPrintsTheDriversReason) {
    const GrabRun run = Run({"--quiet", "--camera", "NoSuchCam"});
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(Has(run, "openXELPort: ERROR: cannot find camera by name:NoSuchCam")) << run.output;
    EXPECT_TRUE(Has(run, "korvane-grab: cannot open 'NoSuchCam' on port 1")) << run.output;
    // Only the failure: no progress lines of the steps that went well.
    EXPECT_FALSE(Has(run, "MilApp::Init")) << run.output;
    EXPECT_FALSE(Has(run, "camera(s)")) << run.output;
}

TEST_F(GrabToolTest, QuietSuccessPrintsOnlyTheSummary) {
    const GrabRun run = Run({"--quiet", "--frames", "2", "--out", dir_.File("frames")});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(Has(run, "korvane-grab: 2 frames in ")) << run.output;
    EXPECT_TRUE(Has(run, "2 frame(s) written")) << run.output;
    for (const char* noise : {"korvane-grab: driver ", "camera(s)", " open on port ", ": Mil"}) {
        EXPECT_FALSE(Has(run, noise)) << noise << "\n" << run.output;
    }
    EXPECT_TRUE(std::filesystem::exists(dir_.File("frames/frame-00000.pgm")));
    EXPECT_TRUE(std::filesystem::exists(dir_.File("frames/frame-00001.pgm")));
}

TEST_F(GrabToolTest, RefusedSetFailsTheRunUnlessAskedToGoOn) {
    GrabRun run = Run({"--quiet", "--set", "NoSuchProperty=1", "--frames", "1"});
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(Has(run, "property NoSuchProperty=1 was refused")) << run.output;
    EXPECT_FALSE(Has(run, "frames in")) << "nothing grabbed\n" << run.output;

    run = Run({"--quiet", "--set", "NoSuchProperty=1", "--keep-going", "--frames", "1"});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(Has(run, "korvane-grab: 1 frames in ")) << run.output;

    // The driver's reason for a refused size reaches the quiet user, and the
    // camera still opens on the next run.
    run = Run({"--quiet", "--set", "Width=99999", "--frames", "1"});
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(
        Has(run, "MilDigitizer::SetProperty: ERROR: Width=99999 refused, out of range [10, 1280]"))
        << run.output;
    run = Run({"--quiet", "--frames", "1"});
    EXPECT_EQ(run.status, 0) << run.output;
}

TEST_F(GrabToolTest, UsageErrorsAnswerTwo) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--frobnicate"}, {"--frames", "0"}, {"--set", "Gain"}, {"--port"}}) {
        const GrabRun run = Run(args);
        EXPECT_EQ(run.status, 2) << args.front() << "\n" << run.output;
    }
    const GrabRun help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(Has(help, "Exit status: 0 success, 1 the run failed")) << help.output;
}

}  // namespace
}  // namespace korvane::test

// Runs the korvane-lut tool the way a script would.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "settings/LutTable.h"
#include "tests/support/TempDir.h"

namespace korvane {
namespace {

struct ToolRun {
    int exitCode = -1;
    std::string output;  // stdout and stderr together
};

ToolRun RunTool(const std::string& arguments) {
    const std::string command =
        std::string(KORVANE_TOOLS_DIR) + "/korvane-lut " + arguments + " 2>&1";
    ToolRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char buffer[4096];
    std::size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        run.output.append(buffer, n);
    }
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class LutToolTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists(std::string(KORVANE_TOOLS_DIR) + "/korvane-lut")) {
            GTEST_SKIP() << "korvane-lut is not built";
        }
    }
    test::TempDir dir_;
};

TEST_F(LutToolTest, WritesAFileTheCameraCanLoad) {
    const std::string out = dir_.File("dark.csv");
    const ToolRun run = RunTool("--lsb 4 --msb 12 --steepness 10 --out '" + out + "'");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("65536 rows"), std::string::npos) << run.output;
    auto table = std::make_unique<LutTable>();
    ASSERT_TRUE(LoadLutTable(out, "ln", *table));
    EXPECT_EQ((*table)[15], 0);
    EXPECT_EQ((*table)[16], 4);
    EXPECT_EQ((*table)[100], 95);
    EXPECT_EQ((*table)[4095], 255);
}

// Every mistake on the command line is a usage error, status 2, as in the
// other tools.
TEST_F(LutToolTest, RefusesInvalidRangesAndArguments) {
    const std::string out = dir_.File("bad.csv");
    ToolRun run = RunTool("--lsb 8 --msb 8 --out '" + out + "'");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.output.find("must be below"), std::string::npos) << run.output;
    run = RunTool("--msb 20 --out '" + out + "'");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.output.find("[0..15]"), std::string::npos) << run.output;
    run = RunTool("--steepness 2x --out '" + out + "'");
    EXPECT_EQ(run.exitCode, 2);
    run = RunTool("--frobnicate");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_FALSE(std::filesystem::exists(out));
    // Without --out or --plot the bad range is still what is named.
    run = RunTool("--lsb 12 --msb 4");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.output.find("--lsb 12 must be below --msb 4"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("nothing to do"), std::string::npos) << run.output;
    run = RunTool("");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.output.find("nothing to do"), std::string::npos) << run.output;
}

TEST_F(LutToolTest, AFileThatCannotBeWrittenFailsTheRun) {
    const ToolRun run = RunTool("--out '" + dir_.File("no-such-folder/lut.csv") + "'");
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_NE(run.output.find("could not write"), std::string::npos) << run.output;
}

TEST_F(LutToolTest, PlotsTheCurve) {
    const ToolRun run = RunTool("--msb 10 --plot");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find(" 255 |"), std::string::npos);
    EXPECT_NE(run.output.find('*'), std::string::npos);
}

}  // namespace
}  // namespace korvane

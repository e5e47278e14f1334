#include "tests/support/PeerScript.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvane::test {
namespace {

struct ScriptRun {
    int rc;
    std::string out;
    std::vector<std::string> seen;  // word and first argument of each step handed over
};

// Runs a script whose own steps are "say X", "stop N" and "skip".
ScriptRun RunScript(const std::string& script) {
    ScriptRun run{};
    testing::internal::CaptureStdout();
    run.rc = RunPeerScript(script, [&](const std::string& word, std::istream& in) {
        std::string arg;
        in >> arg;
        run.seen.push_back(word + ":" + arg);
        if (word == "say") {
            PeerSay(arg);
            return kPeerNext;
        }
        if (word == "stop") {
            return std::stoi(arg);
        }
        if (word == "skip") {
            return kPeerNext;
        }
        return kPeerUnknown;
    });
    run.out = testing::internal::GetCapturedStdout();
    return run;
}

TEST(PeerScriptTest, StepsRunInOrderWithTheirArgumentsAndTheScriptSaysDone) {
    const ScriptRun run = RunScript("say one; say two;;skip;sleep 1;say three");
    EXPECT_EQ(run.rc, 0);
    EXPECT_EQ(run.out, "one\ntwo\nthree\ndone\n");
    // The common "sleep" is offered to the peer first; empty steps to nobody.
    EXPECT_EQ(run.seen,
              (std::vector<std::string>{"say:one", "say:two", "skip:", "sleep:1", "say:three"}));
}

TEST(PeerScriptTest, AStepsExitCodeEndsTheScriptThere) {
    const ScriptRun run = RunScript("say one;stop 7;say two");
    EXPECT_EQ(run.rc, 7);
    EXPECT_EQ(run.out, "one\n");
    const ScriptRun zero = RunScript("stop 0;say two");
    EXPECT_EQ(zero.rc, 0);
    EXPECT_EQ(zero.out, "");
}

TEST(PeerScriptTest, AnUnknownStepEndsTheScriptWithTwo) {
    const ScriptRun run = RunScript("say one;dance now;say two");
    EXPECT_EQ(run.rc, 2);
    EXPECT_EQ(run.out, "one\nunknown step dance\n");
}

}  // namespace
}  // namespace korvane::test

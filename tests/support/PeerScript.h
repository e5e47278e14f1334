#pragma once
// The second process of cross-process tests: a test program started again
// with a script in an environment variable runs that script as a peer and
// exits, instead of running its tests. A script is steps separated by ';',
// each a word and its arguments; every step reports on lines of its own and
// the script ends with "done".
#include <functional>
#include <istream>
#include <string>

namespace korvane::test {

// What a peer's own step answers: go on with the next step, or the word is
// none of its steps. Any answer of 0 or more ends the script there with that
// exit code.
inline constexpr int kPeerNext = -1;
inline constexpr int kPeerUnknown = -2;
using PeerSteps = std::function<int(const std::string& word, std::istream& in)>;

// One line of the peer's output, flushed at once for the test reading it.
void PeerSay(const std::string& line);

// Runs the script: each step goes to steps, then to the steps every peer
// understands ("sleep MS"). A step nobody knows ends it with exit code 2
// after "unknown step WORD"; a finished script says "done" and answers 0.
int RunPeerScript(const std::string& script, const PeerSteps& steps);

// When the variable names a script: runs it (run calls RunPeerScript with
// the peer's steps and whatever they share) and ends the process with its
// exit code. Otherwise answers false and the test program goes on.
bool RunAsPeerIfAsked(const char* variable, int (*run)(const std::string& script));

}  // namespace korvane::test

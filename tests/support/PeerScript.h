#pragma once
// The second process of cross-process tests: a test program started again
// with a script in an environment variable runs that script as a peer and
// exits, instead of running its tests.
#include <istream>
#include <string>

namespace korvane::test {

// One line of the peer's output, flushed at once for the test reading it.
void PeerSay(const std::string& line);

// The steps every peer understands ("sleep MS"); true when word was one.
bool PeerCommonStep(const std::string& word, std::istream& in);

// When the variable names a script: runs it and ends the process with run's
// result. Otherwise answers false and the test program goes on.
bool RunAsPeerIfAsked(const char* variable, int (*run)(const std::string& script));

}  // namespace korvane::test

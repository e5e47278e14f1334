#pragma once
// Runs one of the built tools (bin/ of the build) with arguments, without a
// shell, and waits for it.
#include <string>
#include <vector>

namespace korvane::test {

// The tool's exit status; -1 when it could not be started or did not exit
// normally.
int RunTool(const std::string& tool, const std::vector<std::string>& args);

}  // namespace korvane::test

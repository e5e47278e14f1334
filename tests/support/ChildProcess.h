#pragma once
// A program run as a second process for cross-process tests, its standard
// output and error going to a file. The process is killed when the object
// goes while it still runs.
#include <chrono>
#include <string>
#include <vector>

namespace korvane::test {

class ChildProcess {
  public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts program with args; false when it could not be started.
    bool Start(const std::string& program, const std::vector<std::string>& args,
               const std::string& outputFile);
    // True with the exit code once the process has ended.
    bool TryWait(int& exitCode);
    // The exit code, or -2 after killing a process still running at the
    // limit.
    int WaitFor(std::chrono::milliseconds limit);

  private:
    void Kill();
#ifdef _WIN32
    void* process_ = nullptr;
#else
    int pid_ = -1;
#endif
};

#ifdef _WIN32
// One argument of a command line, quoted so that the C runtime splits it
// back unchanged.
std::string QuotedArgument(const std::string& arg);
#endif

// The path of one of the built tools (bin/ of the build).
std::string ToolPath(const std::string& tool);

}  // namespace korvane::test

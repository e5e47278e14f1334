#include "tests/support/RunTool.h"

#ifdef _WIN32
#include <process.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#endif

#include "tests/support/PlatformText.h"

#ifndef _WIN32
extern char** environ;
#endif

namespace korvane::test {
namespace {

#ifdef _WIN32
// The C runtime joins the arguments with blanks: each is quoted so that
// paths with blanks stay one argument.
std::string Quoted(const std::string& arg) {
    std::string out = "\"";
    for (const char c : arg) {
        if (c == '"') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}
#endif

}  // namespace

int RunTool(const std::string& tool, const std::vector<std::string>& args) {
#ifdef _WIN32
    const std::string program = NativePath(std::string(KORVANE_TOOLS_DIR) + "/" + tool + ".exe");
    std::vector<std::string> quoted{Quoted(program)};
    for (const auto& arg : args) {
        quoted.push_back(Quoted(arg));
    }
    std::vector<const char*> argv;
    for (const auto& arg : quoted) {
        argv.push_back(arg.c_str());
    }
    argv.push_back(nullptr);
    const intptr_t status = _spawnv(_P_WAIT, program.c_str(), argv.data());
    return status < 0 ? -1 : static_cast<int>(status);
#else
    const std::string program = std::string(KORVANE_TOOLS_DIR) + "/" + tool;
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        return -1;
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
#endif
}

}  // namespace korvane::test

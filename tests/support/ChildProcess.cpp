#include "tests/support/ChildProcess.h"

#include <thread>

#include "tests/support/PlatformText.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace korvane::test {

std::string ToolPath(const std::string& tool) {
#ifdef _WIN32
    return NativePath(std::string(KORVANE_TOOLS_DIR) + "/" + tool + ".exe");
#else
    return std::string(KORVANE_TOOLS_DIR) + "/" + tool;
#endif
}

ChildProcess::~ChildProcess() {
    Kill();
}

#ifdef _WIN32
std::string QuotedArgument(const std::string& arg) {
    // Backslashes are literal unless they come before a quote, where each
    // pair stands for one; the closing quote counts.
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (const char c : arg) {
        if (c == '\\') {
            ++backslashes;
        } else if (c == '"') {
            out.append(backslashes * 2 + 1, '\\');
            backslashes = 0;
        } else {
            out.append(backslashes, '\\');
            backslashes = 0;
        }
        if (c != '\\') {
            out += c;
        }
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const std::string& outputFile) {
    Kill();
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out =
        ::CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        return false;
    }
    std::string commandLine = QuotedArgument(program);
    for (const auto& arg : args) {
        commandLine += " " + QuotedArgument(arg);
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = out;
    PROCESS_INFORMATION info{};
    const BOOL started = ::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr,
                                          TRUE, 0, nullptr, nullptr, &startup, &info);
    ::CloseHandle(out);
    if (!started) {
        return false;
    }
    ::CloseHandle(info.hThread);
    process_ = info.hProcess;
    return true;
}

bool ChildProcess::TryWait(int& exitCode) {
    if (process_ == nullptr || ::WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) {
        return false;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process_, &code);
    ::CloseHandle(process_);
    process_ = nullptr;
    exitCode = static_cast<int>(code);
    return true;
}

void ChildProcess::Kill() {
    if (process_ != nullptr) {
        ::TerminateProcess(process_, 9);
        ::WaitForSingleObject(process_, INFINITE);
        ::CloseHandle(process_);
        process_ = nullptr;
    }
}
#else
bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const std::string& outputFile) {
    Kill();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return false;
    }
    pid_ = pid;
    return true;
}

bool ChildProcess::TryWait(int& exitCode) {
    int status = 0;
    if (pid_ <= 0 || waitpid(pid_, &status, WNOHANG) != pid_) {
        return false;
    }
    pid_ = -1;
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return true;
}

void ChildProcess::Kill() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }
}
#endif

int ChildProcess::WaitFor(std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    int exitCode = 0;
    while (std::chrono::steady_clock::now() < until) {
        if (TryWait(exitCode)) {
            return exitCode;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Kill();
    return -2;
}

}  // namespace korvane::test

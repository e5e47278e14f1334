// The second process of the sharing tests, its standard output read line by
// line through a pipe.
#include <chrono>
#include <cstring>

#include "tests/support/ShareTestSupport.h"

#ifdef _WIN32
#include <windows.h>

#include <csignal>

#include "tests/support/ChildProcess.h"
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
extern char** environ;
#endif

namespace korvane::test {

std::optional<std::string> ShareProcess::ReadLine(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (const auto nl = buffer_.find('\n'); nl != std::string::npos) {
            std::string line = buffer_.substr(0, nl);
            buffer_.erase(0, nl + 1);
            // Text-mode output on Windows ends its lines with "\r\n".
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            return std::nullopt;
        }
        switch (ReadChunk(static_cast<int>(left))) {
            case Chunk::Data:
            case Chunk::Nothing:
                break;
            case Chunk::End:
                if (!buffer_.empty()) {
                    std::string rest = buffer_;
                    buffer_.clear();
                    return rest;
                }
                return std::nullopt;
        }
    }
}

std::optional<std::string> ShareProcess::ReadUntil(const std::string& prefix, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        auto line = ReadLine(static_cast<int>(left > 0 ? left : 0));
        if (!line || line->rfind(prefix, 0) == 0) {
            return line;
        }
    }
}

#ifdef _WIN32

namespace {

// This process's environment with the extra "KEY=value" entries, as the
// block CreateProcess takes.
std::string EnvironmentBlock(const std::vector<std::string>& extraEnv) {
    std::string block;
    if (char* strings = ::GetEnvironmentStringsA()) {
        for (const char* e = strings; *e != '\0'; e += std::strlen(e) + 1) {
            block.append(e);
            block.push_back('\0');
        }
        ::FreeEnvironmentStringsA(strings);
    }
    for (const auto& e : extraEnv) {
        block.append(e);
        block.push_back('\0');
    }
    block.push_back('\0');
    return block;
}

}  // namespace

ShareProcess::ShareProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::vector<std::string>& extraEnv) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        return;
    }
    // Only the child's end is inherited: with the reading end open in the
    // child too, the end of its output would never be seen.
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    std::string commandLine = QuotedArgument(program);
    for (const auto& arg : args) {
        commandLine += " " + QuotedArgument(arg);
    }
    std::string environment = EnvironmentBlock(extraEnv);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    const BOOL started = ::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr,
                                          TRUE, 0, environment.data(), nullptr, &startup, &info);
    ::CloseHandle(writeEnd);
    if (!started) {
        ::CloseHandle(readEnd);
        return;
    }
    ::CloseHandle(info.hThread);
    process_ = info.hProcess;
    out_ = readEnd;
}

ShareProcess::~ShareProcess() {
    if (process_ != nullptr && !status_) {
        Kill(SIGKILL);
        Wait();
    }
    if (process_ != nullptr) {
        ::CloseHandle(process_);
    }
    if (out_ != nullptr) {
        ::CloseHandle(out_);
    }
}

bool ShareProcess::Started() const {
    return process_ != nullptr;
}

ShareProcess::Chunk ShareProcess::ReadChunk(int timeoutMs) {
    if (out_ == nullptr) {
        return Chunk::End;
    }
    // Anonymous pipes cannot be waited on: look every few milliseconds.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        DWORD available = 0;
        if (!::PeekNamedPipe(out_, nullptr, 0, nullptr, &available, nullptr)) {
            return Chunk::End;  // the child's end was closed
        }
        if (available > 0) {
            char chunk[4096];
            DWORD n = 0;
            const DWORD want = available < sizeof chunk ? available : sizeof chunk;
            if (!::ReadFile(out_, chunk, want, &n, nullptr) || n == 0) {
                return Chunk::End;
            }
            buffer_.append(chunk, n);
            return Chunk::Data;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return Chunk::Nothing;
        }
        ::Sleep(2);
    }
}

void ShareProcess::Kill(int signal) {
    // No signals here: the exit code says how the process was ended, as a
    // shell reports a signal.
    if (process_ != nullptr && !status_) {
        ::TerminateProcess(process_, static_cast<UINT>(128 + signal));
    }
}

int ShareProcess::Wait() {
    if (status_) {
        return *status_;
    }
    if (process_ == nullptr) {
        return -1;
    }
    ::WaitForSingleObject(process_, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(process_, &code);
    status_ = static_cast<int>(code);
    return *status_;
}

ShareProcess StartThisProgram(const std::string& environmentEntry) {
    char self[MAX_PATH + 1];
    const DWORD n = ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    self[n <= MAX_PATH ? n : 0] = '\0';
    return ShareProcess(self, {}, {environmentEntry});
}

#else

ShareProcess::ShareProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::vector<std::string>& extraEnv) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return;
    }
    std::vector<std::string> argStore{program};
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argStore) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> envStore;
    for (char** e = environ; *e != nullptr; ++e) {
        envStore.emplace_back(*e);
    }
    envStore.insert(envStore.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> envp;
    for (auto& e : envStore) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return;
    }
    pid_ = pid;
    out_ = fds[0];
}

ShareProcess::~ShareProcess() {
    if (pid_ > 0 && !status_) {
        Kill(SIGKILL);
        Wait();
    }
    if (out_ >= 0) {
        close(out_);
    }
}

bool ShareProcess::Started() const {
    return pid_ > 0;
}

ShareProcess::Chunk ShareProcess::ReadChunk(int timeoutMs) {
    if (out_ < 0) {
        return Chunk::End;
    }
    pollfd p{out_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) {
        return Chunk::Nothing;
    }
    char chunk[4096];
    const ssize_t n = read(out_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) {
        return Chunk::Nothing;
    }
    if (n <= 0) {
        return Chunk::End;
    }
    buffer_.append(chunk, static_cast<std::size_t>(n));
    return Chunk::Data;
}

void ShareProcess::Kill(int signal) {
    if (pid_ > 0 && !status_) {
        kill(pid_, signal);
    }
}

int ShareProcess::Wait() {
    if (status_) {
        return *status_;
    }
    if (pid_ <= 0) {
        return -1;
    }
    int raw = 0;
    while (waitpid(pid_, &raw, 0) < 0 && errno == EINTR) {
    }
    status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return *status_;
}

ShareProcess StartThisProgram(const std::string& environmentEntry) {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    self[n > 0 ? n : 0] = '\0';
    return ShareProcess(self, {}, {environmentEntry});
}

#endif

ShareProcess StartPeer(const std::string& script) {
    return StartThisProgram("KORVANE_SHARE_PEER=" + script);
}

}  // namespace korvane::test

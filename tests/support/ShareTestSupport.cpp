#include "tests/support/ShareTestSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace korvane::test {

ShareRuntimeDir::ShareRuntimeDir() {
    if (const char* old = std::getenv("XDG_RUNTIME_DIR")) {
        previous_ = old;
    }
    setenv("XDG_RUNTIME_DIR", dir_.path().c_str(), 1);
}

ShareRuntimeDir::~ShareRuntimeDir() {
    if (previous_) {
        setenv("XDG_RUNTIME_DIR", previous_->c_str(), 1);
    } else {
        unsetenv("XDG_RUNTIME_DIR");
    }
}

FakeShareSource::FakeShareSource(int width, int height, std::string name, int port)
    : name_(std::move(name)), port_(port), width_(width), height_(height) {}

bool FakeShareSource::ShareGetRow(std::uint8_t* dest, int row, int first, int last) {
    const int width = width_.load();
    const int height = height_.load();
    // The same checks the camera's row delivery makes.
    if (dest == nullptr || row < 0 || row >= height || first >= last || last - first >= width) {
        return false;
    }
    const int span = last - first + 1;
    int seen = largestSpan_.load();
    while (span > seen && !largestSpan_.compare_exchange_weak(seen, span)) {
    }
    const std::uint32_t frame = frame_.load();
    for (int column = first; column <= last; ++column) {
        dest[column - first] = Pixel(frame, row, column);
    }
    if (row == 0) {
        std::lock_guard lock(mutex_);
        ++framesFetched_;
        fetched_.notify_all();
    }
    return true;
}

void FakeShareSource::SetSize(int width, int height) {
    width_.store(width);
    height_.store(height);
}

std::uint64_t FakeShareSource::FramesFetched() const {
    std::lock_guard lock(mutex_);
    return framesFetched_;
}

bool FakeShareSource::WaitFetchedBeyond(std::uint64_t seen, int timeoutMs) {
    std::unique_lock lock(mutex_);
    return fetched_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return framesFetched_ > seen; });
}

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

std::optional<std::string> ShareProcess::ReadLine(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (const auto nl = buffer_.find('\n'); nl != std::string::npos) {
            std::string line = buffer_.substr(0, nl);
            buffer_.erase(0, nl + 1);
            return line;
        }
        if (out_ < 0) {
            return std::nullopt;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            return std::nullopt;
        }
        pollfd p{out_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0) {
            continue;
        }
        char chunk[4096];
        const ssize_t n = read(out_, chunk, sizeof chunk);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (!buffer_.empty()) {
                std::string rest = buffer_;
                buffer_.clear();
                return rest;
            }
            return std::nullopt;
        }
        buffer_.append(chunk, static_cast<std::size_t>(n));
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

ShareProcess StartPeer(const std::string& script) {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    self[n > 0 ? n : 0] = '\0';
    return ShareProcess(self, {}, {"KORVANE_SHARE_PEER=" + script});
}

}  // namespace korvane::test

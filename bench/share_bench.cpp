// Publishing frames through a camera share to a korvane-share client in
// another process, against a bare loop that copies the same bytes into a
// POSIX shared-memory segment and sends a 12-byte notice over a SEQPACKET
// socket to another process.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sharing/CameraShare.h"

extern char** environ;

namespace {

// A private runtime directory for the share's objects, in memory like a
// session's XDG_RUNTIME_DIR (a disk-backed one would add page write-back to
// every frame).
const std::string& BenchRuntimeDir() {
    static const std::string dir = [] {
        std::string pattern = "/dev/shm/korvane-bench-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        setenv("XDG_RUNTIME_DIR", pattern.c_str(), 1);
        return pattern;
    }();
    return dir;
}

// A camera that serves rows of a frame held in memory, and tells when the
// server has started copying a frame and when it has let go of it.
class MemorySource : public korvane::ShareSource {
  public:
    MemorySource(int width, int height)
        : width_(width), height_(height), frame_(static_cast<std::size_t>(width) * height) {
        for (std::size_t i = 0; i < frame_.size(); ++i) {
            frame_[i] = static_cast<std::uint8_t>(i * 7);
        }
    }
    const char* ShareCameraName() const override { return "Bench camera"; }
    int SharePort() const override { return 0; }
    int ShareWidth() const override { return width_; }
    int ShareHeight() const override { return height_; }
    bool ShareGetRow(std::uint8_t* dest, int row, int first, int last) override {
        std::memcpy(dest, frame_.data() + static_cast<std::size_t>(row) * width_ + first,
                    static_cast<std::size_t>(last - first + 1));
        if (row == 0) {
            std::lock_guard lock(mutex_);
            ++started_;
        }
        return true;
    }
    // The server lets go of a frame once it has copied it; a camera grabs
    // the next one from then on.
    void ShareEndFrame() override {
        {
            std::lock_guard lock(mutex_);
            ++finished_;
        }
        // Woken outside the lock, the benchmark thread does not wake only
        // to block on it again.
        changed_.notify_all();
    }
    // Waits up to `wait` until the server has let go of frame `count`.
    bool WaitFinished(std::uint64_t count, std::chrono::milliseconds wait) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, wait, [&] { return finished_ >= count; });
    }
    std::uint64_t Started() {
        std::lock_guard lock(mutex_);
        return started_;
    }
    const std::vector<std::uint8_t>& Frame() const { return frame_; }

  private:
    int width_;
    int height_;
    std::vector<std::uint8_t> frame_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t started_ = 0;
    std::uint64_t finished_ = 0;
};

// korvane-share in its own process; its last line tells how many frames it
// received.
class ShareToolProcess {
  public:
    explicit ShareToolProcess(const std::string& name) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) {
            return;
        }
        const std::string tool = std::string(KORVANE_TOOLS_DIR) + "/korvane-share";
        std::vector<std::string> args{tool,   "--name", name, "--quiet", "--connect-timeout",
                                      "10000"};
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        if (posix_spawn(&pid_, tool.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        out_ = fds[0];
    }
    ~ShareToolProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(out_);
    }
    // The next line of output (empty at the end).
    std::string Line() {
        for (;;) {
            if (auto nl = buffer_.find('\n'); nl != std::string::npos) {
                std::string line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return line;
            }
            char chunk[512];
            const ssize_t n = read(out_, chunk, sizeof chunk);
            if (n <= 0) {
                return std::exchange(buffer_, {});
            }
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }
    int Wait() {
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffer_;
};

void BM_CameraShareToClientProcess(benchmark::State& state) {
    BenchRuntimeDir();
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const std::string name = "bench-" + std::to_string(width) + "x" + std::to_string(height);
    MemorySource source(width, height);
    korvane::CCameraShare share(source);
    share.Start(name);
    ShareToolProcess client(name);
    const std::string first = client.Line();  // the dimensions: the server is serving
    if (first.find(std::to_string(width) + " x " + std::to_string(height)) == std::string::npos) {
        state.SkipWithError(("korvane-share did not start: " + first).c_str());
        share.Stop();
        return;
    }
    for (auto _ : state) {
        // Announce a frame and sleep until the server has copied it: one
        // wake-up per frame, as a grab thread has. A notice reaches the
        // server only while it takes frames (not while it copies one); a
        // lost one is repeated.
        const std::uint64_t seen = source.Started();
        share.NotifyFrame();
        while (!source.WaitFinished(seen + 1, std::chrono::milliseconds(1))) {
            if (source.Started() == seen) {
                share.NotifyFrame();
            }
        }
    }
    // Let the last frame leave before the share closes.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    share.Stop();
    std::string line;
    std::string summary;
    while (!(line = client.Line()).empty()) {
        summary = line;
    }
    client.Wait();
    unsigned long long received = 0;
    std::sscanf(summary.c_str(), "received %llu", &received);
    const auto published = static_cast<double>(source.Started());
    state.counters["fps"] = benchmark::Counter(published, benchmark::Counter::kIsRate);
    state.counters["published"] = published;
    state.counters["received"] = static_cast<double>(received);
    state.counters["MB/s"] =
        benchmark::Counter(published * width * height / 1e6, benchmark::Counter::kIsRate);
    if (received != source.Started()) {
        state.SkipWithError("the client did not receive every announced frame");
    }
}

void BM_BareShmAndSeqpacket(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const std::size_t bytes = static_cast<std::size_t>(width) * height;
    MemorySource source(width, height);
    const std::string shmName = "/korvane-bench-bare-" + std::to_string(getpid());
    const int shm = shm_open(shmName.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    shm_unlink(shmName.c_str());
    if (shm < 0 || ftruncate(shm, static_cast<off_t>(bytes)) != 0) {
        state.SkipWithError("shm_open failed");
        return;
    }
    void* segment = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, shm, 0);
    int sv[2];
    if (segment == MAP_FAILED || socketpair(AF_UNIX, SOCK_SEQPACKET, 0, sv) != 0) {
        state.SkipWithError("mmap or socketpair failed");
        return;
    }
    const pid_t child = fork();
    if (child == 0) {
        // The receiver counts notices until the end, then reports the count.
        close(sv[0]);
        std::uint64_t count = 0;
        char message[12];
        while (recv(sv[1], message, sizeof message, 0) > 0) {
            ++count;
        }
        send(sv[1], &count, sizeof count, 0);
        _exit(0);
    }
    close(sv[1]);
    const std::int32_t notice[3] = {0x53484452, 3, 0};
    std::uint64_t sent = 0;
    for (auto _ : state) {
        std::memcpy(segment, source.Frame().data(), bytes);
        send(sv[0], notice, sizeof notice, MSG_NOSIGNAL);
        ++sent;
    }
    shutdown(sv[0], SHUT_WR);
    std::uint64_t received = 0;
    recv(sv[0], &received, sizeof received, 0);
    waitpid(child, nullptr, 0);
    close(sv[0]);
    munmap(segment, bytes);
    close(shm);
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(sent), benchmark::Counter::kIsRate);
    state.counters["received"] = static_cast<double>(received);
    state.counters["MB/s"] =
        benchmark::Counter(static_cast<double>(sent) * bytes / 1e6, benchmark::Counter::kIsRate);
    if (received != sent) {
        state.SkipWithError("the receiver missed notices");
    }
}

BENCHMARK(BM_CameraShareToClientProcess)
    ->Args({64, 48})
    ->Iterations(3000)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CameraShareToClientProcess)
    ->Args({1280, 960})
    ->Iterations(3000)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CameraShareToClientProcess)
    ->Args({4096, 3072})
    ->Iterations(300)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BareShmAndSeqpacket)
    ->Args({1280, 960})
    ->Iterations(3000)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BareShmAndSeqpacket)
    ->Args({4096, 3072})
    ->Iterations(300)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace

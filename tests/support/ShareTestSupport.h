#pragma once
// Helpers for the camera sharing tests: a private runtime directory per
// test, a fake camera, and a second process to talk to.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sharing/ShareSource.h"
#include "tests/support/TempDir.h"

namespace korvane::test {

// Points XDG_RUNTIME_DIR at a fresh directory for the life of the object,
// so named objects of different tests never meet.
class ShareRuntimeDir {
  public:
    ShareRuntimeDir();
    ~ShareRuntimeDir();
    ShareRuntimeDir(const ShareRuntimeDir&) = delete;
    ShareRuntimeDir& operator=(const ShareRuntimeDir&) = delete;

    // The XDG_RUNTIME_DIR value and the namespace root below it.
    const std::string& Xdg() const { return dir_.path(); }
    std::string Root() const { return dir_.path() + "/korvane"; }

  private:
    TempDir dir_;
    std::optional<std::string> previous_;
};

// A camera whose frames are computable: pixel (row, column) of frame n is
// (row * 3 + column + n) & 0xFF. A frame counts as fetched when its first
// row was delivered (a share may take fewer rows than the camera has).
class FakeShareSource : public ShareSource {
  public:
    FakeShareSource(int width, int height, std::string name = "Camera 1", int port = 7);

    const char* ShareCameraName() const override { return name_.c_str(); }
    int SharePort() const override { return port_; }
    int ShareWidth() const override { return width_.load(); }
    int ShareHeight() const override { return height_.load(); }
    bool ShareGetRow(std::uint8_t* dest, int row, int first, int last) override;

    void SetSize(int width, int height);
    // The frame the next fetch delivers.
    void SetFrame(std::uint32_t frame) { frame_.store(frame); }
    std::uint64_t FramesFetched() const;
    // Waits (up to timeoutMs) until more than `seen` frames were fetched.
    bool WaitFetchedBeyond(std::uint64_t seen, int timeoutMs);
    // The widest column span asked for, to catch reads past the image.
    int LargestSpan() const { return largestSpan_.load(); }

    static std::uint8_t Pixel(std::uint32_t frame, int row, int column) {
        return static_cast<std::uint8_t>(row * 3 + column + static_cast<int>(frame));
    }

  private:
    std::string name_;
    int port_;
    std::atomic<int> width_;
    std::atomic<int> height_;
    std::atomic<std::uint32_t> frame_{0};
    std::atomic<int> largestSpan_{0};
    mutable std::mutex mutex_;
    std::condition_variable fetched_;
    std::uint64_t framesFetched_ = 0;
};

// A child process whose standard output is read line by line.
class ShareProcess {
  public:
    // Runs program with args; extraEnv entries ("KEY=value") are added to
    // this process's environment.
    ShareProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::vector<std::string>& extraEnv = {});
    ~ShareProcess();
    ShareProcess(const ShareProcess&) = delete;
    ShareProcess& operator=(const ShareProcess&) = delete;

    bool Started() const;
    // The next line without its line break; nullopt at end of output or
    // when nothing came within timeoutMs.
    std::optional<std::string> ReadLine(int timeoutMs = 20000);
    // Reads lines until one starts with prefix; answers it.
    std::optional<std::string> ReadUntil(const std::string& prefix, int timeoutMs = 20000);
    // Ends the process as the signal would; on Windows it is terminated
    // with the exit code 128 + signal, what Wait answers on POSIX.
    void Kill(int signal);
    // Waits for the end; the exit code, or 128 + signal number.
    int Wait();

  private:
    enum class Chunk { Data, Nothing, End };
    // Appends what the process wrote within timeoutMs to buffer_.
    Chunk ReadChunk(int timeoutMs);

#ifdef _WIN32
    void* process_ = nullptr;
    void* out_ = nullptr;
#else
    int pid_ = -1;
    int out_ = -1;
#endif
    std::string buffer_;
    std::optional<int> status_;
};

// This test program started again with one more environment entry
// ("KEY=value"), which makes it run as a peer (see PeerScript.h).
ShareProcess StartThisProgram(const std::string& environmentEntry);

// This test program, run as a scripted peer (see SharePeer): each step is
// one word with its arguments, steps separated by ';'.
ShareProcess StartPeer(const std::string& script);

// Polls a condition until it holds or timeoutMs passed; answers the last
// value. For waiting on other threads and processes, never for timing.
template <typename F>
bool Eventually(F condition, int timeoutMs = 20000);

}  // namespace korvane::test

#include "tests/support/ShareTestSupportImpl.h"

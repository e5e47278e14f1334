#pragma once
// The driver's one diagnostic channel: levelled, time-stamped messages to the
// host's callback and, when switched on, to a log file in the system path.
// It also keeps the host's system path and the file-path rules tied to it.
#include <atomic>
#include <cstdarg>
#include <list>
#include <mutex>
#include <string>

#include "korvane/korvane.h"
#include "platform/ThreadSafety.h"

namespace korvane {

// Message levels, most important first. A message is emitted when its level
// is not above the level the host chose (2 unless changed): errors and
// warnings always, progress by default, detail and per-row traces on request.
enum LogLevel : int { kError = 1, kProgress = 2, kDetail = 3, kTrace = 4 };

class DriverLog {
  public:
    static constexpr std::size_t kMessageSize = 1024;
    static constexpr std::size_t kPathSize = 260;

    static DriverLog& Instance();

    // Formats and emits one message when level is not above the current
    // level. Callable from any thread.
#if defined(__MINGW32__)
    // MinGW's plain "printf" check is the msvcrt dialect; the driver formats
    // with the C99 one (%zu, %lld) there too.
    void Print(int level, const char* format, ...) __attribute__((format(gnu_printf, 3, 4)));
#else
    void Print(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));
#endif
    void PrintV(int level, const char* format, va_list args);

    bool Enabled(int level) const {
        return level <= level_.load(std::memory_order_relaxed);
    }

    void SetMessageProc(DebugMsgProc proc);
    // Stores the path unless it is null or empty; answers whether it did.
    bool SetSystemPath(const char* path);
    std::string SystemPath() const;

    void SetLevel(int level) {
        level_.store(level, std::memory_order_relaxed);
    }
    int Level() const {
        return level_.load(std::memory_order_relaxed);
    }
    void SetLogIntoFile(bool on) {
        logIntoFile_.store(on, std::memory_order_relaxed);
    }
    bool LogIntoFile() const {
        return logIntoFile_.load(std::memory_order_relaxed);
    }

    std::string GetIniPath() const;
    std::string GetLogPath() const;
    std::string MakeRelativePath(const std::string& path) const;
    std::string MakeAbsolutePath(const std::string& path) const;

    // Back to the state of a fresh process (tests only).
    void ResetForTesting();

  private:
    DriverLog() = default;
    void Emit(const char* message);

    std::atomic<DebugMsgProc> messageProc_{nullptr};
    std::atomic<int> level_{kProgress};
    std::atomic<bool> logIntoFile_{false};

    // Also keeps the file's lines in order.
    mutable platform::CheckedRecursiveMutex mutex_;
    std::string systemPath_ KORVANE_GUARDED_BY(mutex_);
    std::list<std::string> pendingLines_ KORVANE_GUARDED_BY(mutex_);
};

// Formats the time-stamp prefix "dd/mm/y y hh:mm:ss: " exactly as the log
// writes it (year since 1900 modulo 10).
std::string FormatLogPrefix(int day, int month, int year, int hour, int minute, int second);

}  // namespace korvane

// Logs at a level, skipping the formatting (and the evaluation of the
// arguments) when the level is filtered out.
#define KLOG(level, ...)                                                \
    do {                                                                \
        ::korvane::DriverLog& klog_ = ::korvane::DriverLog::Instance(); \
        if (klog_.Enabled(level)) {                                     \
            klog_.Print((level), __VA_ARGS__);                          \
        }                                                               \
    } while (0)

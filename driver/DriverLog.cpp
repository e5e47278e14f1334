#include "driver/DriverLog.h"

#include <cstdio>
#include <cstring>

#include "platform/Clock.h"
#include "platform/Paths.h"

namespace korvane {

DriverLog& DriverLog::Instance() {
    static DriverLog instance;
    return instance;
}

std::string FormatLogPrefix(int day, int month, int year, int hour, int minute, int second) {
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "%.2d/%.2d/%.2d %.2d:%.2d:%.2d: ", day, month,
                  (year - 1900) % 10, hour, minute, second);
    return prefix;
}

void DriverLog::Print(int level, const char* format, ...) {
    if (!Enabled(level)) {
        return;
    }
    va_list args;
    va_start(args, format);
    PrintV(level, format, args);
    va_end(args);
}

void DriverLog::PrintV(int level, const char* format, va_list args) {
    if (!Enabled(level) || format == nullptr) {
        return;
    }
    // Each caller formats into its own buffer; vsnprintf cuts a message that
    // does not fit instead of overrunning.
    char message[kMessageSize];
    int written = std::vsnprintf(message, sizeof message, format, args);
    if (written < 0) {
        message[0] = '\0';
    }
    std::size_t n = std::strlen(message);
    if (n > 0 && n < kMessageSize - 2 && message[n - 1] != '\n') {
        message[n] = '\n';
        message[n + 1] = '\0';
    }
    Emit(message);
}

void DriverLog::Emit(const char* message) {
    const platform::LocalTime t = platform::CurrentLocalTime();
    const std::string prefix = FormatLogPrefix(t.day, t.month, t.year, t.hour, t.minute, t.second);

    // One lock keeps the two callback texts of a message together and the
    // file lines in order. It is recursive because a host callback may call
    // back into the driver, which logs again on the same thread.
    platform::LockGuard lock(mutex_);
    if (DebugMsgProc proc = messageProc_.load()) {
        proc(prefix.c_str());
        proc(message);
    }
    if (!logIntoFile_.load(std::memory_order_relaxed)) {
        return;
    }
    if (systemPath_.empty()) {
        pendingLines_.emplace_back(message);
        return;
    }
    std::FILE* file = std::fopen(GetLogPath().c_str(), "a");
    if (file == nullptr) {
        return;
    }
    for (const auto& line : pendingLines_) {
        std::fputs(line.c_str(), file);
    }
    pendingLines_.clear();
    std::fputs(message, file);
    std::fclose(file);
}

void DriverLog::SetMessageProc(DebugMsgProc proc) {
    messageProc_.store(proc);
}

bool DriverLog::SetSystemPath(const char* path) {
    if (path == nullptr || *path == '\0') {
        return false;
    }
    platform::LockGuard lock(mutex_);
    systemPath_ = path;
    return true;
}

std::string DriverLog::SystemPath() const {
    platform::LockGuard lock(mutex_);
    return systemPath_;
}

std::string DriverLog::GetIniPath() const {
    return platform::JoinPath(SystemPath(), "Korvane.ini");
}

std::string DriverLog::GetLogPath() const {
    return platform::JoinPath(SystemPath(), "Korvane.log");
}

std::string DriverLog::MakeRelativePath(const std::string& path) const {
    std::string relative;
    if (!platform::RelativePathTo(SystemPath(), path, relative) || relative.size() >= kPathSize) {
        return path;
    }
    // A stored path may climb at most one level above the system path.
    const char sep = platform::PathSeparator();
    const std::string twoUp = std::string("..") + sep + ".." + sep;
    if (relative.compare(0, twoUp.size(), twoUp) == 0) {
        return path;
    }
    return relative;
}

std::string DriverLog::MakeAbsolutePath(const std::string& path) const {
    if (!platform::PathIsRelative(path)) {
        return path;
    }
    std::string joined = SystemPath();
    if (!platform::PathAppend(joined, path, kPathSize - 1)) {
        return path;
    }
    return joined;
}

void DriverLog::ResetForTesting() {
    platform::LockGuard lock(mutex_);
    messageProc_.store(nullptr);
    level_.store(kProgress);
    logIntoFile_.store(false);
    systemPath_.clear();
    pendingLines_.clear();
}

}  // namespace korvane

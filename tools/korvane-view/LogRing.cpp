#include "tools/korvane-view/LogRing.h"

#include <utility>

namespace view {

std::string LogLevelOf(const std::string& text) {
    if (text.find("ERROR") != std::string::npos) {
        return "error";
    }
    if (text.find("WARNING") != std::string::npos) {
        return "warning";
    }
    return "info";
}

void LogRing::Feed(const char* text) {
    std::string stamp;
    {
        std::lock_guard lock(mutex_);
        const bool isStamp = expectStamp_;
        expectStamp_ = !expectStamp_;
        if (isStamp) {
            pendingStamp_ = text != nullptr ? text : "";
            return;
        }
        stamp = std::move(pendingStamp_);
        pendingStamp_.clear();
    }
    Add(std::move(stamp), text != nullptr ? text : "");
}

void LogRing::Add(std::string stamp, std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    while (!stamp.empty() && (stamp.back() == '\n' || stamp.back() == ' ')) {
        stamp.pop_back();
    }
    {
        std::lock_guard lock(mutex_);
        LogLine line;
        line.id = lastId_.load() + 1;
        line.level = LogLevelOf(text);
        line.stamp = std::move(stamp);
        line.text = std::move(text);
        lines_.push_back(std::move(line));
        lastId_.store(lines_.back().id);
        while (lines_.size() > capacity_) {
            lines_.pop_front();
        }
    }
    added_.notify_all();
}

std::vector<LogLine> LogRing::After(std::uint64_t afterId, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    added_.wait_for(lock, timeout, [&] { return shutDown_ || lastId_.load() > afterId; });
    std::vector<LogLine> out;
    for (const LogLine& line : lines_) {
        if (line.id > afterId) {
            out.push_back(line);
        }
    }
    return out;
}

void LogRing::Shutdown() {
    {
        std::lock_guard lock(mutex_);
        shutDown_ = true;
    }
    added_.notify_all();
}

}  // namespace view

#include "tests/support/LogCapture.h"

#include <atomic>

namespace korvane::test {
namespace {
std::atomic<LogCapture*> active{nullptr};
}

LogCapture::LogCapture() {
    active.store(this);
}

LogCapture::~LogCapture() {
    active.store(nullptr);
}

void LogCapture::Callback(const char* text) {
    if (LogCapture* capture = active.load()) {
        capture->Add(text);
    }
}

void LogCapture::Add(const char* text) {
    std::lock_guard lock(mutex_);
    // The log calls back twice per message: the time stamp, then the text.
    if (expectPrefix_) {
        prefixes_.emplace_back(text);
    } else {
        messages_.emplace_back(text);
    }
    expectPrefix_ = !expectPrefix_;
}

std::vector<std::string> LogCapture::Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

std::vector<std::string> LogCapture::Prefixes() const {
    std::lock_guard lock(mutex_);
    return prefixes_;
}

bool LogCapture::Contains(const std::string& fragment) const {
    return IndexOf(fragment) >= 0;
}

std::size_t LogCapture::Count(const std::string& fragment) const {
    std::lock_guard lock(mutex_);
    std::size_t n = 0;
    for (const auto& m : messages_) {
        if (m.find(fragment) != std::string::npos) {
            ++n;
        }
    }
    return n;
}

int LogCapture::IndexOf(const std::string& fragment, int from) const {
    std::lock_guard lock(mutex_);
    for (std::size_t i = static_cast<std::size_t>(from < 0 ? 0 : from); i < messages_.size(); ++i) {
        if (messages_[i].find(fragment) != std::string::npos) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void LogCapture::Clear() {
    std::lock_guard lock(mutex_);
    messages_.clear();
    prefixes_.clear();
    expectPrefix_ = true;
}

}  // namespace korvane::test

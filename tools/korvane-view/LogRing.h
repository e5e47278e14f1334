#pragma once
// The driver's log lines as they arrive, kept for the page: the latest
// lines in a bounded ring, each with a number so that a connection can ask
// for what came after the last line it sent.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace view {

struct LogLine {
    std::uint64_t id = 0;
    std::string stamp;
    std::string text;
    std::string level;  // "error", "warning" or "info"
};

// The level the page filters by, read from the text: the driver marks its
// failures in the text itself.
std::string LogLevelOf(const std::string& text);

class LogRing {
  public:
    explicit LogRing(std::size_t capacity = 2000) : capacity_(capacity) {}

    // The driver's message callback hands over a stamp and then the text;
    // both halves go through here, in that order.
    void Feed(const char* text);
    void Add(std::string stamp, std::string text);

    // Lines with an id above afterId, oldest first; waits up to timeout
    // when there are none.
    std::vector<LogLine> After(std::uint64_t afterId, std::chrono::milliseconds timeout);
    std::uint64_t LastId() const { return lastId_.load(); }

    void Shutdown();

  private:
    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable added_;
    std::deque<LogLine> lines_;  // guarded by mutex_
    bool expectStamp_ = true;    // guarded by mutex_
    std::string pendingStamp_;   // guarded by mutex_
    bool shutDown_ = false;      // guarded by mutex_
    std::atomic<std::uint64_t> lastId_{0};
};

}  // namespace view

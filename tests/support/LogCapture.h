#pragma once
// Collects what the driver log hands its message callback, for tests that
// check log lines. Only one capture is active at a time.
#include <mutex>
#include <string>
#include <vector>

namespace korvane::test {

class LogCapture {
  public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // The callback to register with the driver.
    static void Callback(const char* text);

    // Every message (the prefix calls are dropped).
    std::vector<std::string> Messages() const;
    std::vector<std::string> Prefixes() const;
    bool Contains(const std::string& fragment) const;
    std::size_t Count(const std::string& fragment) const;
    // Index of the first message containing the fragment, -1 when none.
    int IndexOf(const std::string& fragment, int from = 0) const;
    void Clear();

  private:
    void Add(const char* text);

    mutable std::mutex mutex_;
    std::vector<std::string> messages_;
    std::vector<std::string> prefixes_;
    bool expectPrefix_ = true;
};

}  // namespace korvane::test

#pragma once
// One 8-bit image as the page receives it, with what the page needs to tell
// frames apart and to measure latency. Encodings are made on demand by the
// first client that wants them and kept with the frame, so several tabs
// asking for the same format cost one encoding.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace view {

struct Frame {
    std::uint64_t seq = 0;  // 1 for the first frame of this run
    int width = 0;
    int height = 0;
    double stampMs = 0;  // wall clock (ms since the epoch) when the frame was handed over
    std::vector<std::uint8_t> pixels;

    // The encoding named by key, made with encode on first use. Null when
    // encode fails (it answers false).
    std::shared_ptr<const std::string> Encoded(
        const std::string& key,
        const std::function<bool(const Frame&, std::string&)>& encode) const;

    // Forgets the encodings: the pixels are about to be replaced.
    void ClearEncodings();

  private:
    mutable std::mutex cacheMutex_;
    mutable std::map<std::string, std::shared_ptr<const std::string>> cache_;
};

// Milliseconds since the epoch on the wall clock, which the page's
// performance.timeOrigin + performance.now() shares.
double WallClockMs();

}  // namespace view

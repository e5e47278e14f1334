#include "tools/korvane-view/Frame.h"

#include <chrono>

namespace view {

std::shared_ptr<const std::string> Frame::Encoded(
    const std::string& key, const std::function<bool(const Frame&, std::string&)>& encode) const {
    // Held while encoding: a second client of the same format waits for the
    // first one's result instead of encoding the frame again.
    std::lock_guard lock(cacheMutex_);
    auto it = cache_.find(key);
    if (it != cache_.end()) {
        return it->second;
    }
    auto data = std::make_shared<std::string>();
    if (!encode(*this, *data)) {
        return nullptr;
    }
    cache_.emplace(key, data);
    return data;
}

void Frame::ClearEncodings() {
    std::lock_guard lock(cacheMutex_);
    cache_.clear();
}

double WallClockMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(system_clock::now().time_since_epoch()).count();
}

}  // namespace view

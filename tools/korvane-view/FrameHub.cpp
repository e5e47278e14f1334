#include "tools/korvane-view/FrameHub.h"

#include <utility>

namespace view {
namespace {

// The latest frame, one being encoded or sent by a connection or two, and
// the one being filled: more than this and frames are allocated afresh.
constexpr std::size_t kPoolSize = 6;

}  // namespace

std::shared_ptr<Frame> FrameHub::Acquire(int width, int height) {
    std::shared_ptr<Frame> frame;
    for (auto& pooled : pool_) {
        // Only the pool holds it: neither the hub nor a connection can take
        // a new reference to it, so the count cannot grow behind our back.
        if (pooled.use_count() == 1) {
            frame = pooled;
            break;
        }
    }
    if (!frame) {
        frame = std::make_shared<Frame>();
        if (pool_.size() < kPoolSize) {
            pool_.push_back(frame);
        }
    }
    frame->ClearEncodings();
    frame->width = width;
    frame->height = height;
    frame->pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    return frame;
}

void FrameHub::Publish(std::shared_ptr<Frame> frame) {
    {
        std::lock_guard lock(mutex_);
        frame->seq = published_.load() + 1;
        latest_ = std::move(frame);
        published_.store(latest_->seq);
    }
    changed_.notify_all();
}

std::shared_ptr<const Frame> FrameHub::WaitNewer(std::uint64_t afterSeq,
                                                 std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout,
                      [&] { return shutDown_.load() || (latest_ && latest_->seq > afterSeq); });
    return latest_;
}

std::shared_ptr<const Frame> FrameHub::Latest() const {
    std::lock_guard lock(mutex_);
    return latest_;
}

void FrameHub::Shutdown() {
    {
        std::lock_guard lock(mutex_);
        shutDown_.store(true);
    }
    changed_.notify_all();
}

}  // namespace view

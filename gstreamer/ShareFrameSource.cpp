#include "gstreamer/ShareFrameSource.h"

#include <chrono>
#include <thread>

namespace korvane::gst {
namespace {

using Clock = std::chrono::steady_clock;

// How long one wait for a notice lasts: the longest an unlock waits.
constexpr int kPollMs = 50;
// korvane_share_error() for a name no server listens on.
constexpr unsigned kNoSuchShare = 2;

int RemainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

ShareFrameSource::ShareFrameSource(std::string name, int connectTimeoutMs, RunningTime now)
    : name_(std::move(name)), connectTimeoutMs_(connectTimeoutMs), now_(std::move(now)) {}

std::string ShareFrameSource::ShareErrorText() const {
    const unsigned code = korvane_share_error();
    return std::string(korvane_share_error_text(code)) + " (error " + std::to_string(code) + ")";
}

bool ShareFrameSource::Open(std::string& error) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(connectTimeoutMs_);
    // A camera that is being opened shares a moment later: keep trying for
    // as long as the time-out allows, but give up at once on other errors.
    for (;;) {
        korvane_share* raw = nullptr;
        if (korvane_share_open(name_.c_str(), &raw) == KORVANE_SHARE_OK) {
            share_.reset(raw);
            break;
        }
        const unsigned code = korvane_share_error();
        if (code != kNoSuchShare) {
            error = "cannot connect to share '" + name_ + "': " + ShareErrorText();
            return false;
        }
        if (RemainingMs(deadline) == 0) {
            error = "no camera is shared under the name '" + name_ + "' (waited " +
                    std::to_string(connectTimeoutMs_) + " ms)";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // A server busy with another client answers once it is free: the same
    // time-out covers the answer.
    const int answer =
        korvane_share_dimensions(share_.get(), RemainingMs(deadline) + 1, &width_, &height_);
    if (answer == KORVANE_SHARE_TIMEOUT) {
        error = "share '" + name_ + "' did not answer the size request within " +
                std::to_string(connectTimeoutMs_) + " ms";
    } else if (answer == KORVANE_SHARE_CLOSED) {
        error = "share '" + name_ + "' closed before it told its size";
    } else if (answer != KORVANE_SHARE_OK) {
        error = "size request to share '" + name_ + "' failed: " + ShareErrorText();
    } else if (width_ <= 0 || height_ <= 0) {
        error = "share '" + name_ + "' announced an empty image (" + std::to_string(width_) +
                " x " + std::to_string(height_) + ")";
    } else {
        return true;
    }
    share_.reset();
    return false;
}

FrameResult ShareFrameSource::Next(GstBufferPool* pool, const GstVideoInfo& info, BufferPtr& frame,
                                   std::string& error) {
    if (!share_) {
        error = "share '" + name_ + "' is not connected";
        return FrameResult::kError;
    }
    for (;;) {
        if (unlocked_.load()) {
            return FrameResult::kFlushing;
        }
        const int rc = korvane_share_wait_frame(share_.get(), kPollMs);
        if (rc == KORVANE_SHARE_TIMEOUT) {
            continue;
        }
        if (rc == KORVANE_SHARE_CLOSED) {
            return FrameResult::kEndOfStream;
        }
        if (rc != KORVANE_SHARE_OK) {
            error = "waiting for a frame of share '" + name_ + "' failed: " + ShareErrorText();
            return FrameResult::kError;
        }
        break;
    }
    const GstClockTime stamp = now_();
    GstBuffer* raw = nullptr;
    const GstFlowReturn acquired = gst_buffer_pool_acquire_buffer(pool, &raw, nullptr);
    if (acquired != GST_FLOW_OK) {
        return acquired == GST_FLOW_FLUSHING ? FrameResult::kFlushing : FrameResult::kError;
    }
    BufferPtr buffer(raw);
    const size_t packedSize = static_cast<size_t>(width_) * static_cast<size_t>(height_);
    bool copied = false;
    if (GST_VIDEO_INFO_PLANE_STRIDE(&info, 0) == width_ && GST_VIDEO_INFO_WIDTH(&info) == width_ &&
        GST_VIDEO_INFO_HEIGHT(&info) == height_) {
        // Rows without padding: the share copies straight into the buffer.
        GstMapInfo map;
        if (gst_buffer_map(buffer.get(), &map, GST_MAP_WRITE)) {
            copied =
                map.size >= packedSize &&
                korvane_share_copy_frame(share_.get(), map.data, packedSize) == KORVANE_SHARE_OK;
            gst_buffer_unmap(buffer.get(), &map);
        }
    } else {
        packed_.resize(packedSize);
        copied = korvane_share_copy_frame(share_.get(), packed_.data(), packed_.size()) ==
                     KORVANE_SHARE_OK &&
                 WritePackedImage(buffer.get(), info, packed_.data());
    }
    if (!copied) {
        error = "copying a frame of share '" + name_ + "' failed: " + ShareErrorText();
        return FrameResult::kError;
    }
    GST_BUFFER_PTS(buffer.get()) = stamp;
    GST_BUFFER_DTS(buffer.get()) = stamp;
    frame = std::move(buffer);
    return FrameResult::kOk;
}

}  // namespace korvane::gst

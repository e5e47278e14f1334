#pragma once
// The latest frame, handed from the camera's thread to any number of page
// connections. There is no queue: each connection takes the newest frame
// when it is ready for one, so a slow or stalled viewer skips frames and the
// camera's thread never waits for a viewer.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "tools/korvane-view/Frame.h"

namespace view {

class FrameHub {
  public:
    // A frame to fill for the next Publish: a recycled one no connection
    // holds any more, or a new one. Called from the one producing thread.
    std::shared_ptr<Frame> Acquire(int width, int height);

    // Makes frame the latest and wakes every waiting connection. The frame
    // gets the next sequence number; its stamp is the producer's.
    void Publish(std::shared_ptr<Frame> frame);

    // Waits up to timeout for a frame newer than afterSeq; answers the
    // latest frame (or null when there is none yet), which is not newer
    // when the wait timed out or Shutdown was called.
    std::shared_ptr<const Frame> WaitNewer(std::uint64_t afterSeq,
                                           std::chrono::milliseconds timeout);

    std::shared_ptr<const Frame> Latest() const;

    // Wakes every waiter for good (the server is stopping).
    void Shutdown();
    bool IsShutDown() const { return shutDown_.load(); }

    std::uint64_t Published() const { return published_.load(); }

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::shared_ptr<const Frame> latest_;  // guarded by mutex_
    // Frames of earlier publications, reused when nobody holds them any
    // more; touched by the producing thread only.
    std::vector<std::shared_ptr<Frame>> pool_;
    std::atomic<std::uint64_t> published_{0};
    std::atomic<bool> shutDown_{false};
};

}  // namespace view

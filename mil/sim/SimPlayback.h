#pragma once
// A camera that plays recorded images instead of the ramp: frame n shows
// file (n - 1) mod count of its list, so the list loops. Files are listed
// at the first grab and each is read when it is first played; a file that
// cannot be used is reported once in the log and its frames show the ramp.
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "mil/sim/SensorImage.h"
#include "platform/ThreadSafety.h"

namespace korvane::mil::sim {

class SimPlayback {
  public:
    // Images kept converted per camera; files beyond it are read again each
    // time they are played.
    static constexpr std::size_t kCacheBytes = std::size_t{512} << 20;

    SimPlayback(std::string source, int sensorWidth, int sensorHeight, int sensorBits);

    // The image frame n (counted from 1) shows; null for the ramp.
    std::shared_ptr<const SensorImage> ImageFor(long long frame);

    // The files in play order; empty before the first frame or when the
    // text named nothing usable.
    std::vector<std::string> Files();

  private:
    struct Slot {
        std::string path;
        std::shared_ptr<const SensorImage> image;  // null until read, or not cached
        bool bad = false;                          // reported; shows the ramp
    };

    void List() KORVANE_REQUIRES(mutex_);
    std::shared_ptr<const SensorImage> Load(Slot& slot) KORVANE_REQUIRES(mutex_);

    const std::string source_;
    const int sensorWidth_;
    const int sensorHeight_;
    const int sensorBits_;

    platform::CheckedMutex mutex_;
    bool listed_ KORVANE_GUARDED_BY(mutex_) = false;
    std::vector<Slot> slots_ KORVANE_GUARDED_BY(mutex_);
    std::size_t cachedBytes_ KORVANE_GUARDED_BY(mutex_) = 0;
};

}  // namespace korvane::mil::sim

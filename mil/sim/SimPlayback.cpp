#include "mil/sim/SimPlayback.h"

#include <new>

#include "driver/DriverLog.h"
#include "mil/sim/PgmReader.h"
#include "mil/sim/PlaybackFiles.h"

namespace korvane::mil::sim {

SimPlayback::SimPlayback(std::string source, int sensorWidth, int sensorHeight, int sensorBits)
    : source_(std::move(source)),
      sensorWidth_(sensorWidth),
      sensorHeight_(sensorHeight),
      sensorBits_(sensorBits) {}

void SimPlayback::List() {
    listed_ = true;
    std::vector<std::string> files;
    std::string error;
    if (!ListPlaybackFiles(source_, files, error)) {
        KLOG(kError, "MilSimulator::Playback: WARNING: %s, frames show the ramp\n", error.c_str());
        return;
    }
    for (std::string& file : files) {
        slots_.push_back(Slot{std::move(file), nullptr, false});
    }
    KLOG(kProgress, "MilSimulator::Playback: %zu file(s) from %s\n", slots_.size(),
         source_.c_str());
}

std::shared_ptr<const SensorImage> SimPlayback::Load(Slot& slot) {
    PgmImage pgm;
    PgmError error;
    std::shared_ptr<const SensorImage> image;
    // A file is at most a few hundred megabytes (the reader's limits), but
    // the machine may still not have them: that file then shows the ramp.
    try {
        if (ReadPgmFile(slot.path, pgm, error)) {
            image = std::make_shared<const SensorImage>(
                FitToSensor(pgm, sensorWidth_, sensorHeight_, sensorBits_));
        }
    } catch (const std::bad_alloc&) {
        error = PgmError{0, "does not fit in memory"};
    }
    if (!image) {
        slot.bad = true;
        if (error.line > 0) {
            KLOG(kError,
                 "MilSimulator::Playback: WARNING: %s line %d: %s, its frames show the ramp\n",
                 slot.path.c_str(), error.line, error.message.c_str());
        } else {
            KLOG(kError, "MilSimulator::Playback: WARNING: %s %s, its frames show the ramp\n",
                 slot.path.c_str(), error.message.c_str());
        }
        return nullptr;
    }
    const std::size_t bytes = static_cast<std::size_t>(sensorWidth_) *
                              static_cast<std::size_t>(sensorHeight_) * (sensorBits_ / 8);
    if (cachedBytes_ + bytes <= kCacheBytes) {
        cachedBytes_ += bytes;
        slot.image = image;
    }
    return image;
}

std::shared_ptr<const SensorImage> SimPlayback::ImageFor(long long frame) {
    platform::LockGuard lock(mutex_);
    if (!listed_) {
        List();
    }
    if (slots_.empty() || frame < 1) {
        return nullptr;
    }
    Slot& slot =
        slots_[static_cast<std::size_t>((frame - 1) % static_cast<long long>(slots_.size()))];
    if (slot.bad) {
        return nullptr;
    }
    if (slot.image) {
        return slot.image;
    }
    return Load(slot);
}

std::vector<std::string> SimPlayback::Files() {
    platform::LockGuard lock(mutex_);
    std::vector<std::string> files;
    for (const Slot& slot : slots_) {
        files.push_back(slot.path);
    }
    return files;
}

}  // namespace korvane::mil::sim

#pragma once
// Host mode: the driver loaded as an inspection host loads it, one camera
// open, every frame fetched in the grab callback and handed to the hub.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

#include "loader/DriverLoader.h"
#include "tools/korvane-view/FrameHub.h"
#include "tools/korvane-view/LogRing.h"
#include "tools/korvane-view/Options.h"
#include "tools/korvane-view/Source.h"

namespace view {

class CameraHost : public Source {
  public:
    CameraHost(FrameHub& hub, LogRing& log) : hub_(hub), log_(log) {}
    ~CameraHost() override;
    CameraHost(const CameraHost&) = delete;
    CameraHost& operator=(const CameraHost&) = delete;

    // Loads the driver, initializes it and opens the camera. False with the
    // reason in error. One host per process: the driver's callbacks carry
    // no context.
    bool Start(const Options& options, std::string& error);
    // Stops grabbing, closes the camera and finalizes the driver.
    void Stop();

    const std::string& Camera() const { return camera_; }

    bool ReadOnly() const override { return false; }
    std::string InfoJson() override;
    std::string StatsMembers() override;
    ChangeAnswer SetProperty(const std::string& name, int value) override;
    ChangeAnswer Grab(const std::string& mode) override;

  private:
    static void OnFrame(int grabberNo, int portNo);
    static void OnLog(const char* text);
    void Fetch(int portNo);
    // Re-reads Width and Height after a change: rows follow them at once.
    void RefreshSize();
    // The answer: the driver's, the log lines written since sinceLogId and
    // the given extra members.
    ChangeAnswer Answer(bool driverOk, std::uint64_t sinceLogId, const std::string& extra);

    FrameHub& hub_;
    LogRing& log_;
    korvane::loader::Driver driver_;
    std::string camera_;
    int port_ = 1;
    int openWidth_ = 0;
    int openHeight_ = 0;
    bool open_ = false;
    bool initialized_ = false;
    // Calls of the page's requests for the port, one at a time as the
    // driver asks; the grab callback does not take it.
    std::mutex driverMutex_;
    std::atomic<int> width_{0};
    std::atomic<int> height_{0};
    std::atomic<std::uint64_t> grabbed_{0};
    std::atomic<std::uint64_t> rowFailures_{0};
    // The grab rate over the last stats interval.
    std::mutex rateMutex_;
    std::chrono::steady_clock::time_point rateTime_;  // guarded by rateMutex_
    std::uint64_t rateCount_ = 0;                     // guarded by rateMutex_
    double rate_ = 0;                                 // guarded by rateMutex_
};

}  // namespace view

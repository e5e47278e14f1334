#pragma once
// Viewer mode: the frames of a camera another process shares, received
// through the share client library on a thread of its own. It connects
// again when the camera stops sharing and comes back.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "korvane/korvane_share.h"
#include "tools/korvane-view/FrameHub.h"
#include "tools/korvane-view/LogRing.h"
#include "tools/korvane-view/Source.h"

namespace view {

class ShareSource : public Source {
  public:
    ShareSource(FrameHub& hub, LogRing& log, std::string name)
        : hub_(hub), log_(log), name_(std::move(name)) {}
    ~ShareSource() override;
    ShareSource(const ShareSource&) = delete;
    ShareSource& operator=(const ShareSource&) = delete;

    void Start();
    void Stop();

    bool ReadOnly() const override { return true; }
    std::string InfoJson() override;
    std::string StatsMembers() override;
    ChangeAnswer SetProperty(const std::string& name, int value) override;
    ChangeAnswer Grab(const std::string& mode) override;

  private:
    void Run();
    // One connection: until the share closes or Stop.
    void Receive(::korvane_share* share);
    void SetState(const std::string& state);

    FrameHub& hub_;
    LogRing& log_;
    const std::string name_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> width_{0};
    std::atomic<int> height_{0};
    std::atomic<std::uint64_t> received_{0};
    std::mutex stateMutex_;
    std::string state_ = "connecting";  // guarded by stateMutex_
};

}  // namespace view

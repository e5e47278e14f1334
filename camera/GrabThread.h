#pragma once
// The camera's own thread: waits to be woken, runs the library's
// synchronous grab of one frame, marks the camera idle, calls the host back
// and tells the share server. In continuous mode it grabs back to back.
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "camera/GrabFlags.h"
#include "mil/MilApi.h"
#include "platform/Event.h"

namespace korvane {

class MilDigitizer;

class GrabThread {
  public:
    static constexpr int kJoinTimeoutMs = 3000;

    explicit GrabThread(MilDigitizer& camera);
    ~GrabThread();
    GrabThread(const GrabThread&) = delete;
    GrabThread& operator=(const GrabThread&) = delete;

    bool Init();
    bool Wake();
    void Destroy();

    // What the thread works on. It outlives this object when the thread
    // does not end in time: the camera is then cut loose (abandoned) and the
    // thread ends on its own without touching it again.
    struct State {
        explicit State(MilDigitizer& cam);
        std::recursive_mutex cameraMutex;  // held while the thread uses the camera
        MilDigitizer* camera;              // null once abandoned
        std::shared_ptr<GrabFlags> flags;
        std::atomic<bool> stopRequested{false};
        platform::Event wakeEvent{platform::Event::Mode::AutoReset, false};
        platform::Event endedEvent{platform::Event::Mode::ManualReset, false};
        std::atomic<int> lastPort{-1};
    };

    static int static_ThreadMain(const std::shared_ptr<State>& state);

  private:
    static int ThreadMain(State& state);
    static bool Grab_MdigProcess(State& state);
    int Port() const;

    MilDigitizer& camera_;
    std::shared_ptr<State> state_;
    std::thread thread_;
    bool eventCreated_ = false;
};

}  // namespace korvane

#include "camera/GrabThread.h"

#include <array>
#include <system_error>

#include "camera/MilDigitizer.h"
#include "camera/MilErrorText.h"
#include "driver/DriverLog.h"
#include "mil/MilCalls.h"
#include "platform/Clock.h"

namespace korvane {
namespace {

// The camera's port for log lines; the last one seen once the camera is
// gone.
int PortOf(GrabThread::State& state) {
    std::lock_guard lock(state.cameraMutex);
    if (state.camera != nullptr) {
        state.lastPort.store(state.camera->port());
    }
    return state.lastPort.load();
}

}  // namespace

GrabThread::State::State(MilDigitizer& cam) : camera(&cam), flags(cam.flags()) {}

GrabThread::GrabThread(MilDigitizer& camera)
    : camera_(camera), state_(std::make_shared<State>(camera)) {}

GrabThread::~GrabThread() {
    KLOG(kProgress, "GrabThread::~GrabThread: entering on port=%d\n", Port());
    Destroy();
    KLOG(kProgress, "GrabThread::~GrabThread: leaving on port=%d\n", Port());
}

int GrabThread::Port() const {
    return camera_.port();
}

bool GrabThread::Init() {
    KLOG(kProgress, "GrabThread::Init: entering on port=%d\n", Port());
    if (thread_.joinable()) {
        KLOG(kError, "GrabThread::Init: already initialized on port=%d\n", Port());
        return false;
    }
    // The event exists before the thread, so its first wait is on a valid
    // event.
    eventCreated_ = true;
    try {
        thread_ = std::thread([state = state_] { static_ThreadMain(state); });
    } catch (const std::system_error&) {
        KLOG(kProgress, "GrabThread::Init: ERROR: failed to initialize camera thread on port=%d\n",
             Port());
        return false;
    }
    KLOG(kProgress, "GrabThread::Init: thread created:%d on port=%d\n",
         static_cast<int>(static_cast<unsigned long>(thread_.native_handle()) & 0x7FFFFFFF),
         Port());
    KLOG(kProgress, "GrabThread::Init: leaving on port=%d\n", Port());
    return true;
}

bool GrabThread::Wake() {
    state_->wakeEvent.Set();
    return true;
}

int GrabThread::static_ThreadMain(const std::shared_ptr<State>& state) {
    if (!state) {
        return -1;
    }
    KLOG(kProgress, "GrabThread::static_ThreadMain\n");
    const int result = ThreadMain(*state);
    state->endedEvent.Set();
    return result;
}

int GrabThread::ThreadMain(State& state) {
    KLOG(kProgress, "GrabThread::ThreadMain: entering, clock=%ld on port=%d",
         platform::ProcessClockMs(), PortOf(state));
    GrabFlags& flags = *state.flags;
    while (!state.stopRequested.load()) {
        if (!flags.continuous.load()) {
            state.wakeEvent.Wait();
            state.wakeEvent.Reset();
        }
        if (state.stopRequested.load()) {
            break;
        }
        KLOG(kDetail, "GrabThread::ThreadMain: grabbing starts in synch mode on port=%d\n",
             PortOf(state));
        if (!Grab_MdigProcess(state)) {
            flags.grabInProgress.store(false);
            continue;
        }
        KLOG(kDetail, "GrabThread::ThreadMain: grabbing completed on port=%d\n", PortOf(state));
        flags.grabInProgress.store(false);

        std::lock_guard lock(state.cameraMutex);
        if (state.camera == nullptr) {
            continue;
        }
        const int port = state.camera->port();
        if (CompleteCallback callback = flags.completeCallback.load()) {
            callback(0, port);
        }
        // The callback may have closed the camera from this very thread.
        if (state.camera != nullptr && flags.shareCamera.load() > 0) {
            state.camera->NotifyShare();
        }
    }
    KLOG(kProgress, "GrabThread::ThreadMain: leavingon port=%d\n", PortOf(state));
    return 0;
}

bool GrabThread::Grab_MdigProcess(State& state) {
    mil::MilId digId = 0;
    std::array<mil::MilId, MilGrabBuffers::kMaxBuffers> buffers{};
    int count = 0;
    {
        std::lock_guard lock(state.cameraMutex);
        if (state.camera == nullptr) {
            return false;
        }
        digId = state.camera->digId();
        MilGrabBuffers& grabBuffers = state.camera->grabBuffers();
        count = grabBuffers.bufferCount();
        for (int i = 0; i < count; ++i) {
            buffers[i] = grabBuffers.bufferIds()[i];
        }
    }
    {
        std::unique_lock frame(state.flags->frameLock);
        mil::Calls().MdigProcess(digId, buffers.data(), count, mil::M_SEQUENCE, mil::M_SYNCHRONOUS);
    }
    if (MilErrorPending()) {
        KLOG(kError, "GrabThread::Grab_MdigProcess: ERROR: grab failed, %s\n",
             MilErrorText().c_str());
        return false;
    }
    return true;
}

void GrabThread::Destroy() {
    KLOG(kProgress, "GrabThread::Destroy: entering on port=%d\n", Port());
    if (thread_.joinable()) {
        state_->stopRequested.store(true);
        state_->wakeEvent.Set();
        MilGrabBuffers& grabBuffers = camera_.grabBuffers();
        mil::Calls().MdigProcess(camera_.digId(), grabBuffers.bufferIds(),
                                 grabBuffers.bufferCount(), mil::M_STOP, mil::M_SYNCHRONOUS);
        const bool onOwnThread = thread_.get_id() == std::this_thread::get_id();
        if (!onOwnThread && state_->endedEvent.Wait(kJoinTimeoutMs)) {
            thread_.join();
        } else {
            if (!onOwnThread) {
                KLOG(kError,
                     "GrabThread::Destroy: WARNING: thread did not end within %d ms on port=%d, it "
                     "ends on its own\n",
                     kJoinTimeoutMs, Port());
            }
            // Cut the camera loose: the thread keeps its own state alive and
            // touches nothing of the camera once it comes back. Taking the
            // lock waits for a callback that is running right now.
            {
                std::lock_guard lock(state_->cameraMutex);
                state_->lastPort.store(camera_.port());
                state_->camera = nullptr;
            }
            thread_.detach();
        }
        KLOG(kProgress, "GrabThread::Destroy: thread closed on port=%d\n", Port());
    }
    eventCreated_ = false;
    KLOG(kProgress, "GrabThread::Destroy: leaving on port=%d\n", Port());
}

}  // namespace korvane

#include "sharing/CameraShare.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <system_error>

#include "driver/DriverLog.h"
#include "platform/Clock.h"
#include "platform/SystemError.h"
#include "sharing/Win32Exception.h"

namespace korvane {

CCameraShare::CCameraShare(ShareSource& camera) : camera_(camera) {}

CCameraShare::~CCameraShare() {
    // A camera destroyed while sharing must not leave the thread running on
    // a dead object.
    StopProcessingThread();
}

void CCameraShare::Start(const std::string& shareName) {
    KLOG(kProgress, "Starting share '%s' for %s", shareName.c_str(), camera_.ShareCameraName());
    if (thread_.joinable()) {
        KLOG(kError, "CCameraShare::Start: ERROR: the share of %s is running already\n",
             camera_.ShareCameraName());
        return;
    }
    if (!imageBuffer_.Allocate(false, camera_.ShareWidth(), camera_.ShareHeight())) {
        // No image of an earlier size stays behind: without a buffer the
        // share publishes nothing.
        imageBuffer_ = ImageBuffer{};
    }
    segment_.Create(shareName.c_str(), false, imageBuffer_.size);
    try {
        pipe_.Create(shareName);
        StartProcessingThread();
    } catch (const Win32Exception& e) {
        KLOG(kError, "ERROR: Failed to start camera sharing: %s", e.what());
    }
}

void CCameraShare::Stop() {
    KLOG(kProgress, "CCameraShare::Stop: Stopping share for %s", camera_.ShareCameraName());
    StopProcessingThread();
    pipe_.Close();
    segment_.Release();
    KLOG(kProgress, "CCameraShare::Stop: Stopped share for %s", camera_.ShareCameraName());
}

void CCameraShare::NotifyFrame() {
    platform::LockGuard lock(announceMutex_);
    if (takingFrames_) {
        // Kept for the server's next wait should it not be back in it yet.
        frameAnnounced_.store(true, std::memory_order_release);
        frameEvent_.Set();
    } else {
        frameEvent_.Pulse();
    }
}

void CCameraShare::TakeFrames(bool on) {
    platform::LockGuard lock(announceMutex_);
    takingFrames_ = on;
    if (!on) {
        frameAnnounced_.store(false, std::memory_order_relaxed);
        frameEvent_.Reset();
    }
}

void CCameraShare::AwaitNextFrameBriefly() {
    const auto end = std::chrono::steady_clock::now() + kNextFrameSpin;
    while (!frameAnnounced_.load(std::memory_order_acquire) &&
           std::chrono::steady_clock::now() < end) {
    }
}

void CCameraShare::StartProcessingThread() {
    stopEvent_.Reset();
    try {
        thread_ = std::thread(&CCameraShare::static_ThreadMain, this);
    } catch (const std::system_error& e) {
        platform::SetLastErrorFromErrno(e.code().value());
        throw Win32Exception();
    }
}

void CCameraShare::StopProcessingThread() {
    if (!thread_.joinable()) {
        return;
    }
    stopEvent_.Set();
    thread_.join();
    KLOG(kProgress, "CCameraShare::StopProcessingThread: thread stopped, clock=%ld on port=%d",
         platform::ProcessClockMs(), camera_.SharePort());
}

int CCameraShare::static_ThreadMain(CCameraShare* share) {
    if (share == nullptr) {
        return -1;
    }
    KLOG(kProgress, "CCameraShare::static_ThreadMain\n");
    return share->ThreadMain();
}

int CCameraShare::ThreadMain() {
    const int port = camera_.SharePort();
    KLOG(kProgress, "CCameraShare::ThreadMain: entering, clock=%ld on port=%d",
         platform::ProcessClockMs(), port);
    try {
        for (;;) {
            KLOG(kDetail, "CCameraShare::ThreadMain: waiting for client on port=%d", port);
            try {
                platform::Event& connected = pipe_.Connect();
                platform::Event* const events[] = {&stopEvent_, &connected};
                const int which = platform::Event::WaitAny(events);
                if (which == 0) {
                    return 0;
                }
                if (which != 1) {
                    throw Win32Exception(platform::kErrorInvalidHandle);
                }
                KLOG(kProgress, "CCameraShare::ThreadMain: client connected on port=%d", port);
                ServeClient();
                // The client has gone: the pipe still holds its connection,
                // which the next Connect reports before it is dropped.
            } catch (const std::exception& e) {
                KLOG(kError, "CCameraShare::ThreadMain: ERROR: %s", e.what());
                KLOG(kProgress, "CCameraShare::ThreadMain: Reconnecting...");
                pipe_.Disconnect();
            }
        }
    } catch (const StopRequested&) {
        return 0;
    }
}

CCameraShare::ServeEnd CCameraShare::ServeClient() {
    const int port = camera_.SharePort();
    // Whatever was outstanding belonged to the previous client and ended
    // when it was dropped.
    readPending_ = false;
    writeChecked_ = true;
    struct FramesTaken {
        CCameraShare& share;
        explicit FramesTaken(CCameraShare& s) : share(s) { share.TakeFrames(true); }
        ~FramesTaken() { share.TakeFrames(false); }
        FramesTaken(const FramesTaken&) = delete;
        FramesTaken& operator=(const FramesTaken&) = delete;
    } framesTaken(*this);
    bool awaitNextFrame = false;
    for (;;) {
        try {
            if (!readPending_) {
                received_ = ShareHeader{kShareMagic, 0, 0};
                pipe_.Read(&received_, sizeof received_);
                readPending_ = true;
            }
            if (awaitNextFrame) {
                AwaitNextFrameBriefly();
                awaitNextFrame = false;
            }
            platform::Event* const events[] = {&stopEvent_, &frameEvent_, &pipe_.ReadEvent()};
            switch (platform::Event::WaitAny(events)) {
                case 0:
                    throw StopRequested{};
                case 1:
                    TakeFrames(false);
                    SendFrame();
                    TakeFrames(true);  // also when nothing was published
                    awaitNextFrame = true;
                    break;
                case 2:
                    readPending_ = false;
                    // A read that ended because the client went away is not
                    // a command, and a message too short to reach the type
                    // field (fewer than 8 bytes) counts as type 0.
                    if (pipe_.ReadResult() < offsetof(ShareHeader, length)) {
                        received_.type = 0;
                    }
                    ProcessCommand(received_);
                    break;
                default:
                    throw Win32Exception(platform::kErrorInvalidHandle);
            }
        } catch (const Win32Exception& e) {
            if (e.errorCode == platform::kErrorBrokenPipe ||
                e.errorCode == platform::kErrorPipeNotConnected) {
                KLOG(kProgress, "CCameraShare::ThreadMain: client disconnected on port %d", port);
                return ServeEnd::ClientGone;
            }
            KLOG(kError, "CCameraShare::ThreadMain: ERROR: %s", e.what());
        }
    }
}

void CCameraShare::WaitForWriteDone() {
    if (writeChecked_) {
        // Nothing outstanding: a write that failed at once never signals
        // its event, and a new client starts with none.
        return;
    }
    platform::Event& written = pipe_.WriteEvent();
    if (!written.IsSet()) {
        // A client that stops reading fills the pipe; wait for it to catch
        // up (or go away) rather than touch the message in flight.
        platform::Event* const events[] = {&stopEvent_, &written};
        if (platform::Event::WaitAny(events) == 0) {
            throw StopRequested{};
        }
    }
    writeChecked_ = true;
    pipe_.WriteResult();
}

void CCameraShare::WriteMessage(const void* message) {
    pipe_.Write(message, sizeof(ShareHeader));
    // Only a write the pipe took (done or pending) has an outcome to await.
    writeChecked_ = false;
}

ShareDimensions CCameraShare::PublishedDimensions() const {
    // The segment holds images of the size the share started with; a
    // client sizes its copy by this answer.
    if (imageBuffer_.data) {
        return ShareDimensions{imageBuffer_.width, imageBuffer_.height, 1};
    }
    return ShareDimensions{camera_.ShareWidth(), camera_.ShareHeight(), 1};
}

void CCameraShare::ProcessCommand(const ShareHeader& header) {
    KLOG(kProgress, "CCameraShare::ProcessCommand: type %d", header.type);
    if (header.type != kShareTypeDimensions) {
        return;
    }
    WaitForWriteDone();
    reply_ = ShareHeader{kShareMagic, kShareTypeDimensions, sizeof(ShareDimensions)};
    WriteMessage(&reply_);
    WaitForWriteDone();
    dimensions_ = PublishedDimensions();
    WriteMessage(&dimensions_);
    KLOG(kProgress, "CCameraShare::ThreadMain: dimensions sent on port=%d", camera_.SharePort());
}

void CCameraShare::SendFrame() {
    KLOG(kDetail, "CCameraShare::SendFrame: entered");
    if (!imageBuffer_.data || !segment_.IsInitialised()) {
        KLOG(kDetail, "CCameraShare::SendFrame: no image buffer or segment, nothing published\n");
        return;
    }
    WaitForWriteDone();
    // The rows go straight into the segment, under its mutex, so a frame is
    // copied once. The camera's size may have changed since Start: rows and
    // columns never reach past the published image or the segment.
    const int width = imageBuffer_.width;
    const int rows = std::min({camera_.ShareHeight(), imageBuffer_.height,
                               static_cast<int>(segment_.Size() / static_cast<unsigned>(width))});
    const int columns = std::min(camera_.ShareWidth(), width);
    if (!segment_.Lock()) {
        KLOG(kError, "CCameraShare::SendFrame: ERROR: cannot take the segment's mutex\n");
        return;
    }
    // The frame is held only once the segment is ours: a client sitting on
    // the segment's mutex stalls this thread, never the camera's grabbing.
    if (!camera_.ShareBeginFrame()) {
        segment_.Unlock();
        KLOG(kDetail, "CCameraShare::SendFrame: the camera is still grabbing, nothing published\n");
        return;
    }
    std::uint8_t* image = segment_.View();
    for (int row = 0; row < rows; ++row) {
        camera_.ShareGetRow(image + static_cast<std::size_t>(row) * width, row, 0, columns - 1);
    }
    segment_.Unlock();
    // The next frame may come while this one's notice is on its way; the
    // camera grabs it only once this one is let go.
    TakeFrames(true);
    camera_.ShareEndFrame();
    notice_ = ShareHeader{kShareMagic, kShareTypeFrame, 0};
    WriteMessage(&notice_);
    KLOG(kDetail, "CCameraShare::SendFrame: image has been written to memory");
}

}  // namespace korvane

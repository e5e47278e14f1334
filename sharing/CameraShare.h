#pragma once
// Publishes a camera's frames to another process on this machine: a server
// thread copies each grabbed frame into a named shared-memory segment and
// tells the connected client by a message on a named pipe, both named after
// the share. The client may ask for the image dimensions at any time.
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include "platform/Event.h"
#include "platform/ThreadSafety.h"
#include "sharing/ImageBuffer.h"
#include "sharing/NamedPipe.h"
#include "sharing/ShareProtocol.h"
#include "sharing/ShareSource.h"
#include "sharing/SharedMemory.h"

namespace korvane {

class CCameraShare {
  public:
    explicit CCameraShare(ShareSource& camera);
    ~CCameraShare();
    CCameraShare(const CCameraShare&) = delete;
    CCameraShare& operator=(const CCameraShare&) = delete;

    // Image buffer, segment, pipe and server thread. Failures are logged;
    // the camera works on without its share.
    void Start(const std::string& shareName);
    // Ends the thread, then closes the pipe and the segment.
    void Stop();
    // Called after each grabbed frame: a server waiting for a frame at this
    // moment publishes it; otherwise the frame is not announced. The server
    // counts as waiting from the moment it has let go of the previous frame,
    // though it may still be sending that frame's notice.
    void NotifyFrame();

    void StartProcessingThread();
    void StopProcessingThread();

    static int static_ThreadMain(CCameraShare* share);
    int ThreadMain();

    // Answers a dimensions request; other types are logged and ignored.
    void ProcessCommand(const ShareHeader& header);
    // Publishes the last grabbed frame.
    void SendFrame();

  private:
    struct StopRequested {};
    enum class ServeEnd { ClientGone };

    ServeEnd ServeClient();
    // Whether NotifyFrame's frame is taken (see there). Turning it off drops
    // a frame announced and not yet taken: the frame the server is about to
    // copy is the newest one anyway.
    void TakeFrames(bool on);
    // After publishing a frame the server stays awake a moment for the next
    // one: a grabbing camera announces it soon, and a thread put to sleep
    // and woken again costs more than that (on virtual machines several
    // times more). Returns when one is announced or the moment has passed.
    void AwaitNextFrameBriefly();
    static constexpr std::chrono::microseconds kNextFrameSpin{60};
    // Waits until no write is outstanding, so its buffer may be reused; a
    // stop request meanwhile unwinds the thread.
    void WaitForWriteDone();
    void WriteMessage(const void* message);
    ShareDimensions PublishedDimensions() const;

    ShareSource& camera_;
    NamedPipe pipe_;
    std::thread thread_;
    platform::Event stopEvent_{platform::Event::Mode::AutoReset, false};
    platform::Event frameEvent_{platform::Event::Mode::AutoReset, false};
    CSharedMemory segment_;
    ImageBuffer imageBuffer_;
    // Also orders the frame event's use with takingFrames_.
    platform::CheckedMutex announceMutex_;
    bool takingFrames_ KORVANE_GUARDED_BY(announceMutex_) = false;  // serving, not holding a frame
    std::atomic<bool> frameAnnounced_{false};  // a kept announcement not yet taken

    // Used by the server thread only. Each stays unchanged until the pipe
    // operation that uses it has completed.
    bool readPending_ = false;
    bool writeChecked_ = true;  // the outcome of the last write was looked at
    ShareHeader received_{};
    ShareHeader reply_{};
    ShareDimensions dimensions_{};
    ShareHeader notice_{};
};

}  // namespace korvane

#pragma once
// camera=NAME: korvanesrc as the host of a camera. It loads the driver
// through the host-side loader, opens the camera, sets the given properties
// before the first grab and grabs continuously; each grab callback reads the
// rows straight into a pooled buffer and queues it for the streaming thread.
//
// The driver's callbacks carry no context and its initialize/finalize are
// per process, so one camera element streams at a time in a process; a
// second one fails its start with a clear error.
#include <atomic>
#include <mutex>
#include <string>

#include "gstreamer/FrameQueue.h"
#include "gstreamer/FrameSource.h"
#include "gstreamer/PropertyList.h"
#include "loader/DriverLoader.h"

namespace korvane::gst {

struct CameraSettings {
    std::string camera;
    std::string systemPath = ".";
    std::string library;  // empty: beside the plugin, then the loader's places
    int port = 1;
    PropertyList properties;
};

class CameraFrameSource : public FrameSource {
  public:
    CameraFrameSource(CameraSettings settings, RunningTime now);
    ~CameraFrameSource() override;
    CameraFrameSource(const CameraFrameSource&) = delete;
    CameraFrameSource& operator=(const CameraFrameSource&) = delete;

    bool Open(std::string& error) override;
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    FrameResult Next(GstBufferPool* pool, const GstVideoInfo& info, BufferPtr& frame,
                     std::string& error) override;
    void Unlock() override;
    void UnlockStop() override;
    void Close() override;
    guint64 Dropped() const override { return dropped_.load(); }

    // The driver's callbacks, routed to the camera element that streams.
    static void KORVANE_CALL OnGrabComplete(int grabberNo, int portNo);
    static void KORVANE_CALL OnDriverMessage(const char* text);

  private:
    // Reads the frame just grabbed into a pooled buffer and queues it (on
    // the driver's grab thread).
    void DeliverFrame();
    bool StartGrabbing(std::string& error);
    void Fail(const std::string& why);
    std::string DriverReason() const;

    const CameraSettings settings_;
    const RunningTime now_;
    loader::Driver driver_;
    bool claimed_ = false;
    bool initialized_ = false;
    bool opened_ = false;
    bool grabbing_ = false;  // the streaming thread's, and Close's after it
    int width_ = 0;
    int height_ = 0;

    std::mutex layoutMutex_;
    GstBufferPool* pool_ = nullptr;  // a reference while grabbing
    GstVideoInfo info_{};

    FrameQueue<BufferPtr> queue_{6};
    std::atomic<bool> unlocked_{false};
    std::atomic<guint64> dropped_{0};
    std::atomic<bool> failed_{false};
    std::mutex failureMutex_;
    std::string failure_;
};

}  // namespace korvane::gst

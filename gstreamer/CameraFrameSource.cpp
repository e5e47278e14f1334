#include "gstreamer/CameraFrameSource.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "gstreamer/DriverMessages.h"
#include "platform/DynamicLibrary.h"

namespace korvane::gst {
namespace {

// The camera element that streams in this process, if any. Held while a
// grab callback delivers, so that Close can never pull the element away
// under a callback.
std::mutex activeMutex;
CameraFrameSource* active = nullptr;

constexpr auto kPollInterval = std::chrono::milliseconds(50);

// An installed plugin lives in <libdir>/gstreamer-1.0, the driver in
// <libdir>: look there first, then where the loader looks.
std::string DefaultLibrary() {
    const std::filesystem::path beside =
        std::filesystem::path(platform::ModuleDirectory(
            reinterpret_cast<const void*>(&CameraFrameSource::OnGrabComplete))) /
        ".." / loader::DriverFileName();
    std::error_code ignored;
    return std::filesystem::exists(beside, ignored) ? beside.lexically_normal().string()
                                                    : std::string();
}

}  // namespace

CameraFrameSource::CameraFrameSource(CameraSettings settings, RunningTime now)
    : settings_(std::move(settings)), now_(std::move(now)) {}

CameraFrameSource::~CameraFrameSource() {
    Close();
}

void KORVANE_CALL CameraFrameSource::OnGrabComplete(int grabberNo, int portNo) {
    std::lock_guard lock(activeMutex);
    if (active != nullptr && grabberNo == 0 && portNo == active->settings_.port) {
        active->DeliverFrame();
    }
}

void KORVANE_CALL CameraFrameSource::OnDriverMessage(const char* text) {
    TakeDriverMessage(text);
}

std::string CameraFrameSource::DriverReason() const {
    const std::string line = LastDriverFailure();
    return line.empty() ? std::string("the driver logged no reason") : "driver: " + line;
}

bool CameraFrameSource::Open(std::string& error) {
    {
        std::lock_guard lock(activeMutex);
        if (active != nullptr && active != this) {
            error =
                "another korvanesrc already streams a camera in this process (the driver "
                "serves one host per process)";
            return false;
        }
        active = this;
        claimed_ = true;
    }
    const std::string library = settings_.library.empty() ? DefaultLibrary() : settings_.library;
    std::string reason;
    if (!driver_.Load(library, reason)) {
        error = "cannot load the Korvane driver: " + reason;
        Close();
        return false;
    }
    const loader::Exports& d = driver_.Api();
    ClearDriverMessages();
    if (d.initialize(settings_.systemPath.c_str(), &CameraFrameSource::OnDriverMessage) != 1) {
        error = "the driver did not initialize with system path '" + settings_.systemPath +
                "': " + DriverReason();
        Close();
        return false;
    }
    initialized_ = true;
    int size[2] = {0, 0};
    ClearDriverMessages();
    if (d.openXELPort(0, settings_.port, settings_.camera.c_str(), size) != 1) {
        std::string cameras;
        char** names = d.getXELCameraConfigNames();
        for (int i = 0; names != nullptr && names[i] != nullptr; ++i) {
            cameras += (i == 0 ? "" : ", ") + std::string(names[i]);
        }
        error = "cannot open camera '" + settings_.camera + "' on port " +
                std::to_string(settings_.port) + ": " + DriverReason() +
                " (cameras: " + (cameras.empty() ? std::string("none") : cameras) + ")";
        Close();
        return false;
    }
    opened_ = true;
    for (const auto& [name, value] : settings_.properties) {
        ClearDriverMessages();
        if (d.setProperty(0, settings_.port, name.c_str(), value) != 1) {
            error = "camera '" + settings_.camera + "' refused " + name + "=" +
                    std::to_string(value) + ": " + DriverReason();
            Close();
            return false;
        }
    }
    // Width and Height may have been lowered; rows follow the settings.
    int width = size[0];
    int height = size[1];
    d.getProperty(0, settings_.port, "Width", &width);
    d.getProperty(0, settings_.port, "Height", &height);
    width_ = std::min(width, size[0]);
    height_ = std::min(height, size[1]);
    if (width_ <= 0 || height_ <= 0) {
        error = "camera '" + settings_.camera + "' has an empty image (" + std::to_string(width_) +
                " x " + std::to_string(height_) + ")";
        Close();
        return false;
    }
    d.setCompleteCallback(0, settings_.port, &CameraFrameSource::OnGrabComplete);
    return true;
}

bool CameraFrameSource::StartGrabbing(std::string& error) {
    const loader::Exports& d = driver_.Api();
    ClearDriverMessages();
    if (d.setProperty(0, settings_.port, "continuous", 1) != 1) {
        error = "camera '" + settings_.camera + "' refused continuous grabbing: " + DriverReason();
        return false;
    }
    grabbing_ = true;
    if (d.doXELGrab(0, settings_.port) != 1) {
        error = "camera '" + settings_.camera + "' refused to grab: " + DriverReason();
        return false;
    }
    return true;
}

FrameResult CameraFrameSource::Next(GstBufferPool* pool, const GstVideoInfo& info, BufferPtr& frame,
                                    std::string& error) {
    if (!opened_) {
        error = "camera '" + settings_.camera + "' is not open";
        return FrameResult::kError;
    }
    {
        std::lock_guard lock(layoutMutex_);
        if (pool_ != pool) {
            if (pool_ != nullptr) {
                gst_object_unref(pool_);
            }
            pool_ = GST_BUFFER_POOL(gst_object_ref(pool));
        }
        info_ = info;
    }
    // Grabbing starts once there are buffers to grab into.
    if (!grabbing_ && !StartGrabbing(error)) {
        return FrameResult::kError;
    }
    for (;;) {
        if (failed_.load()) {
            std::lock_guard lock(failureMutex_);
            error = failure_;
            return FrameResult::kError;
        }
        if (unlocked_.load()) {
            return FrameResult::kFlushing;
        }
        if (std::optional<BufferPtr> next = queue_.Pop(kPollInterval)) {
            frame = std::move(*next);
            return FrameResult::kOk;
        }
    }
}

void CameraFrameSource::Unlock() {
    unlocked_.store(true);
    queue_.Wake();
}

void CameraFrameSource::UnlockStop() {
    unlocked_.store(false);
    queue_.Rearm();
}

void CameraFrameSource::Fail(const std::string& why) {
    {
        std::lock_guard lock(failureMutex_);
        if (failed_.load()) {
            return;
        }
        failure_ = why;
    }
    failed_.store(true);
    queue_.Wake();
}

void CameraFrameSource::DeliverFrame() {
    const GstClockTime stamp = now_();
    GstBufferPool* pool = nullptr;
    GstVideoInfo info;
    {
        std::lock_guard lock(layoutMutex_);
        if (pool_ != nullptr) {
            pool = GST_BUFFER_POOL(gst_object_ref(pool_));
        }
        info = info_;
    }
    if (pool == nullptr) {
        dropped_.fetch_add(1);
        return;
    }
    // The grab thread never waits for the pipeline: with every buffer
    // downstream, this frame is dropped and the camera keeps grabbing.
    GstBufferPoolAcquireParams params{};
    params.flags = GST_BUFFER_POOL_ACQUIRE_FLAG_DONTWAIT;
    GstBuffer* raw = nullptr;
    const GstFlowReturn acquired = gst_buffer_pool_acquire_buffer(pool, &raw, &params);
    gst_object_unref(pool);
    if (acquired != GST_FLOW_OK) {
        dropped_.fetch_add(1);
        return;
    }
    BufferPtr buffer(raw);
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &info, buffer.get(), GST_MAP_WRITE)) {
        Fail("cannot map a buffer for a frame of camera '" + settings_.camera + "'");
        return;
    }
    const int width = std::min(width_, GST_VIDEO_FRAME_WIDTH(&frame));
    const int height = std::min(height_, GST_VIDEO_FRAME_HEIGHT(&frame));
    ClearDriverMessages();
    const int rows =
        loader::ReadFrame(driver_.Api(), 0, settings_.port,
                          static_cast<unsigned char*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)), width,
                          height, GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0));
    gst_video_frame_unmap(&frame);
    if (rows != height) {
        Fail("camera '" + settings_.camera + "' delivered " + std::to_string(std::max(rows, 0)) +
             " of " + std::to_string(height) + " rows of a frame: " + DriverReason());
        return;
    }
    GST_BUFFER_PTS(buffer.get()) = stamp;
    GST_BUFFER_DTS(buffer.get()) = stamp;
    if (queue_.Push(std::move(buffer))) {
        dropped_.fetch_add(1);
    }
}

void CameraFrameSource::Close() {
    if (driver_.IsLoaded()) {
        const loader::Exports& d = driver_.Api();
        if (grabbing_) {
            d.setProperty(0, settings_.port, "continuous", 0);
            grabbing_ = false;
        }
        if (opened_) {
            // Ends the camera's grab thread: no callback runs after it.
            d.closeXELPort(0, settings_.port);
            opened_ = false;
        }
    }
    if (claimed_) {
        std::lock_guard lock(activeMutex);
        if (active == this) {
            active = nullptr;
        }
        claimed_ = false;
    }
    if (initialized_) {
        driver_->finalize();
        initialized_ = false;
    }
    driver_.Unload();
    queue_.TakeAll();
    std::lock_guard lock(layoutMutex_);
    if (pool_ != nullptr) {
        gst_object_unref(pool_);
        pool_ = nullptr;
    }
}

}  // namespace korvane::gst

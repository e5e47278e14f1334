#pragma once
// Where korvanesrc's frames come from: a camera share of another process or
// a camera this process opens through the driver. The element calls Open in
// its start, Next on its streaming thread, Unlock/UnlockStop from any thread
// and Close in its stop.
#include <gst/gst.h>
#include <gst/video/video.h>

#include <functional>
#include <memory>
#include <string>

namespace korvane::gst {

enum class FrameResult { kOk, kFlushing, kEndOfStream, kError };

// The running time of the element's pipeline now (GST_CLOCK_TIME_NONE when
// it has no clock yet): the time stamp of a frame taken as it arrives.
using RunningTime = std::function<GstClockTime()>;

struct BufferUnref {
    void operator()(GstBuffer* buffer) const { gst_buffer_unref(buffer); }
};
using BufferPtr = std::unique_ptr<GstBuffer, BufferUnref>;

class FrameSource {
  public:
    virtual ~FrameSource() = default;

    // Connects or opens; afterwards Width and Height hold the image size.
    // False with a sentence for the element error in error.
    virtual bool Open(std::string& error) = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;

    // The next frame, in a buffer of pool laid out as info, its time stamp
    // set. Blocks until a frame, the end of the stream, an error or Unlock.
    virtual FrameResult Next(GstBufferPool* pool, const GstVideoInfo& info, BufferPtr& frame,
                             std::string& error) = 0;
    virtual void Unlock() = 0;
    virtual void UnlockStop() = 0;
    virtual void Close() = 0;

    // Frames that arrived but could not be passed on (no free buffer, the
    // queue full).
    virtual guint64 Dropped() const { return 0; }
};

// Copies a tightly packed GRAY8 image (width * height bytes) into buffer
// laid out as info (rows may be padded). False when the buffer cannot be
// mapped.
bool WritePackedImage(GstBuffer* buffer, const GstVideoInfo& info, const unsigned char* image);

}  // namespace korvane::gst

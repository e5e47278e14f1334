#pragma once
// The receiving side of a camera share: connects to the share's pipe, asks
// for the image dimensions, waits for frame notices and copies the frame out
// of the segment under its mutex.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/SystemError.h"
#include "sharing/NamedPipe.h"
#include "sharing/ShareProtocol.h"
#include "sharing/SharedMemory.h"

namespace korvane {

class ShareClient {
  public:
    enum class Status {
        Ok,
        Timeout,
        Closed,  // the server has gone (or closed the share)
        Error,   // see LastError()
    };

    ShareClient();
    ~ShareClient();
    ShareClient(const ShareClient&) = delete;
    ShareClient& operator=(const ShareClient&) = delete;

    // Connects to the share's pipe; LastError() 2 when no share of that
    // name runs.
    Status Open(const std::string& name);
    // Asks for the image size and waits up to timeoutMs (negative: no limit)
    // for the answer. Frame notices that come first are kept for WaitFrame.
    Status RequestDimensions(ShareDimensions& out, int timeoutMs);
    // Waits for the next frame notice.
    Status WaitFrame(int timeoutMs);
    // Copies the frame in the segment (width x height bytes) into dest,
    // holding the segment's mutex. Needs the dimensions; opens the segment
    // at the first call.
    Status CopyFrame(std::uint8_t* dest, std::size_t size);
    void Close();

    bool HasDimensions() const { return haveDimensions_; }
    const ShareDimensions& Dimensions() const { return dimensions_; }
    // Frame notices received and not yet taken by WaitFrame.
    std::uint64_t PendingFrames() const { return pendingFrames_; }
    platform::ErrorCode LastError() const { return error_; }

  private:
    // Takes one message off the pipe, waiting until the deadline.
    Status Receive(std::int64_t deadline);
    Status Fail(platform::ErrorCode code);

    std::string name_;
    NamedPipe pipe_;
    CSharedMemory segment_;
    bool open_ = false;
    bool readPending_ = false;
    bool dimensionsFollow_ = false;
    bool haveDimensions_ = false;
    std::uint64_t pendingFrames_ = 0;
    ShareDimensions dimensions_{};
    // The receive buffer holds headers and the dimensions alike (12 bytes).
    ShareHeader received_{};
    ShareHeader request_{};
    platform::ErrorCode error_ = platform::kErrorSuccess;
};

}  // namespace korvane

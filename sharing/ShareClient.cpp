#include "sharing/ShareClient.h"

#include <cstring>
#include <limits>

#include "platform/Clock.h"
#include "sharing/Win32Exception.h"

namespace korvane {
namespace {

constexpr std::int64_t kNoDeadline = std::numeric_limits<std::int64_t>::max();

std::int64_t DeadlineAfter(int timeoutMs) {
    return timeoutMs < 0 ? kNoDeadline : platform::MonotonicMs() + timeoutMs;
}

int RemainingMs(std::int64_t deadline) {
    if (deadline == kNoDeadline) {
        return platform::kInfinite;
    }
    const std::int64_t left = deadline - platform::MonotonicMs();
    if (left <= 0) {
        return 0;
    }
    return left > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                  : static_cast<int>(left);
}

bool IsGone(platform::ErrorCode code) {
    return code == platform::kErrorBrokenPipe || code == platform::kErrorPipeNotConnected ||
           code == platform::kErrorNoData;
}

}  // namespace

ShareClient::ShareClient() = default;

ShareClient::~ShareClient() {
    Close();
}

ShareClient::Status ShareClient::Fail(platform::ErrorCode code) {
    error_ = code;
    return IsGone(code) ? Status::Closed : Status::Error;
}

ShareClient::Status ShareClient::Open(const std::string& name) {
    Close();
    try {
        pipe_.Open(name);
        // The client waits for nothing but the server's messages: its thread
        // reads them itself, without a hand-over from the pipe's thread.
        pipe_.UseWaitingReader();
    } catch (const Win32Exception& e) {
        return Fail(e.errorCode);
    }
    name_ = name;
    open_ = true;
    error_ = platform::kErrorSuccess;
    return Status::Ok;
}

void ShareClient::Close() {
    pipe_.Close();
    segment_.Release();
    open_ = false;
    readPending_ = false;
    dimensionsFollow_ = false;
    haveDimensions_ = false;
    pendingFrames_ = 0;
}

ShareClient::Status ShareClient::Receive(std::int64_t deadline) {
    if (!open_) {
        return Fail(platform::kErrorInvalidHandle);
    }
    try {
        if (!readPending_) {
            received_ = ShareHeader{0, 0, 0};
            pipe_.Read(&received_, sizeof received_);
            readPending_ = true;
        }
        if (!pipe_.WaitRead(RemainingMs(deadline))) {
            return Status::Timeout;
        }
        readPending_ = false;
        const std::uint32_t bytes = pipe_.ReadResult();
        if (dimensionsFollow_) {
            dimensionsFollow_ = false;
            if (bytes == sizeof dimensions_) {
                std::memcpy(&dimensions_, &received_, sizeof dimensions_);
                haveDimensions_ = true;
            }
        } else if (bytes == sizeof received_ && received_.magic == kShareMagic) {
            if (received_.type == kShareTypeFrame) {
                ++pendingFrames_;
            } else if (received_.type == kShareTypeDimensions &&
                       received_.length == sizeof(ShareDimensions)) {
                dimensionsFollow_ = true;
            }
        }
        // Anything else is not for us; the next message may be.
        return Status::Ok;
    } catch (const Win32Exception& e) {
        readPending_ = false;
        return Fail(e.errorCode);
    }
}

ShareClient::Status ShareClient::RequestDimensions(ShareDimensions& out, int timeoutMs) {
    if (!open_) {
        return Fail(platform::kErrorInvalidHandle);
    }
    const std::int64_t deadline = DeadlineAfter(timeoutMs);
    try {
        // The request buffer may still be in flight from an earlier call.
        if (!pipe_.WriteEvent().Wait(RemainingMs(deadline))) {
            return Status::Timeout;
        }
        request_ = ShareHeader{kShareMagic, kShareTypeDimensions, 0};
        pipe_.Write(&request_, sizeof request_);
    } catch (const Win32Exception& e) {
        return Fail(e.errorCode);
    }
    haveDimensions_ = false;
    while (!haveDimensions_) {
        const Status status = Receive(deadline);
        if (status != Status::Ok) {
            return status;
        }
    }
    const auto frameBytes = static_cast<std::uint32_t>(dimensions_.width) *
                            static_cast<std::uint32_t>(dimensions_.height);
    if (segment_.IsInitialised() && segment_.Size() != frameBytes) {
        segment_.Release();  // opened for another size; the next copy reopens it
    }
    out = dimensions_;
    return Status::Ok;
}

ShareClient::Status ShareClient::WaitFrame(int timeoutMs) {
    const std::int64_t deadline = DeadlineAfter(timeoutMs);
    while (pendingFrames_ == 0) {
        const Status status = Receive(deadline);
        if (status != Status::Ok) {
            return status;
        }
    }
    --pendingFrames_;
    return Status::Ok;
}

ShareClient::Status ShareClient::CopyFrame(std::uint8_t* dest, std::size_t size) {
    if (!haveDimensions_ || dimensions_.width <= 0 || dimensions_.height <= 0) {
        return Fail(platform::kErrorInvalidParameter);
    }
    const std::size_t frameBytes =
        static_cast<std::size_t>(dimensions_.width) * static_cast<std::size_t>(dimensions_.height);
    if (dest == nullptr || size < frameBytes) {
        return Fail(platform::kErrorInvalidParameter);
    }
    if (!segment_.IsInitialised() &&
        !segment_.Create(name_.c_str(), true, static_cast<std::int32_t>(frameBytes))) {
        return Fail(platform::LastError() == platform::kErrorSuccess ? platform::kErrorFileNotFound
                                                                     : platform::LastError());
    }
    if (!segment_.Read(dest, static_cast<std::uint32_t>(frameBytes))) {
        return Fail(platform::LastError());
    }
    return Status::Ok;
}

}  // namespace korvane

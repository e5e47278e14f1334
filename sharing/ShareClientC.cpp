// The C face of ShareClient, exported by the KorvaneShare library.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <exception>
#include <string>

#include "driver/DriverLog.h"
#include "korvane/korvane_share.h"
#include "sharing/ShareClient.h"

struct korvane_share {
    korvane::ShareClient client;
};

namespace {

thread_local unsigned lastError = 0;
// Plain storage only: with MinGW a thread_local that has a destructor is
// destroyed after its storage was freed, corrupting the heap at thread exit.
constexpr std::size_t kErrorTextSize = 512;
thread_local char errorText[kErrorTextSize];

int ToResult(korvane::ShareClient::Status status, const korvane::ShareClient& client) {
    switch (status) {
        case korvane::ShareClient::Status::Ok:
            return KORVANE_SHARE_OK;
        case korvane::ShareClient::Status::Timeout:
            return KORVANE_SHARE_TIMEOUT;
        case korvane::ShareClient::Status::Closed:
            lastError = client.LastError();
            return KORVANE_SHARE_CLOSED;
        case korvane::ShareClient::Status::Error:
            break;
    }
    lastError = client.LastError();
    return KORVANE_SHARE_ERROR;
}

int BadArgument() {
    lastError = korvane::platform::kErrorInvalidParameter;
    return KORVANE_SHARE_ERROR;
}

}  // namespace

extern "C" {

KORVANE_SHARE_API int korvane_share_open(const char* name, korvane_share** share) {
    if (share == nullptr) {
        return BadArgument();
    }
    *share = nullptr;
    if (name == nullptr) {
        return BadArgument();
    }
    try {
        auto handle = std::make_unique<korvane_share>();
        const int result = ToResult(handle->client.Open(name), handle->client);
        if (result == KORVANE_SHARE_OK) {
            *share = handle.release();
        }
        return result == KORVANE_SHARE_CLOSED ? KORVANE_SHARE_ERROR : result;
    } catch (const std::exception&) {
        lastError = korvane::platform::kErrorNotEnoughMemory;
        return KORVANE_SHARE_ERROR;
    }
}

KORVANE_SHARE_API int korvane_share_dimensions(korvane_share* share, int timeout_ms, int* width,
                                               int* height) {
    if (share == nullptr) {
        return BadArgument();
    }
    korvane::ShareDimensions dims{};
    const int result = ToResult(share->client.RequestDimensions(dims, timeout_ms), share->client);
    if (result == KORVANE_SHARE_OK) {
        if (width != nullptr) {
            *width = dims.width;
        }
        if (height != nullptr) {
            *height = dims.height;
        }
    }
    return result;
}

KORVANE_SHARE_API int korvane_share_wait_frame(korvane_share* share, int timeout_ms) {
    if (share == nullptr) {
        return BadArgument();
    }
    return ToResult(share->client.WaitFrame(timeout_ms), share->client);
}

KORVANE_SHARE_API int korvane_share_copy_frame(korvane_share* share, unsigned char* dest,
                                               size_t size) {
    if (share == nullptr) {
        return BadArgument();
    }
    return ToResult(share->client.CopyFrame(dest, size), share->client);
}

KORVANE_SHARE_API void korvane_share_close(korvane_share* share) {
    // Takes back what korvane_share_open released to the caller.
    std::unique_ptr<korvane_share> owned(share);
}

KORVANE_SHARE_API unsigned korvane_share_error(void) {
    return lastError;
}

KORVANE_SHARE_API const char* korvane_share_error_text(unsigned code) {
    const std::string text = korvane::platform::ErrorText(code);
    const std::size_t n = std::min(text.size(), kErrorTextSize - 1);
    std::memcpy(errorText, text.data(), n);
    errorText[n] = '\0';
    return errorText;
}

KORVANE_SHARE_API void korvane_share_set_log(void (*proc)(const char* text), int level) {
    korvane::DriverLog& log = korvane::DriverLog::Instance();
    log.SetMessageProc(proc);
    log.SetLevel(level);
}

}  // extern "C"

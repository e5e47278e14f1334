// Row delivery, the driver's hottest path: a host calls it once for every
// row of every frame it reads. The camera lookup, the camera's checks and
// the buffer read live in this one file (the read inline in
// MilGrabBuffers.h) so that the compiler makes one function of them; what
// is left per row is the library call and the pixel conversion.
#include <algorithm>

#include "camera/MilApp.h"
#include "camera/MilDigitizer.h"
#include "driver/DriverLog.h"

namespace korvane {

MilDigitizer& MilApp::GetRowCamera(int port, bool logLookups) {
    // At log level 4 every lookup is logged, so the cache is only used below.
    if (!logLookups) {
        // Ports of open cameras are unique; -1 is shared by every camera
        // that is not open, and the registry order decides among those.
        MilDigitizer* last = lastRowCamera_.load(std::memory_order_acquire);
        if (last != nullptr && port != -1 && last->port() == port) {
            return *last;
        }
    }
    MilDigitizer& camera = GetByPort(port);
    lastRowCamera_.store(&camera, std::memory_order_release);
    return camera;
}

bool MilApp::GetRow(int port, bool logLookups, std::uint8_t* dest, int row, std::uint32_t firstPix,
                    std::uint32_t lastPix) {
    return GetRowCamera(port, logLookups).GetRow(dest, row, firstPix, lastPix);
}

bool MilDigitizer::GetRow(std::uint8_t* dest, int row, std::uint32_t firstPix,
                          std::uint32_t lastPix) {
    if (dest == nullptr) {
        KLOG(kError, "MilDigitizer::GetRow: ERROR: target buffer not supplied\n");
        return false;
    }
    bool delivered = true;
    int height = 0;
    {
        std::lock_guard lock(rowMutex_);
        height = settings_.Height.value;
        int width = settings_.Width.value;
        // The settings may have changed since the buffer was allocated: a
        // request is also bounded by the buffer's own size.
        const bool haveBuffers = grabBuffers_.bufferCount() > 0;
        if (haveBuffers) {
            height = std::min(height, grabBuffers_.height());
            width = std::min(width, grabBuffers_.width());
        }
        if (row < 0 || row >= height) {
            KLOG(kError, "MilDigitizer::GetRow: ERROR: invalid row number=%d height=%d\n", row,
                 height);
            return false;
        }
        const bool spanOk =
            firstPix < lastPix && lastPix - firstPix < static_cast<std::uint32_t>(width);
        const bool insideBuffer = !haveBuffers || lastPix < static_cast<std::uint32_t>(width);
        if (!spanOk || !insideBuffer) {
            KLOG(kError,
                 "MilDigitizer::GetRow: ERROR: invalid column, lastPix=%d firstPix=%d width=%d\n",
                 static_cast<int>(lastPix), static_cast<int>(firstPix), width);
            return false;
        }
        // The checks above take the settings' width, which may be negative
        // (then every span passes them): only a request inside the first
        // buffer's own width is read directly.
        if (haveBuffers && lastPix < static_cast<std::uint32_t>(grabBuffers_.width())) {
            grabBuffers_.ReadRow(dest, 0, row, static_cast<int>(firstPix),
                                 static_cast<std::size_t>(lastPix - firstPix) + 1,
                                 settings_.UseLUT.value != 0, settings_.Shift16bit.value);
        } else {
            // No buffer to read, or outside it: the buffers' own checks
            // refuse and log it.
            delivered = grabBuffers_.GetRow(dest, static_cast<std::uint32_t>(row),
                                            static_cast<int>(firstPix), static_cast<int>(lastPix));
        }
        height = settings_.Height.value;
    }
    if (row == height - 1) {
        KLOG(kDetail, "MilDigitizer::GetRow: the last row being fetched, port==%d\n", port());
    }
    return delivered;
}

}  // namespace korvane

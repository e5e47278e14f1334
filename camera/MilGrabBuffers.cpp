#include "camera/MilGrabBuffers.h"

#include <new>

#include "camera/MilErrorText.h"
#include "camera/MilSystem.h"
#include "camera/PixelConvert.h"
#include "driver/DriverLog.h"
#include "settings/CameraSettings.h"

namespace korvane {

MilGrabBuffers::MilGrabBuffers(MilSystem& system)
    : system_(system), lut8_(std::make_unique<std::array<std::uint8_t, 0x10000>>()) {}

MilGrabBuffers::~MilGrabBuffers() {
    Release();
}

void MilGrabBuffers::Init(CameraSettings& settings, int width, int height, const LutTable* lut) {
    settings_ = &settings;
    lut_ = lut;
    if (width == 0 || height == 0) {
        KLOG(kError,
             "MilGrabBuffers::Init: ERROR: incorrect dimensions width=%d height=%d maxBufSize=%d\n",
             width, height, kMaxBufSize);
        return;
    }
    const int depth = settings.Use16bit.value != 0 ? 16 : 8;
    // A set is reused only when it still has the depth it is asked for:
    // reading 16-bit pixels through an 8-bit buffer (or the reverse) would
    // deliver the wrong bytes or overrun the destination.
    if (ready_ && width == width_ && height == height_ && depth == depth_) {
        return;
    }
    Release();
    if (width < 0 || height < 0) {
        KLOG(kError,
             "MilGrabBuffers::Init: ERROR: incorrect dimensions width=%d height=%d maxBufSize=%d\n",
             width, height, kMaxBufSize);
        return;
    }
    try {
        lineBuffer_.assign(static_cast<std::size_t>(width), 0);
    } catch (const std::bad_alloc&) {
        KLOG(kError,
             "MilGrabBuffers::Init: ERROR: memory allocation failed for the temp buffer, width=%d, "
             "pixelsize=%d\n",
             width, depth);
        return;
    }
    bufferCount_ = 1;
    width_ = width;
    height_ = height;
    depth_ = depth;
    for (int i = 0; i < bufferCount_; ++i) {
        bufferIds_[i] =
            mil::Calls().MbufAlloc2d(system_.sysId(), width, height, depth, mil::M_IMAGE_GRAB);
        if (bufferIds_[i] == 0) {
            KLOG(kError,
                 "MilGrabBuffers::Init: ERROR: MbufAlloc2d failed for buffer %d out of %d, "
                 "image:%dx%d, pixelsize=%d, %s\n",
                 i, bufferCount_, width, height, depth, MilErrorText().c_str());
            return;
        }
    }
    ready_ = true;
}

void MilGrabBuffers::Release() {
    for (int i = 0; i < bufferCount_; ++i) {
        if (bufferIds_[i] != 0) {
            mil::Calls().MbufFree(bufferIds_[i]);
        }
        bufferIds_[i] = 0;
    }
    bufferCount_ = 0;
    lineBuffer_.clear();
    lineBuffer_.shrink_to_fit();
    ready_ = false;
}

void MilGrabBuffers::RefreshLut() {
    if (lut_ == nullptr) {
        return;
    }
    auto& table = *lut8_;
    for (std::size_t i = 0; i < table.size(); ++i) {
        table[i] = static_cast<std::uint8_t>((*lut_)[i] & 0xFF);
    }
}

bool MilGrabBuffers::GetRow(std::uint8_t* dest, std::uint32_t row, int first, int last) {
    const std::uint32_t h = height_ > 0 ? static_cast<std::uint32_t>(height_) : 1;
    // Rows of the first buffer, by far the usual case, need no division.
    const std::uint32_t band = row < h ? 0 : row / h;
    const std::uint32_t rowInBand = row < h ? row : row % h;
    if (band >= static_cast<std::uint32_t>(bufferCount_)) {
        KLOG(kError,
             "MilGrabBuffers::GetRow: ERROR: incorrect buffer index ibuf=%d, bufCount=%d, row=%d, "
             "height=%d\n",
             static_cast<int>(band), bufferCount_, static_cast<int>(row), height_);
        return false;
    }
    if (first < 0 || last < first || last >= width_) {
        KLOG(kError, "MilGrabBuffers::GetRow: ERROR: columns %d..%d outside the buffer width %d\n",
             first, last, width_);
        return false;
    }
    ReadRow(dest, static_cast<int>(band), static_cast<int>(rowInBand), first,
            static_cast<std::size_t>(last - first) + 1, settings_->UseLUT.value != 0,
            settings_->Shift16bit.value);
    return true;
}

}  // namespace korvane

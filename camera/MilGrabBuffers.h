#pragma once
// The library buffer a grab fills and the delivery of its rows as bytes.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "camera/PixelConvert.h"
#include "mil/MilCalls.h"
#include "settings/LutTable.h"

namespace korvane {

class MilSystem;
class CameraSettings;

class MilGrabBuffers {
  public:
    static constexpr int kMaxBuffers = 50;
    static constexpr int kMaxBufSize = 32640000;

    explicit MilGrabBuffers(MilSystem& system);
    ~MilGrabBuffers();
    MilGrabBuffers(const MilGrabBuffers&) = delete;
    MilGrabBuffers& operator=(const MilGrabBuffers&) = delete;

    // Prepares one buffer of width x height; the depth follows Use16bit.
    // A ready set of the same size and depth is kept. Success: ready().
    void Init(CameraSettings& settings, int width, int height, const LutTable* lut);
    void Release();

    // Reads pixels first..last of a row into dest, one byte each. Refuses
    // (and logs) a row outside the buffers or columns outside their width.
    bool GetRow(std::uint8_t* dest, std::uint32_t row, int first, int last);

    // GetRow for a caller that has checked its request: n pixels from
    // first of a row of buffer (below bufferCount()), converted by the
    // attached table when useLut, else shifted by shift (16 bits: the low
    // byte when shift is 0).
    void ReadRow(std::uint8_t* dest, int buffer, int row, int first, std::size_t n, bool useLut,
                 int shift);

    // Takes the attached table's current contents for row delivery; run
    // after the table was (re)filled.
    void RefreshLut();

    bool ready() const { return ready_; }
    int bufferCount() const { return bufferCount_; }
    mil::MilId* bufferIds() { return bufferIds_.data(); }
    int width() const { return width_; }
    int height() const { return height_; }
    int depth() const { return depth_; }
    bool lutAttached() const { return lut_ != nullptr; }

  private:
    std::array<mil::MilId, kMaxBuffers> bufferIds_{};
    int bufferCount_ = 0;
    int width_ = 0;
    int height_ = 0;
    int depth_ = 8;  // the depth the buffers were allocated with
    std::vector<std::uint16_t> lineBuffer_;
    bool ready_ = false;
    MilSystem& system_;
    CameraSettings* settings_ = nullptr;
    const LutTable* lut_ = nullptr;
    // Low bytes of the table's first 65536 entries: all a pixel can reach,
    // and small enough to stay in cache.
    std::unique_ptr<std::array<std::uint8_t, 0x10000>> lut8_;
};

// Inline: it is the body of every delivered row.
inline void MilGrabBuffers::ReadRow(std::uint8_t* dest, int buffer, int row, int first,
                                    std::size_t n, bool useLut, int shift) {
    useLut = useLut && lut_ != nullptr;
    const mil::MilCalls api = mil::Calls();
    // n is at most the buffer width, an int.
    const auto width = static_cast<int>(n);
    if (depth_ == 8) {
        api.MbufGet2d(bufferIds_[buffer], first, row, width, 1, dest);
        if (useLut) {
            pixels::LookupInPlace8(dest, n, lut8_->data());
        } else if (shift > 0) {
            pixels::ShiftInPlace8(dest, n, shift);
        }
        return;
    }
    std::uint16_t* line = lineBuffer_.data();
    api.MbufGet2d(bufferIds_[buffer], first, row, width, 1, line);
    if (useLut) {
        pixels::Lookup16(line, dest, n, lut8_->data());
    } else if (shift > 0) {
        pixels::ShiftSaturate16(line, dest, n, shift);
    } else {
        pixels::LowByte16(line, dest, n);
    }
}

}  // namespace korvane

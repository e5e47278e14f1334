#pragma once
// The library buffer a grab fills and the delivery of its rows as bytes.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "mil/MilApi.h"
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

    // Reads pixels first..last of a row into dest, one byte each. The
    // caller has checked the span against width() and height().
    bool GetRow(std::uint8_t* dest, std::uint32_t row, int first, int last);

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

}  // namespace korvane

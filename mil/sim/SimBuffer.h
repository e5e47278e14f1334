#pragma once
// One image buffer of the simulator: width x height pixels of 8 or 16 bits.
// A grab writes it while other threads read it; each access takes the
// buffer's own lock.
#include <cstdint>
#include <mutex>

#include <string>
#include <vector>
#include "platform/SpinLock.h"

#include "mil/MilApi.h"
#include "mil/sim/SimFrame.h"

namespace korvane::mil::sim {

class SimBuffer {
  public:
    // Throws std::bad_alloc when the pixels do not fit in memory.
    SimBuffer(MilId systemId, int width, int height, int bits);

    MilId SystemId() const { return systemId_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    int Bits() const { return bits_; }

    // Copies the region into dest, rows back to back, one element of the
    // buffer's depth per pixel. A region not wholly inside the buffer, or
    // no dest, is refused (nothing copied); Refusal tells why.
    bool Get(long long x, long long y, long long width, long long height, void* dest) const;
    // Why Get refuses these arguments; empty when it does not.
    std::string Refusal(long long x, long long y, long long width, long long height,
                        const void* dest) const;

    // Writes one simulated frame of the buffer's own size.
    void Render(const FrameView& view);

  private:
    const MilId systemId_;
    const int width_;
    const int height_;
    const int bits_;
    const int elementShift_;            // log2 of the bytes per pixel
    mutable platform::SpinLock mutex_;  // a row read takes it once per call
    std::vector<std::uint8_t> bytes_;   // 8-bit pixels
    std::vector<std::uint16_t> words_;  // 16-bit pixels
    std::uint8_t* pixels_ = nullptr;    // the one of the two in use, as bytes
};

}  // namespace korvane::mil::sim

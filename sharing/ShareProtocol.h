#pragma once
// The camera share's wire format. Every item is one pipe message of 12
// bytes; numbers are 32-bit little-endian.
#include <bit>
#include <cstdint>

namespace korvane {

static_assert(std::endian::native == std::endian::little,
              "the share messages are sent as they lie in memory");

// "RDHS" as bytes 0x52 0x44 0x48 0x53.
inline constexpr std::int32_t kShareMagic = 0x53484452;

// Client to server: asks for the dimensions. Server to client: the
// dimensions follow in a message of their own.
inline constexpr std::int32_t kShareTypeDimensions = 2;
// Server to client: a new image lies in the segment.
inline constexpr std::int32_t kShareTypeFrame = 3;

struct ShareHeader {
    std::int32_t magic;
    std::int32_t type;
    std::int32_t length;  // bytes of the message that follows; 0 when none
};

struct ShareDimensions {
    std::int32_t width;
    std::int32_t height;
    std::int32_t bytesPerPixel;  // always 1
};

static_assert(sizeof(ShareHeader) == 12);
static_assert(sizeof(ShareDimensions) == 12);

}  // namespace korvane

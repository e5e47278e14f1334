#include "sharing/ImageBuffer.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <new>

#include "driver/DriverLog.h"

namespace korvane {

bool ImageBuffer::Allocate(bool colorFlag, int imageWidth, int imageHeight) {
    // Negative sides and sizes past 32 bits are refused like an empty image.
    const std::int64_t bytes =
        static_cast<std::int64_t>(imageWidth) * imageHeight * (colorFlag ? 3 : 1);
    if (imageWidth <= 0 || imageHeight <= 0 || bytes > std::numeric_limits<std::int32_t>::max()) {
        KLOG(kError, "ImageBuffer::Allocate: ERROR: incorrect size %d\n", static_cast<int>(bytes));
        return false;
    }
    const auto wanted = static_cast<std::int32_t>(bytes);
    if (wanted != size) {
        data.reset();
        try {
            // Zeroed: rows a smaller camera image does not reach are published too.
            data = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(wanted));
        } catch (const std::bad_alloc&) {
        }
        size = wanted;
    }
    if (data) {
        width = imageWidth;
        height = imageHeight;
        color = colorFlag;
        return true;
    }
    size = 0;
    KLOG(kError, "ImageBuffer::Allocate: ERROR: could not allocate buffer of required size %d\n",
         static_cast<int>(wanted));
    return false;
}

std::uint8_t* ImageBuffer::GetLine(int index) {
    if (index < 0 || index >= height) {
        KLOG(kError, "ImageBuffer::GetLine: ERROR: line index out of range: %d", index);
        return nullptr;
    }
    if (!data) {
        KLOG(kError,
             "ImageBuffer::GetLine: ERROR: cannot proceed since it finds unallocated buffer\n");
        return nullptr;
    }
    return data.get() + static_cast<std::size_t>(index) * static_cast<std::size_t>(width) *
                            static_cast<std::size_t>(BytesPerPixel());
}

}  // namespace korvane

#include "gstreamer/FrameSource.h"

#include <algorithm>
#include <cstring>

namespace korvane::gst {

bool WritePackedImage(GstBuffer* buffer, const GstVideoInfo& info, const unsigned char* image) {
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, const_cast<GstVideoInfo*>(&info), buffer, GST_MAP_WRITE)) {
        return false;
    }
    const int width = GST_VIDEO_FRAME_WIDTH(&frame);
    const int height = GST_VIDEO_FRAME_HEIGHT(&frame);
    const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
    auto* dest = static_cast<unsigned char*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
    for (int row = 0; row < height; ++row) {
        std::memcpy(dest + static_cast<std::ptrdiff_t>(row) * stride,
                    image + static_cast<std::ptrdiff_t>(row) * width, static_cast<size_t>(width));
    }
    gst_video_frame_unmap(&frame);
    return true;
}

}  // namespace korvane::gst

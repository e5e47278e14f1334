#pragma once
// What one page connection asked the frame stream for, read from its
// query: the encoding, its quality and the most frames per second.
#include <string>

namespace view {

struct StreamFormat {
    bool png = false;
    int quality = 85;
    double maxFps = 0;  // 0: every frame the connection can take

    std::string MimeType() const { return png ? "image/png" : "image/jpeg"; }
    // The name of the encoding in a frame's cache.
    std::string Key() const { return png ? "png" : "jpeg" + std::to_string(quality); }
};

// format: "jpeg" or "png" (empty: jpeg); quality: "1".."100" (empty: the
// default); fps: a number of 0..1000 (empty: 0). False with the reason for
// anything else.
bool ParseStreamFormat(const std::string& format, const std::string& quality,
                       const std::string& fps, int defaultQuality, StreamFormat& out,
                       std::string& error);

// A decimal integer that fills the whole text and fits an int.
bool ParseWholeInt(const std::string& text, int& out);

}  // namespace view

#include "tools/korvane-view/StreamFormat.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace view {

bool ParseWholeInt(const std::string& text, int& out) {
    if (text.empty() || text.size() > 12) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || end != text.c_str() + text.size() || v < -2147483647L || v > 2147483647L) {
        return false;
    }
    out = static_cast<int>(v);
    return true;
}

bool ParseStreamFormat(const std::string& format, const std::string& quality,
                       const std::string& fps, int defaultQuality, StreamFormat& out,
                       std::string& error) {
    StreamFormat f;
    f.quality = defaultQuality;
    if (format == "png") {
        f.png = true;
    } else if (!format.empty() && format != "jpeg") {
        error = "format must be jpeg or png";
        return false;
    }
    if (!quality.empty() &&
        (!ParseWholeInt(quality, f.quality) || f.quality < 1 || f.quality > 100)) {
        error = "quality must be 1..100";
        return false;
    }
    if (!fps.empty()) {
        char* end = nullptr;
        const double v = std::strtod(fps.c_str(), &end);
        if (end != fps.c_str() + fps.size() || !std::isfinite(v) || v < 0 || v > 1000) {
            error = "fps must be a number from 0 to 1000";
            return false;
        }
        f.maxFps = v;
    }
    out = f;
    return true;
}

}  // namespace view

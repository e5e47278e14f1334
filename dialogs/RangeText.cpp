#include "dialogs/RangeText.h"

#include <cstdio>

namespace korvane::dlg {

std::string IntRangeText(const Param<int>& setting) {
    char text[40];
    std::snprintf(text, sizeof text, "[%d ... %d]", setting.minValue, setting.maxValue);
    return text;
}

std::string RealRangeText(const Param<double>& setting) {
    // A double's "%.0f" form can run to 309 digits; size the text to fit.
    const char* format = "[%.0f ... %.0f]";
    const int length = std::snprintf(nullptr, 0, format, setting.minValue, setting.maxValue);
    if (length <= 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, setting.minValue, setting.maxValue);
    text.resize(static_cast<std::size_t>(length));
    return text;
}

}  // namespace korvane::dlg

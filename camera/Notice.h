#pragma once
// Modal notices of the camera layer. Where no person or script can answer
// (no window system, no installed answerer) the notice also goes to the log.
#include <string>

namespace korvane {

int CameraNotice(const std::string& text, const std::string& caption, unsigned flags,
                 void* parentWindow = nullptr);

// "Korvane": the caption of notices that have no caption of their own.
inline constexpr const char* kNoticeCaption = "Korvane";

}  // namespace korvane

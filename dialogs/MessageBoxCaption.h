#pragma once

namespace korvane::dlg {

// The title of the dialogs' message boxes.
inline constexpr const char* kMessageBoxCaption = "Korvane";

}  // namespace korvane::dlg

#pragma once
// Runs a camera's property sheet modally on a working copy of its settings.
#include <string>

namespace korvane {

class CameraSettings;

// True when the user confirmed the sheet with OK (the copy then holds the
// edits); false when the sheet was cancelled or could not be shown.
bool RunCameraPropertySheet(void* parentWindow, const std::string& caption,
                            CameraSettings& workingCopy);

}  // namespace korvane

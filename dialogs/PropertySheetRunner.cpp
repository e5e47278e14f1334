#include "dialogs/PropertySheetRunner.h"

#include "driver/DriverLog.h"

namespace korvane {

bool RunCameraPropertySheet(void* /*parentWindow*/, const std::string& caption,
                            CameraSettings& /*workingCopy*/) {
    // This build has no window toolkit to show the sheet with.
    KLOG(1, "configureCamera: no property dialog is available in this build (%s)\n",
         caption.c_str());
    return false;
}

}  // namespace korvane

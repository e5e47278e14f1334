#include "dialogs/PropertySheetRunner.h"

#include "dialogs/CPropCameraControls.h"
#include "dialogs/CPropFrameGrabber.h"
#include "dialogs/CPropIo.h"
#include "dialogs/CSheet1.h"
#include "dialogs/ViewRegistry.h"
#include "driver/DriverLog.h"

namespace korvane {

bool RunCameraPropertySheet(void* parentWindow, const std::string& caption,
                            CameraSettings& workingCopy) {
    const std::shared_ptr<dlg::DialogView> view = dlg::AcquireDialogView();
    if (!view) {
        KLOG(kError, "configureCamera: no property dialog is available in this build (%s)\n",
             caption.c_str());
        return false;
    }
    dlg::CSheet1 sheet(caption, parentWindow, *view);
    dlg::CPropFrameGrabber frameGrabber(sheet, workingCopy);
    dlg::CPropCameraControls cameraControls(sheet, workingCopy);
    dlg::CPropIo io(sheet, workingCopy);
    sheet.AddPage(frameGrabber);
    sheet.AddPage(cameraControls);
    sheet.AddPage(io);
    return sheet.DoModal() == dlg::kResultOk;
}

}  // namespace korvane

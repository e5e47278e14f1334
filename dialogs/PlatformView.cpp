// The platform's view: the process's dialog script when there is one; else
// real windows on Windows, and nothing on a machine without a window toolkit.
#include <fstream>

#include "dialogs/ScriptedView.h"
#include "dialogs/ViewRegistry.h"
#include "driver/DriverLog.h"
#include "platform/UiNotice.h"
#if defined(_WIN32)
#include "dialogs/win32/Win32View.h"
#endif

namespace korvane::dlg {

std::shared_ptr<DialogView> MakePlatformDialogView() {
    const std::string path = platform::UiScriptPath();
    if (path.empty()) {
#if defined(_WIN32)
        return win32::MakeWin32DialogView();
#else
        return nullptr;
#endif
    }
    if (!std::ifstream(path)) {
        KLOG(kError, "DialogScript: WARNING: cannot read the dialog script %s\n", path.c_str());
        return nullptr;
    }
    KLOG(kProgress, "DialogScript: playing %s\n", path.c_str());
    return std::make_shared<ScriptedView>(std::make_unique<PlatformScriptLines>());
}

}  // namespace korvane::dlg

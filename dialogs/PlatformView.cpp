// The platform's view on a machine without a window toolkit: the process's
// dialog script, when there is one.
#include <fstream>

#include "dialogs/ScriptedView.h"
#include "dialogs/ViewRegistry.h"
#include "driver/DriverLog.h"
#include "platform/UiNotice.h"

namespace korvane::dlg {

std::shared_ptr<DialogView> MakePlatformDialogView() {
    const std::string path = platform::UiScriptPath();
    if (path.empty()) {
        return nullptr;
    }
    if (!std::ifstream(path)) {
        KLOG(1, "DialogScript: WARNING: cannot read the dialog script %s\n", path.c_str());
        return nullptr;
    }
    KLOG(2, "DialogScript: playing %s\n", path.c_str());
    return std::make_shared<ScriptedView>(std::make_unique<PlatformScriptLines>());
}

}  // namespace korvane::dlg

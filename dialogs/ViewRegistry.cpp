#include "dialogs/ViewRegistry.h"

#include <mutex>

namespace korvane::dlg {
namespace {

struct Installed {
    std::mutex mutex;
    std::shared_ptr<DialogView> view;
};
Installed& Registry() {
    static Installed installed;
    return installed;
}

}  // namespace

std::shared_ptr<DialogView> InstallDialogView(std::shared_ptr<DialogView> view) {
    Installed& registry = Registry();
    std::lock_guard lock(registry.mutex);
    std::shared_ptr<DialogView> previous = std::move(registry.view);
    registry.view = std::move(view);
    return previous;
}

std::shared_ptr<DialogView> AcquireDialogView() {
    {
        Installed& registry = Registry();
        std::lock_guard lock(registry.mutex);
        if (registry.view) {
            return registry.view;
        }
    }
    return MakePlatformDialogView();
}

}  // namespace korvane::dlg

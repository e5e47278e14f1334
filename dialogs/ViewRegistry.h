#pragma once
// Which view the dialogs run through: one installed in-process (tests, an
// embedding host), else the one the platform provides. A build with a window
// toolkit provides its windows; a build without one provides the scripted
// view when KORVANE_DIALOG_SCRIPT names a script file, and nothing otherwise.
#include <memory>

#include "dialogs/DialogView.h"

namespace korvane::dlg {

// Installs the view (an empty pointer removes it); answers the previous one.
std::shared_ptr<DialogView> InstallDialogView(std::shared_ptr<DialogView> view);

// The view for the next modal session; null when there is none.
std::shared_ptr<DialogView> AcquireDialogView();

// The platform's own view for one session; null when it has none.
std::shared_ptr<DialogView> MakePlatformDialogView();

}  // namespace korvane::dlg

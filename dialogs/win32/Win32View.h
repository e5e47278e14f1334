#pragma once
// The dialogs' view on Windows: real windows from the resource templates
// (comctl32 property sheet, dialog boxes), the standard file dialogs and
// message boxes. This header needs no Windows header.
#include <memory>

#include "dialogs/DialogView.h"

namespace korvane::dlg::win32 {

// True when this process can show windows: there is a desktop to show them
// on (a service or a session without a display has none).
bool CanShowWindows();

// The windowed view for one session; null when no window can be shown.
std::shared_ptr<DialogView> MakeWin32DialogView();

}  // namespace korvane::dlg::win32

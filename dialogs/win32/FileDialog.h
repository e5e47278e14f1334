#pragma once
// The standard open- and save-file dialogs (GetOpenFileNameA,
// GetSaveFileNameA) for the dialogs' file choosers.
#include <optional>
#include <string>

#include "dialogs/DialogView.h"
#include "dialogs/win32/Win32.h"

namespace korvane::dlg::win32 {

// A filter in the dialogs' form, "Name (*.ext)|*.ext||", as the file dialog
// wants it: the same texts each ended by a zero, the list by a second zero.
std::string SystemFileFilter(const std::string& filter);

// Shows the dialog over the owner; the full path chosen, none on Cancel.
std::optional<std::string> ShowFileDialog(const FileDialogOptions& options, HWND owner);

}  // namespace korvane::dlg::win32

#include "dialogs/win32/FileDialog.h"

#include <vector>

#include "driver/DriverLog.h"

namespace korvane::dlg::win32 {

std::string SystemFileFilter(const std::string& filter) {
    std::string out;
    for (const char ch : filter) {
        out += ch == '|' ? '\0' : ch;
    }
    // Whatever the text ended with, the list ends with two zeros.
    while (out.size() < 2 || out[out.size() - 1] != '\0' || out[out.size() - 2] != '\0') {
        out += '\0';
    }
    return out;
}

std::optional<std::string> ShowFileDialog(const FileDialogOptions& options, HWND owner) {
    // Room for long paths; the initial file name is where the answer goes.
    std::vector<char> path(32768, '\0');
    options.initialFile.copy(path.data(), path.size() - 1);
    const std::string filter = SystemFileFilter(options.filter);

    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = options.filter.empty() ? nullptr : filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrInitialDir =
        options.initialFolder.empty() ? nullptr : options.initialFolder.c_str();
    dialog.lpstrTitle = options.title.empty() ? nullptr : options.title.c_str();
    dialog.lpstrDefExt =
        options.defaultExtension.empty() ? nullptr : options.defaultExtension.c_str();
    // The host's current directory is not the dialogs' to change.
    dialog.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
    if (options.fileMustExist) {
        dialog.Flags |= OFN_FILEMUSTEXIST;
    }
    if (options.hideReadOnly) {
        dialog.Flags |= OFN_HIDEREADONLY;
    }
    if (options.promptOverwrite) {
        dialog.Flags |= OFN_OVERWRITEPROMPT;
    }
    const BOOL chosen = options.save ? ::GetSaveFileNameA(&dialog) : ::GetOpenFileNameA(&dialog);
    if (chosen == FALSE) {
        if (const DWORD error = ::CommDlgExtendedError(); error != 0) {
            KLOG(kError, "FileDialog: ERROR: \"%s\" failed (%lu)\n", options.title.c_str(),
                 static_cast<unsigned long>(error));
        }
        return std::nullopt;
    }
    return std::string(path.data());
}

}  // namespace korvane::dlg::win32

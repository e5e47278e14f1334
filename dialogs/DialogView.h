#pragma once
// What a window toolkit does for the dialogs: show a modal dialog and feed
// the user's input into it, the standard open- and save-file dialogs, and
// message boxes. The dialogs' logic never touches a toolkit directly.
//
// A toolkit view runs a dialog like this: create the windows of the frame
// and of each page from the page's template when the page is created
// (ModalDialog::PageControls turns non-null), set each control from its
// ControlState and keep it in step through ControlModel::SetObserver, call
// Start() once, then turn input into UserTypes / UserClicks / UserSelects /
// ActivatePage until Finished(), and answer Result().
#include <optional>
#include <string>

#include "dialogs/ModalDialog.h"

namespace korvane::dlg {

struct FileDialogOptions {
    bool save = false;  // a save dialog, else an open dialog
    std::string title;
    std::string defaultExtension;
    std::string initialFile;
    std::string initialFolder;
    std::string filter;  // "Name (*.ext)|*.ext||"
    bool fileMustExist = false;
    bool hideReadOnly = false;
    bool promptOverwrite = false;
};

class DialogView {
  public:
    virtual ~DialogView() = default;

    // Shows the dialog modally over the parent window (null: over the dialog
    // running now, or none) and answers its result (kResultOk ...).
    virtual int RunModal(ModalDialog& dialog, void* parentWindow) = 0;

    // The full path the user chose, or none when the dialog was cancelled.
    virtual std::optional<std::string> ChooseFile(const FileDialogOptions& options) = 0;

    // A modal message box; flags and the answer have the Windows values
    // (platform/UiNotice.h).
    virtual int MessageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;
};

}  // namespace korvane::dlg

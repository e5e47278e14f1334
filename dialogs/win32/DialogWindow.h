#pragma once
// A plain modal dialog (the LUT generator) shown with DialogBoxParamA from
// its resource template and kept in step with the dialog's controls. OK,
// Cancel, Enter, Escape and the close box all reach the dialog as clicks;
// the window closes when the dialog has ended.
#include <memory>

#include "dialogs/ModalDialog.h"
#include "dialogs/win32/ControlMirror.h"
#include "dialogs/win32/Win32.h"
#include "dialogs/win32/WindowStack.h"

namespace korvane::dlg::win32 {

class DialogWindow {
  public:
    DialogWindow(ModalDialog& dialog, HWND owner, WindowStack& windows);
    DialogWindow(const DialogWindow&) = delete;
    DialogWindow& operator=(const DialogWindow&) = delete;

    // Shows the dialog until it ends; its result (Cancel when it could not
    // be shown).
    int Run();

  private:
    static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam);

    ModalDialog& dialog_;
    HWND owner_;
    WindowStack& windows_;
    HWND window_ = nullptr;
    std::unique_ptr<ControlMirror> mirror_;
};

}  // namespace korvane::dlg::win32

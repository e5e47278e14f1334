#include "dialogs/win32/DialogWindow.h"

#include <exception>

#include "driver/DriverLog.h"

namespace korvane::dlg::win32 {

DialogWindow::DialogWindow(ModalDialog& dialog, HWND owner, WindowStack& windows)
    : dialog_(dialog), owner_(owner), windows_(windows) {}

int DialogWindow::Run() {
    const INT_PTR shown =
        ::DialogBoxParamA(ThisModule(), MAKEINTRESOURCEA(dialog_.PageTemplate(0).resourceId),
                          owner_, &DialogWindow::Proc, reinterpret_cast<LPARAM>(this));
    mirror_.reset();
    if (shown == -1) {
        KLOG(kError, "Dialog: ERROR: \"%s\" could not be shown (%lu)\n", dialog_.Caption().c_str(),
             static_cast<unsigned long>(::GetLastError()));
    }
    return dialog_.Finished() ? dialog_.Result() : kResultCancel;
}

INT_PTR CALLBACK DialogWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DialogWindow* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<DialogWindow*>(lParam);
        ::SetWindowLongPtrA(window, DWLP_USER, lParam);
        self->window_ = window;
    } else {
        self = reinterpret_cast<DialogWindow*>(::GetWindowLongPtrA(window, DWLP_USER));
    }
    if (self == nullptr) {
        return FALSE;
    }
    // Nothing may unwind through the system's dialog code.
    try {
        return self->OnMessage(message, wParam);
    } catch (const std::exception& e) {
        KLOG(kError, "Dialog: ERROR: %s\n", e.what());
    } catch (...) {
        KLOG(kError, "Dialog: ERROR: unknown exception\n");
    }
    return FALSE;
}

INT_PTR DialogWindow::OnMessage(UINT message, WPARAM wParam) {
    switch (message) {
        case WM_INITDIALOG:
            windows_.Push(window_);
            dialog_.Start();
            mirror_ = std::make_unique<ControlMirror>(window_, dialog_.FrameControls(),
                                                      ControlMirror::Units::Dialog);
            mirror_->Attach();
            return TRUE;
        case WM_COMMAND: {
            const bool handled = mirror_ && mirror_->OnCommand(dialog_, wParam);
            if (dialog_.Finished()) {
                ::EndDialog(window_, dialog_.Result());
            }
            return handled ? TRUE : FALSE;
        }
        case WM_DESTROY:
            mirror_.reset();
            windows_.Remove(window_);
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace korvane::dlg::win32

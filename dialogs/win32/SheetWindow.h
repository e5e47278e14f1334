#pragma once
// A property sheet shown with comctl32's PropertySheetA: one page window per
// page from the resource templates, each kept in step with its page's
// controls once the page exists. The sheet's own initialisation runs once
// comctl32 has laid the frame out, with the frame's real size, so OK and
// Cancel end up in a column at the right and the status bar below.
#include <memory>
#include <vector>

#include "dialogs/ModalDialog.h"
#include "dialogs/win32/ControlMirror.h"
#include "dialogs/win32/Win32.h"
#include "dialogs/win32/WindowStack.h"

namespace korvane::dlg::win32 {

class SheetWindow {
  public:
    SheetWindow(ModalDialog& sheet, HWND owner, WindowStack& windows);
    SheetWindow(const SheetWindow&) = delete;
    SheetWindow& operator=(const SheetWindow&) = delete;

    // Shows the sheet until it closes; the dialog's result (Cancel when the
    // sheet could not be shown).
    int Run();

  private:
    struct Page {
        SheetWindow* sheet = nullptr;
        int index = 0;
        HWND window = nullptr;
        std::unique_ptr<ControlMirror> mirror;
    };

    static int CALLBACK SheetCallback(HWND window, UINT message, LPARAM lParam);
    static INT_PTR CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnPageMessage(Page& page, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnNotify(Page& page, const NMHDR& header);
    void Initialise();
    void CreateStatusBar();
    void Bind(Page& page);

    ModalDialog& sheet_;
    HWND owner_;
    WindowStack& windows_;
    HWND frame_ = nullptr;
    bool initialisePosted_ = false;
    bool started_ = false;
    std::vector<Page> pages_;
    std::unique_ptr<ControlMirror> frameMirror_;
};

}  // namespace korvane::dlg::win32

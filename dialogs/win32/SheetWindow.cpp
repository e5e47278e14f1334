#include "dialogs/win32/SheetWindow.h"

#include <exception>

#include "dialogs/CSheet1.h"
#include "dialogs/ControlIds.h"
#include "driver/DriverLog.h"

namespace korvane::dlg::win32 {
namespace {

// Posted by the first page window as it is created; it arrives once
// comctl32 has finished laying out the frame.
constexpr UINT kInitialiseMessage = WM_APP + 0x4b1;

// comctl32 tells the sheet callback only the frame's window: the sheet
// being created on this thread.
thread_local SheetWindow* creating = nullptr;

RECT ClientRectOf(HWND child, HWND parent) {
    RECT r{};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

}  // namespace

SheetWindow::SheetWindow(ModalDialog& sheet, HWND owner, WindowStack& windows)
    : sheet_(sheet), owner_(owner), windows_(windows) {
    pages_.resize(static_cast<std::size_t>(sheet.PageCount()));
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        pages_[i].sheet = this;
        pages_[i].index = static_cast<int>(i);
    }
}

int SheetWindow::Run() {
    const std::string caption = sheet_.Caption();
    // One page handle each: the sheet owns them from PropertySheetA on.
    std::vector<HPROPSHEETPAGE> pages;
    for (Page& page : pages_) {
        PROPSHEETPAGEA description{};
        description.dwSize = PROPSHEETPAGEA_V1_SIZE;
        description.dwFlags = PSP_DEFAULT;
        description.hInstance = ThisModule();
        description.pszTemplate = MAKEINTRESOURCEA(sheet_.PageTemplate(page.index).resourceId);
        description.pfnDlgProc = &SheetWindow::PageProc;
        description.lParam = reinterpret_cast<LPARAM>(&page);
        if (const HPROPSHEETPAGE handle = ::CreatePropertySheetPageA(&description)) {
            pages.push_back(handle);
        } else {
            for (const HPROPSHEETPAGE made : pages) {
                ::DestroyPropertySheetPage(made);
            }
            KLOG(kError, "CSheet1: ERROR: page %d of \"%s\" could not be made\n", page.index,
                 caption.c_str());
            return kResultCancel;
        }
    }
    PROPSHEETHEADERA header{};
    header.dwSize = PROPSHEETHEADERA_V1_SIZE;
    header.dwFlags = PSH_USECALLBACK;
    header.hwndParent = owner_;
    header.hInstance = ThisModule();
    header.pszCaption = caption.c_str();
    header.nPages = static_cast<UINT>(pages.size());
    header.nStartPage = 0;
    header.phpage = pages.data();
    header.pfnCallback = &SheetWindow::SheetCallback;

    creating = this;
    const INT_PTR shown = ::PropertySheetA(&header);
    creating = nullptr;
    if (frame_ != nullptr) {
        windows_.Remove(frame_);
    }
    for (Page& page : pages_) {
        page.mirror.reset();
    }
    frameMirror_.reset();
    if (shown < 0) {
        KLOG(kError, "CSheet1: ERROR: the property sheet \"%s\" could not be shown (%lu)\n",
             caption.c_str(), static_cast<unsigned long>(::GetLastError()));
    }
    return sheet_.Finished() ? sheet_.Result() : kResultCancel;
}

int CALLBACK SheetWindow::SheetCallback(HWND window, UINT message, LPARAM) {
    if (message == PSCB_INITIALIZED && creating != nullptr) {
        creating->frame_ = window;
        creating->windows_.Push(window);
    }
    return 0;
}

INT_PTR CALLBACK SheetWindow::PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Page* page = nullptr;
    if (message == WM_INITDIALOG) {
        const auto* sheetPage = reinterpret_cast<const PROPSHEETPAGEA*>(lParam);
        page = reinterpret_cast<Page*>(sheetPage->lParam);
        ::SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(page));
        page->window = window;
    } else {
        page = reinterpret_cast<Page*>(::GetWindowLongPtrA(window, DWLP_USER));
    }
    if (page == nullptr) {
        return FALSE;
    }
    // Nothing may unwind through the system's dialog code.
    try {
        return page->sheet->OnPageMessage(*page, message, wParam, lParam);
    } catch (const std::exception& e) {
        KLOG(kError, "CSheet1: ERROR: %s\n", e.what());
    } catch (...) {
        KLOG(kError, "CSheet1: ERROR: unknown exception\n");
    }
    return FALSE;
}

INT_PTR SheetWindow::OnPageMessage(Page& page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            if (!initialisePosted_) {
                initialisePosted_ = true;
                ::PostMessageA(page.window, kInitialiseMessage, 0, 0);
            }
            Bind(page);
            return TRUE;
        case kInitialiseMessage:
            Initialise();
            return TRUE;
        case WM_COMMAND:
            return page.mirror && page.mirror->OnCommand(sheet_, wParam) ? TRUE : FALSE;
        case WM_NOTIFY:
            return OnNotify(page, *reinterpret_cast<const NMHDR*>(lParam));
        case WM_DESTROY:
            page.mirror.reset();
            page.window = nullptr;
            return FALSE;
        default:
            return FALSE;
    }
}

INT_PTR SheetWindow::OnNotify(Page& page, const NMHDR& header) {
    LONG_PTR answer = 0;
    switch (header.code) {
        case PSN_SETACTIVE:
            // Before the sheet's initialisation comctl32 shows the first
            // page; the dialog creates it in Start.
            if (started_) {
                sheet_.ActivatePage(page.index);
                Bind(page);
            }
            break;
        case PSN_KILLACTIVE:
            answer = FALSE;  // the page the user goes to takes over
            break;
        case PSN_APPLY:
            // comctl32 asks every page; the first one presses the dialog's
            // OK, which stores all pages. A refused OK keeps the sheet open.
            if (!sheet_.Finished() && !sheet_.UserClicks(kIdOk)) {
                answer = PSNRET_INVALID_NOCHANGEPAGE;
            } else {
                answer = PSNRET_NOERROR;
            }
            break;
        case PSN_RESET:
            if (!sheet_.Finished()) {
                sheet_.UserClicks(kIdCancel);
            }
            break;
        case PSN_QUERYCANCEL:
            answer = FALSE;
            break;
        default:
            return FALSE;
    }
    ::SetWindowLongPtrA(page.window, DWLP_MSGRESULT, answer);
    return TRUE;
}

void SheetWindow::Initialise() {
    if (started_ || frame_ == nullptr) {
        return;
    }
    started_ = true;
    ControlModel& frame = sheet_.FrameControls();
    auto* cameraSheet = dynamic_cast<CSheet1*>(&sheet_);
    // The sheet's own layout step works on the frame as comctl32 made it.
    RECT outer{};
    ::GetWindowRect(frame_, &outer);
    if (cameraSheet != nullptr) {
        cameraSheet->SetWindowRect({0, 0, outer.right - outer.left, outer.bottom - outer.top});
    }
    for (const int id : frame.Ids()) {
        if (const HWND button = ::GetDlgItem(frame_, id)) {
            const RECT r = ClientRectOf(button, frame_);
            frame.SetRect(id, {r.left, r.top, r.right - r.left, r.bottom - r.top});
        }
    }
    sheet_.Start();
    if (cameraSheet != nullptr) {
        const Rect& size = cameraSheet->WindowRect();
        ::SetWindowPos(frame_, nullptr, 0, 0, size.width, size.height,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    CreateStatusBar();
    frameMirror_ = std::make_unique<ControlMirror>(frame_, frame, ControlMirror::Units::Pixels);
    frameMirror_->Attach();
    for (Page& page : pages_) {
        Bind(page);
    }
}

void SheetWindow::CreateStatusBar() {
    ControlModel& frame = sheet_.FrameControls();
    if (!frame.Has(kIdStatusBar) || ::GetDlgItem(frame_, kIdStatusBar) != nullptr) {
        return;
    }
    const HWND bar = ::CreateWindowExA(
        0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | CCS_BOTTOM, 0, 0, 0, 0, frame_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdStatusBar)), ThisModule(), nullptr);
    if (bar == nullptr) {
        KLOG(kError, "CSheet1: ERROR: no status bar (%lu)\n",
             static_cast<unsigned long>(::GetLastError()));
        return;
    }
    // Down to the bottom edge of the frame's new size.
    ::SendMessageA(bar, WM_SIZE, 0, 0);
}

void SheetWindow::Bind(Page& page) {
    if (!started_ || page.mirror || page.window == nullptr) {
        return;
    }
    if (ControlModel* controls = sheet_.PageControls(page.index)) {
        page.mirror =
            std::make_unique<ControlMirror>(page.window, *controls, ControlMirror::Units::Dialog);
        page.mirror->Attach();
    }
}

}  // namespace korvane::dlg::win32

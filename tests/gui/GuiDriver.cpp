#include "tests/gui/GuiDriver.h"

#include <commctrl.h>
#include <prsht.h>

#include <chrono>
#include <thread>
#include <vector>

namespace korvane::test {
namespace {

// Long enough for a loaded machine under Wine; only a dialog that never
// comes reaches it.
constexpr auto kGiveUp = std::chrono::seconds(60);
constexpr auto kPoll = std::chrono::milliseconds(50);

}  // namespace

bool DisplayAvailable() {
    const HWND probe = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                         ::GetModuleHandleA(nullptr), nullptr);
    if (probe == nullptr) {
        return false;
    }
    ::DestroyWindow(probe);
    return true;
}

bool GuiDriver::WaitUntil(const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + kGiveUp;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) {
            return true;
        }
        if (hostReturned_.load()) {
            return condition();
        }
        std::this_thread::sleep_for(kPoll);
    }
    return false;
}

HWND GuiDriver::WaitForDialog(const std::string& title) {
    HWND found = nullptr;
    WaitUntil([&] {
        found = ::FindWindowA("#32770", title.c_str());
        return found != nullptr && ::IsWindowVisible(found) != FALSE;
    });
    return found;
}

HWND GuiDriver::CurrentPage(HWND sheet) {
    return reinterpret_cast<HWND>(::SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

bool GuiDriver::SelectPage(HWND sheet, int index) {
    ::SendMessageA(sheet, PSM_SETCURSEL, static_cast<WPARAM>(index), 0);
    // The message's answer is not the same on every system: ask which page
    // is in front now.
    const HWND page = CurrentPage(sheet);
    return page != nullptr &&
           ::SendMessageA(sheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0) == index;
}

void GuiDriver::Type(HWND dialog, int id, const std::string& text) {
    ::SetDlgItemTextA(dialog, id, text.c_str());
}

void GuiDriver::Click(HWND dialog, int id) {
    ::SendMessageA(::GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void GuiDriver::ClickLater(HWND dialog, int id) {
    ::PostMessageA(::GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void GuiDriver::Select(HWND dialog, int id, int index) {
    const HWND combo = ::GetDlgItem(dialog, id);
    ::SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    // Setting the selection by message tells no one; a pick from the list
    // notifies the dialog.
    ::SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(combo));
}

void GuiDriver::PressSheetButton(HWND sheet, int button) {
    ::PostMessageA(sheet, PSM_PRESSBUTTON, static_cast<WPARAM>(button), 0);
}

std::string GuiDriver::Text(HWND dialog, int id) {
    std::vector<char> text(1024, '\0');
    ::GetDlgItemTextA(dialog, id, text.data(), static_cast<int>(text.size()));
    return text.data();
}

std::string GuiDriver::StatusText(HWND sheet) {
    const HWND bar = ::FindWindowExA(sheet, nullptr, STATUSCLASSNAMEA, nullptr);
    if (bar == nullptr) {
        return "(no status bar)";
    }
    const LRESULT length = ::SendMessageA(bar, SB_GETTEXTLENGTHA, 0, 0);
    std::vector<char> text(static_cast<std::size_t>(LOWORD(length)) + 1, '\0');
    ::SendMessageA(bar, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text.data()));
    return text.data();
}

bool GuiDriver::Enabled(HWND dialog, int id) {
    return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE;
}

bool GuiDriver::Checked(HWND dialog, int id) {
    return ::SendMessageA(::GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool GuiDriver::Visible(HWND dialog, int id) {
    return (::GetWindowLongPtrA(::GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

RECT GuiDriver::ClientRect(HWND dialog, int id) {
    RECT r{};
    ::GetWindowRect(::GetDlgItem(dialog, id), &r);
    ::MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

}  // namespace korvane::test

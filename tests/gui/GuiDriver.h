#pragma once
// A stand-in user for the driver's real windows: runs on a thread of its
// own while the test's main thread sits in configureCamera, finds the
// dialogs by title and works their controls with the messages a mouse or
// keyboard would cause. Waits give up after a generous limit, so a dialog
// that never comes cannot hang the test.
#include <atomic>
#include <functional>
#include <string>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace korvane::test {

// True when this process can create a window (a display is there).
bool DisplayAvailable();

class GuiDriver {
  public:
    // `hostReturned` turns true when the call that shows the dialogs has
    // returned: nothing is left to wait for then.
    explicit GuiDriver(const std::atomic<bool>& hostReturned) : hostReturned_(hostReturned) {}

    // Polls until the condition holds; false when the host call returned or
    // the limit passed first.
    bool WaitUntil(const std::function<bool()>& condition);
    // A dialog (top-level, class "#32770") with exactly this title; null
    // when none came.
    HWND WaitForDialog(const std::string& title);
    // The page in front of a property sheet; null when there is none.
    static HWND CurrentPage(HWND sheet);
    // Brings a page to the front as a click on its tab does.
    static bool SelectPage(HWND sheet, int index);
    // Replaces an edit's text (one change notification, as a paste would).
    static void Type(HWND dialog, int id, const std::string& text);
    // Clicks a button and waits until the click has been handled.
    static void Click(HWND dialog, int id);
    // Clicks a button without waiting: for a button that opens a modal
    // dialog, whose loop would hold a waiting caller.
    static void ClickLater(HWND dialog, int id);
    // Chooses a combo box item as picking it from the list does.
    static void Select(HWND dialog, int id, int index);
    // Presses the sheet's OK or Cancel without waiting.
    static void PressSheetButton(HWND sheet, int button);

    static std::string Text(HWND dialog, int id);
    static std::string StatusText(HWND sheet);
    static bool Enabled(HWND dialog, int id);
    static bool Checked(HWND dialog, int id);
    static bool Visible(HWND dialog, int id);
    // The control's rectangle in its dialog's client coordinates.
    static RECT ClientRect(HWND dialog, int id);

  private:
    const std::atomic<bool>& hostReturned_;
};

}  // namespace korvane::test

#include "dialogs/win32/Win32View.h"

#include <cstdio>

#include "dialogs/win32/DialogWindow.h"
#include "dialogs/win32/FileDialog.h"
#include "dialogs/win32/SheetWindow.h"
#include "dialogs/win32/Win32.h"
#include "dialogs/win32/WindowStack.h"
#include "platform/UiNotice.h"

namespace korvane::dlg::win32 {
namespace {

class Win32View : public DialogView {
  public:
    Win32View() {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_TAB_CLASSES};
        ::InitCommonControlsEx(&controls);
    }

    int RunModal(ModalDialog& dialog, void* parentWindow) override {
        const HWND owner =
            parentWindow != nullptr ? static_cast<HWND>(parentWindow) : windows_.Top();
        if (dialog.IsPropertySheet()) {
            return SheetWindow(dialog, owner, windows_).Run();
        }
        return DialogWindow(dialog, owner, windows_).Run();
    }

    std::optional<std::string> ChooseFile(const FileDialogOptions& options) override {
        return ShowFileDialog(options, windows_.Top());
    }

    int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override {
        const HWND owner = windows_.Top();
        const int answer = ::MessageBoxA(owner, text.c_str(), caption.c_str(),
                                         flags | (owner == nullptr ? MB_TASKMODAL : 0u));
        if (answer != 0) {
            return answer;
        }
        std::fprintf(stderr, "Korvane notice (%s): %s\n", caption.c_str(), text.c_str());
        return platform::kAnswerOk;
    }

  private:
    WindowStack windows_;
};

}  // namespace

bool CanShowWindows() {
    // Without a display the window cannot be made; nothing is shown either
    // way (no WS_VISIBLE).
    const HWND probe = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                         ThisModule(), nullptr);
    if (probe == nullptr) {
        return false;
    }
    ::DestroyWindow(probe);
    return true;
}

std::shared_ptr<DialogView> MakeWin32DialogView() {
    if (!CanShowWindows()) {
        return nullptr;
    }
    return std::make_shared<Win32View>();
}

}  // namespace korvane::dlg::win32

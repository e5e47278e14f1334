#pragma once
// The dialog windows a view has open, innermost last: a message box, a file
// dialog or a nested dialog is owned by the innermost one.
#include <algorithm>
#include <vector>

#include "dialogs/win32/Win32.h"

namespace korvane::dlg::win32 {

class WindowStack {
  public:
    // The innermost open window, null when none is.
    HWND Top() const { return windows_.empty() ? nullptr : windows_.back(); }
    void Push(HWND window) { windows_.push_back(window); }
    void Remove(HWND window) {
        windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
    }

  private:
    std::vector<HWND> windows_;
};

}  // namespace korvane::dlg::win32

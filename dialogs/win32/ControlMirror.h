#pragma once
// Keeps the child windows of one dialog window in step with a control model
// (text, check state, combo items and selection, read-only, enabled,
// visible, position) and turns the notifications those windows send into
// the user's input on the dialog. The model decides: input it refuses is
// undone in the window at once.
#include <map>
#include <string>
#include <vector>

#include "dialogs/ControlModel.h"
#include "dialogs/ModalDialog.h"
#include "dialogs/win32/Win32.h"

namespace korvane::dlg::win32 {

class ControlMirror {
  public:
    // What the model's rectangles are measured in: the dialog units of a
    // template, or the pixels of the sheet's own frame.
    enum class Units { Dialog, Pixels };

    ControlMirror(HWND parent, ControlModel& model, Units units);
    ~ControlMirror();
    ControlMirror(const ControlMirror&) = delete;
    ControlMirror& operator=(const ControlMirror&) = delete;

    // Writes every control's state into its window and follows the model's
    // changes from then on, until destroyed.
    void Attach();
    // Writes one control's state into its window.
    void Sync(int id);
    // A WM_COMMAND from a child of the parent window. Answers true when it
    // came from one of the model's controls (and was passed on as input).
    bool OnCommand(ModalDialog& dialog, WPARAM wParam);

  private:
    void Apply(const ControlState& state);
    void ApplyText(HWND window, const ControlState& state);
    void ApplyCombo(HWND window, const ControlState& state);
    void ApplyRect(HWND window, const ControlState& state);

    HWND parent_;
    ControlModel& model_;
    Units units_;
    bool attached_ = false;
    // Above zero while the mirror itself changes a window: the notifications
    // that causes are not the user's.
    int applying_ = 0;
    // What each combo box was last filled with.
    std::map<int, std::vector<std::string>> comboItems_;
    // The rectangle each window was last placed at (model units).
    std::map<int, Rect> rects_;
};

}  // namespace korvane::dlg::win32

#include "dialogs/win32/ControlMirror.h"

namespace korvane::dlg::win32 {
namespace {

class Applying {
  public:
    explicit Applying(int& count) : count_(count) { ++count_; }
    ~Applying() { --count_; }
    Applying(const Applying&) = delete;
    Applying& operator=(const Applying&) = delete;

  private:
    int& count_;
};

bool HasStyle(HWND window, LONG_PTR style) {
    return (::GetWindowLongPtrA(window, GWL_STYLE) & style) != 0;
}

// The edit part of a drop-down combo box.
HWND ComboEdit(HWND combo) {
    return ::FindWindowExA(combo, nullptr, "Edit", nullptr);
}

}  // namespace

ControlMirror::ControlMirror(HWND parent, ControlModel& model, Units units)
    : parent_(parent), model_(model), units_(units) {}

ControlMirror::~ControlMirror() {
    if (attached_) {
        model_.SetObserver(nullptr);
    }
}

void ControlMirror::Attach() {
    if (units_ == Units::Dialog) {
        // The template placed the windows where the model starts.
        for (const int id : model_.Ids()) {
            rects_[id] = model_.Get(id).rect;
        }
    }
    for (const int id : model_.Ids()) {
        Sync(id);
    }
    model_.SetObserver([this](const ControlState& state) { Apply(state); });
    attached_ = true;
}

void ControlMirror::Sync(int id) {
    if (model_.Has(id)) {
        Apply(model_.Get(id));
    }
}

void ControlMirror::Apply(const ControlState& state) {
    const HWND window = ::GetDlgItem(parent_, state.id);
    if (window == nullptr) {
        return;
    }
    Applying applying(applying_);
    switch (state.kind) {
        case ControlKind::ComboBox:
            ApplyCombo(window, state);
            break;
        case ControlKind::StatusBar:
            // Part 0 is the whole bar. The bar aligns itself to the bottom of
            // the sheet, so its rectangle is left to it.
            ::SendMessageA(window, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(state.text.c_str()));
            break;
        default:
            ApplyText(window, state);
            break;
    }
    if (state.kind == ControlKind::CheckBox) {
        const WPARAM check = state.checked ? BST_CHECKED : BST_UNCHECKED;
        if (static_cast<WPARAM>(::SendMessageA(window, BM_GETCHECK, 0, 0)) != check) {
            ::SendMessageA(window, BM_SETCHECK, check, 0);
        }
    }
    if (state.kind == ControlKind::Edit && HasStyle(window, ES_READONLY) != state.readOnly) {
        ::SendMessageA(window, EM_SETREADONLY, state.readOnly ? TRUE : FALSE, 0);
    }
    if ((::IsWindowEnabled(window) != FALSE) != state.enabled) {
        ::EnableWindow(window, state.enabled ? TRUE : FALSE);
    }
    if (HasStyle(window, WS_VISIBLE) != state.visible) {
        ::ShowWindow(window, state.visible ? SW_SHOWNA : SW_HIDE);
    }
    if (state.kind != ControlKind::StatusBar) {
        ApplyRect(window, state);
    }
}

void ControlMirror::ApplyText(HWND window, const ControlState& state) {
    if (WindowText(window) != state.text) {
        ::SetWindowTextA(window, state.text.c_str());
    }
}

void ControlMirror::ApplyCombo(HWND window, const ControlState& state) {
    std::vector<std::string>& shown = comboItems_[state.id];
    if (shown != state.items) {
        ::SendMessageA(window, CB_RESETCONTENT, 0, 0);
        for (const std::string& item : state.items) {
            ::SendMessageA(window, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
        }
        shown = state.items;
    }
    if (static_cast<int>(::SendMessageA(window, CB_GETCURSEL, 0, 0)) != state.selection) {
        ::SendMessageA(window, CB_SETCURSEL, static_cast<WPARAM>(state.selection), 0);
    }
    if (const HWND edit = ComboEdit(window)) {
        if (HasStyle(edit, ES_READONLY) != state.readOnly) {
            ::SendMessageA(edit, EM_SETREADONLY, state.readOnly ? TRUE : FALSE, 0);
        }
        if (state.selection < 0 && WindowText(edit) != state.text) {
            ::SetWindowTextA(edit, state.text.c_str());
        }
    }
}

void ControlMirror::ApplyRect(HWND window, const ControlState& state) {
    const auto placed = rects_.find(state.id);
    if (placed != rects_.end() && placed->second == state.rect) {
        return;
    }
    RECT r{state.rect.x, state.rect.y, state.rect.Right(), state.rect.Bottom()};
    if (state.kind == ControlKind::ComboBox) {
        // A combo box's window includes its drop-down list.
        r.bottom += kComboDropHeight;
    }
    if (units_ == Units::Dialog) {
        ::MapDialogRect(parent_, &r);
    }
    ::SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    rects_[state.id] = state.rect;
}

bool ControlMirror::OnCommand(ModalDialog& dialog, WPARAM wParam) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (applying_ > 0 || !model_.Has(id)) {
        return false;
    }
    const HWND window = ::GetDlgItem(parent_, id);
    const ControlState& state = model_.Get(id);
    switch (state.kind) {
        case ControlKind::Edit:
            if (code == EN_CHANGE && window != nullptr) {
                const std::string text = WindowText(window);
                if (text != state.text && !dialog.UserTypes(id, text)) {
                    Sync(id);
                }
            }
            return true;
        case ControlKind::PushButton:
        case ControlKind::DefPushButton:
        case ControlKind::CheckBox:
            if (code == BN_CLICKED) {
                dialog.UserClicks(id);
                // A check box the model did not toggle is put back.
                Sync(id);
            }
            return true;
        case ControlKind::ComboBox:
            if (code == CBN_SELCHANGE && window != nullptr) {
                const int index = static_cast<int>(::SendMessageA(window, CB_GETCURSEL, 0, 0));
                if (!dialog.UserSelects(id, index)) {
                    Sync(id);
                }
            }
            return true;
        default:
            return false;
    }
}

}  // namespace korvane::dlg::win32

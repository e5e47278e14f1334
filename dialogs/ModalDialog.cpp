#include "dialogs/ModalDialog.h"

namespace korvane::dlg {

bool ModalDialog::UserTypes(int id, const std::string& text) {
    ControlModel* controls = finished_ ? nullptr : EventTarget(id);
    if (controls == nullptr) {
        return false;
    }
    const ControlState& control = controls->Get(id);
    if (control.kind != ControlKind::Edit || !control.visible || !control.enabled ||
        control.readOnly) {
        return false;
    }
    controls->SetText(id, text);
    OnTextChanged(id);
    return true;
}

bool ModalDialog::UserClicks(int id) {
    ControlModel* controls = finished_ ? nullptr : EventTarget(id);
    if (controls == nullptr) {
        return false;
    }
    const ControlState& control = controls->Get(id);
    const bool clickable = control.kind == ControlKind::PushButton ||
                           control.kind == ControlKind::DefPushButton ||
                           control.kind == ControlKind::CheckBox;
    if (!clickable || !control.visible || !control.enabled) {
        return false;
    }
    if (control.kind == ControlKind::CheckBox) {
        controls->SetChecked(id, !control.checked);
    }
    OnClicked(id);
    return true;
}

bool ModalDialog::UserSelects(int id, int index) {
    ControlModel* controls = finished_ ? nullptr : EventTarget(id);
    if (controls == nullptr) {
        return false;
    }
    const ControlState& control = controls->Get(id);
    if (control.kind != ControlKind::ComboBox || !control.visible || !control.enabled ||
        index < 0 || index >= static_cast<int>(control.items.size())) {
        return false;
    }
    controls->ComboSetCurSel(id, index);
    return true;
}

void ModalDialog::EndDialog(int result) {
    finished_ = true;
    result_ = result;
}

}  // namespace korvane::dlg

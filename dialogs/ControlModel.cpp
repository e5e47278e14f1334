#include "dialogs/ControlModel.h"

#include <stdexcept>

namespace korvane::dlg {

ControlModel::ControlModel(const DialogTemplate& dialog) {
    for (const ControlTemplate& control : dialog.controls) {
        if (control.id < 0) {
            continue;
        }
        ControlState state;
        state.id = control.id;
        state.kind = control.kind;
        state.text = control.text;
        state.readOnly = control.readOnly;
        state.rect = control.rect;
        Add(std::move(state));
    }
}

void ControlModel::Add(ControlState control) {
    const int id = control.id;
    controls_[id] = std::move(control);
}

namespace {
[[noreturn]] void NoSuchControl(int id) {
    throw std::out_of_range("no control with id " + std::to_string(id));
}
}  // namespace

const ControlState& ControlModel::Get(int id) const {
    const auto it = controls_.find(id);
    if (it == controls_.end()) {
        NoSuchControl(id);
    }
    return it->second;
}

ControlState& ControlModel::Mutable(int id) {
    const auto it = controls_.find(id);
    if (it == controls_.end()) {
        NoSuchControl(id);
    }
    return it->second;
}

std::vector<int> ControlModel::Ids() const {
    std::vector<int> ids;
    ids.reserve(controls_.size());
    for (const auto& entry : controls_) {
        ids.push_back(entry.first);
    }
    return ids;
}

void ControlModel::Changed(const ControlState& control) const {
    if (observer_) {
        observer_(control);
    }
}

void ControlModel::SetEnabled(int id, bool enabled) {
    ControlState& control = Mutable(id);
    if (control.enabled != enabled) {
        control.enabled = enabled;
        Changed(control);
    }
}

void ControlModel::SetVisible(int id, bool visible) {
    ControlState& control = Mutable(id);
    if (control.visible != visible) {
        control.visible = visible;
        Changed(control);
    }
}

void ControlModel::SetChecked(int id, bool checked) {
    ControlState& control = Mutable(id);
    if (control.checked != checked) {
        control.checked = checked;
        Changed(control);
    }
}

void ControlModel::SetReadOnly(int id, bool readOnly) {
    ControlState& control = Mutable(id);
    if (control.readOnly != readOnly) {
        control.readOnly = readOnly;
        Changed(control);
    }
}

void ControlModel::SetRect(int id, const Rect& rect) {
    ControlState& control = Mutable(id);
    if (!(control.rect == rect)) {
        control.rect = rect;
        Changed(control);
    }
}

void ControlModel::SetText(int id, const std::string& text) {
    ControlState& control = Mutable(id);
    if (control.text != text) {
        control.text = text;
        Changed(control);
    }
}

void ControlModel::ComboReset(int id) {
    ControlState& control = Mutable(id);
    control.items.clear();
    control.selection = -1;
    control.text.clear();
    Changed(control);
}

void ControlModel::ComboAddString(int id, const std::string& text) {
    ControlState& control = Mutable(id);
    control.items.push_back(text);
    Changed(control);
}

void ControlModel::ComboSetCurSel(int id, int index) {
    ControlState& control = Mutable(id);
    const int count = static_cast<int>(control.items.size());
    control.selection = index >= 0 && index < count ? index : -1;
    // The edit part of a drop-down combo shows the selected item.
    control.text = control.selection >= 0
                       ? control.items[static_cast<std::size_t>(control.selection)]
                       : std::string();
    Changed(control);
}

std::string ControlModel::ComboGetItemText(int id, int index) const {
    const ControlState& control = Get(id);
    if (index < 0 || index >= static_cast<int>(control.items.size())) {
        return {};
    }
    return control.items[static_cast<std::size_t>(index)];
}

void DdxCheck(ControlModel& controls, Exchange direction, int id, int& value) {
    if (direction == Exchange::Load) {
        controls.SetChecked(id, value != 0);
    } else {
        value = controls.IsChecked(id) ? 1 : 0;
    }
}

}  // namespace korvane::dlg

#include "settings/DialogExchange.h"

#include "settings/TextNumbers.h"

namespace korvane {

void DdxParamInt(DialogControls& controls, Exchange direction, int id, int& value) {
    if (direction == Exchange::Load) {
        controls.SetText(id, std::to_string(value));
    } else {
        value = ParseLeadingInt(controls.GetText(id));
    }
}

void DdxParamDouble(DialogControls& controls, Exchange direction, int id, double& value) {
    if (direction == Exchange::Load) {
        controls.SetText(id, FormatReal(value, 15));
    } else {
        value = ParseLeadingReal(controls.GetText(id));
    }
}

void DdxParamString(DialogControls& controls, Exchange direction, int id, std::string& value) {
    if (direction == Exchange::Load) {
        controls.SetText(id, value);
    } else {
        value = controls.GetText(id);
    }
}

void FillEnumCombo(DialogControls& controls, int id, const ParamEnum& setting) {
    controls.ComboReset(id);
    int selected = -1;
    for (std::size_t i = 0; i < setting.labels.size(); ++i) {
        controls.ComboAddString(id, setting.labels[i]);
        if (setting.labels[i] == setting.value) {
            selected = static_cast<int>(i);
        }
    }
    controls.ComboSetCurSel(id, selected);
    controls.ComboSetEditReadOnly(id, true);
}

void ReadEnumCombo(const DialogControls& controls, int id, std::string& text) {
    const int selected = controls.ComboGetCurSel(id);
    if (selected >= 0 && selected < controls.ComboGetCount(id)) {
        text = controls.ComboGetItemText(id, selected);
    } else {
        text = "None";
    }
}

}  // namespace korvane

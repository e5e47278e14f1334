#pragma once
// The state of a dialog's controls as the user sees it, kept apart from any
// window toolkit: text, enabled, visible, checked and read-only state, combo
// items and selection, and position. Page logic reads and writes only this
// model; a view mirrors it into real windows (or a script plays against it).
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "dialogs/DialogTemplate.h"
#include "settings/DialogExchange.h"

namespace korvane::dlg {

struct ControlState {
    int id = 0;
    ControlKind kind = ControlKind::Static;
    std::string text;
    bool enabled = true;
    bool visible = true;
    bool checked = false;
    bool readOnly = false;
    std::vector<std::string> items;  // combo boxes
    int selection = -1;              // combo boxes; -1 is no selection
    Rect rect;
};

class ControlModel : public DialogControls {
  public:
    // Told about every change of a control (a view refreshes its window).
    using Observer = std::function<void(const ControlState&)>;

    ControlModel() = default;
    // One state per control of the template that has an identifier.
    explicit ControlModel(const DialogTemplate& dialog);

    void Add(ControlState control);
    bool Has(int id) const { return controls_.count(id) != 0; }
    // The control's state; throws std::out_of_range for an unknown id.
    const ControlState& Get(int id) const;
    std::vector<int> Ids() const;

    void SetObserver(Observer observer) { observer_ = std::move(observer); }

    void SetEnabled(int id, bool enabled);
    bool IsEnabled(int id) const { return Get(id).enabled; }
    void SetVisible(int id, bool visible);
    bool IsVisible(int id) const { return Get(id).visible; }
    void SetChecked(int id, bool checked);
    bool IsChecked(int id) const { return Get(id).checked; }
    void SetReadOnly(int id, bool readOnly);
    bool IsReadOnly(int id) const { return Get(id).readOnly; }
    void SetRect(int id, const Rect& rect);

    // DialogControls
    std::string GetText(int id) const override { return Get(id).text; }
    void SetText(int id, const std::string& text) override;
    void ComboReset(int id) override;
    void ComboAddString(int id, const std::string& text) override;
    int ComboGetCount(int id) const override { return static_cast<int>(Get(id).items.size()); }
    void ComboSetCurSel(int id, int index) override;
    int ComboGetCurSel(int id) const override { return Get(id).selection; }
    std::string ComboGetItemText(int id, int index) const override;
    void ComboSetEditReadOnly(int id, bool readOnly) override { SetReadOnly(id, readOnly); }

  private:
    ControlState& Mutable(int id);
    void Changed(const ControlState& control) const;

    std::map<int, ControlState> controls_;
    Observer observer_;
};

// The framework's check-box exchange: loading checks the box when the value
// is non-zero, saving stores 1 for a checked box and 0 otherwise.
void DdxCheck(ControlModel& controls, Exchange direction, int id, int& value);

}  // namespace korvane::dlg

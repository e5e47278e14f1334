#pragma once
// The one way dialog pages move values between a setting and a control.
// Pages implement DialogControls over their own control model (a real
// window toolkit or a headless one for tests); the exchange functions only
// need the few operations below.
#include <string>

#include "settings/Param.h"

namespace korvane {

// Direction of one exchange, as a page runs it: Load fills the controls from
// the settings, Save reads the controls back into the settings.
enum class Exchange { Load, Save };

// The controls of one dialog page, addressed by their control identifiers.
// Combo operations use the page's drop-down combo boxes; an index is 0-based
// and -1 means "no item".
class DialogControls {
  public:
    virtual ~DialogControls() = default;

    // Text of an edit (or any text-bearing control).
    virtual std::string GetText(int id) const = 0;
    virtual void SetText(int id, const std::string& text) = 0;

    // Removes every item and the selection.
    virtual void ComboReset(int id) = 0;
    // Appends one item at the end of the list.
    virtual void ComboAddString(int id, const std::string& text) = 0;
    virtual int ComboGetCount(int id) const = 0;
    // Selects the item (-1 clears the selection).
    virtual void ComboSetCurSel(int id, int index) = 0;
    // The selected index, or -1 when nothing is selected.
    virtual int ComboGetCurSel(int id) const = 0;
    // Text of the item at index; only called with 0 <= index < count.
    virtual std::string ComboGetItemText(int id, int index) const = 0;
    // Makes the combo's edit field read-only so only list items can be chosen.
    virtual void ComboSetEditReadOnly(int id, bool readOnly) = 0;
};

// Integers load as "%d"; saving takes the text's leading integer (no number
// gives 0). Saving never refuses a text: range checks belong to the page.
void DdxParamInt(DialogControls& controls, Exchange direction, int id, int& value);

// Reals load with 15 significant digits ("%.15g"), so a loaded text reads
// back as the same value; saving takes the leading real (no number gives 0).
void DdxParamDouble(DialogControls& controls, Exchange direction, int id, double& value);

// Texts go across unchanged.
void DdxParamString(DialogControls& controls, Exchange direction, int id, std::string& value);

// Refills the combo with the setting's labels in order and selects the last
// label equal to the value (none when no label is); then makes the combo's
// edit field read-only.
void FillEnumCombo(DialogControls& controls, int id, const ParamEnum& setting);

// Stores the selected item's text, or "None" when nothing valid is selected.
void ReadEnumCombo(const DialogControls& controls, int id, std::string& text);

}  // namespace korvane

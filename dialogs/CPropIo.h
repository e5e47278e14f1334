#pragma once
// Page "Input/Output": input debounce times, output signals and the strobe.
// It does not take part in the sheet's sibling query, so its values are
// checked only when one of its own edits changes.
#include "dialogs/PropertyPage.h"

namespace korvane::dlg {

class CPropIo : public PropertyPage {
  public:
    CPropIo(CSheet1& sheet, CameraSettings& settings);

    void OnOK() override;
    void OnTextChanged(int id) override;
    void OnClicked(int) override {}
    bool Validate() override;

  protected:
    void OnInitDialog() override;
    void DoDataExchange(Exchange direction) override;
    void StoreValidity(bool valid) override;
};

}  // namespace korvane::dlg

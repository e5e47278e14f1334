#pragma once
// Page "Exposure/Trigger": exposure time and delay, trigger switch, source
// and mode.
#include "dialogs/PropertyPage.h"

namespace korvane::dlg {

class CPropCameraControls : public PropertyPage {
  public:
    CPropCameraControls(CSheet1& sheet, CameraSettings& settings);

    void OnOK() override;
    std::intptr_t OnQuerySiblings(std::intptr_t wParam, std::intptr_t lParam) override;
    void OnTextChanged(int id) override;
    void OnClicked(int id) override;
    bool Validate() override;

    void UpdateControls();

  protected:
    void OnInitDialog() override;
    void DoDataExchange(Exchange direction) override;
    void StoreValidity(bool valid) override;
};

}  // namespace korvane::dlg

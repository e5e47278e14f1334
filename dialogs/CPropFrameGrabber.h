#pragma once
// Page "FrameGrabber Settings": DCF file, region of interest, flips, gain,
// look-up table, log level and sharing.
#include <string>

#include "dialogs/PropertyPage.h"

namespace korvane::dlg {

class CPropFrameGrabber : public PropertyPage {
  public:
    CPropFrameGrabber(CSheet1& sheet, CameraSettings& settings);

    void OnOK() override;
    std::intptr_t OnQuerySiblings(std::intptr_t wParam, std::intptr_t lParam) override;
    void OnTextChanged(int id) override;
    void OnClicked(int id) override;
    bool Validate() override;

    void UpdateControls();
    void FillLutColumns();
    void ChooseDcfFile();
    void ChooseLutFile();

    // The DCF choice the page was initialised with.
    const std::string& DcfAtOpen() const { return dcfAtOpen_; }
    int DefaultDcfAtOpen() const { return defaultDcfAtOpen_; }

  protected:
    void OnInitDialog() override;
    void DoDataExchange(Exchange direction) override;
    void StoreValidity(bool valid) override;
    void OnSettingChanged() override;

  private:
    // needsReset after the DCF choice changed: the file differs from the one
    // at open (compared as stored text), or else the default switch does.
    void UpdateNeedsReset(const std::string& dcfFile);
    void GenerateLut();

    std::string dcfAtOpen_;
    int defaultDcfAtOpen_ = 0;
    std::string offsetXRange_;
    std::string offsetYRange_;
    std::string widthRange_;
    std::string heightRange_;
    std::string gainRange_;
};

}  // namespace korvane::dlg

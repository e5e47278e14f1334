#pragma once
// The LUT generator dialog: three inputs of the logarithmic curve, checked as
// they are typed, and on OK a save-file dialog that writes the curve as a LUT
// file. Typed values reach the edited settings at once; Cancel keeps them.
#include "dialogs/DialogView.h"
#include "dialogs/ModalDialog.h"
#include "settings/CameraSettings.h"

namespace korvane::dlg {

class DlgGenerateLUT : public ModalDialog {
  public:
    DlgGenerateLUT(CameraSettings& settings, DialogView& view);

    // Runs modally through the view; kResultOk or kResultCancel.
    int DoModal(void* parentWindow = nullptr);

    ControlModel& Controls() { return controls_; }

    // ModalDialog
    std::string Caption() const override;
    bool IsPropertySheet() const override { return false; }
    int PageCount() const override { return 1; }
    const DialogTemplate& PageTemplate(int page) const override;
    ControlModel* PageControls(int page) override { return page == 0 ? &controls_ : nullptr; }
    ControlModel& FrameControls() override { return controls_; }
    int ActivePage() const override { return 0; }
    void Start() override;
    bool ActivatePage(int page) override { return page == 0 && !Finished(); }

  protected:
    ControlModel* EventTarget(int id) override;
    void OnTextChanged(int id) override;
    void OnClicked(int id) override;

  private:
    void OnInitDialog();
    void DoDataExchange(Exchange direction);
    void OnRangeEditChange();
    void UpdateRangeState();
    void GenerateLutFile();

    CameraSettings& settings_;
    DialogView& view_;
    ControlModel controls_;
    bool started_ = false;
};

}  // namespace korvane::dlg

#pragma once
// The camera property sheet: the pages on tabs, OK and Cancel in a column at
// the right edge, and a status bar that tells why OK is disabled or that the
// cameras must be reset. OK is enabled exactly while the frame-grabber page
// and the other pages last checked valid; the exposure/trigger page and the
// input/output page share one flag, so the last of them to check decides.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dialogs/ControlIds.h"
#include "dialogs/DialogView.h"
#include "dialogs/ModalDialog.h"
#include "dialogs/PropertyPage.h"

namespace korvane::dlg {

class CSheet1 : public ModalDialog {
  public:
    static constexpr const char* kResetNotice =
        "Please close this dialog, reset all cameras and reopen properties dialog to continue "
        "configuration";
    static constexpr std::size_t kMaxStatusLength = 254;
    static constexpr int kStatusBarHeight = 20;

    CSheet1(std::string caption, void* parentWindow, DialogView& view);

    // Pages in tab order; they must outlive the sheet's run.
    void AddPage(PropertyPage& page);
    // Runs the sheet modally through the view; kResultOk or kResultCancel.
    int DoModal();

    DialogView& View() { return view_; }
    void* ParentWindow() const { return parentWindow_; }
    PropertyPage& Page(int index) { return *pages_.at(static_cast<std::size_t>(index)); }

    void SetFrameGrabberValid(bool valid);
    void SetOtherPagesValid(bool valid);
    bool FrameGrabberValid() const { return frameGrabberValid_; }
    bool OtherPagesValid() const { return otherPagesValid_; }
    // Shows the page's title, ": " and the message in the status bar.
    void ReportError(const PropertyPage& page, const std::string& message);
    // Asks every created page in turn until one answers non-zero.
    std::intptr_t QuerySiblings(std::intptr_t wParam, std::intptr_t lParam);

    std::string StatusText() const;
    bool OkEnabled() const { return frame_.IsEnabled(kIdOk); }
    const Rect& WindowRect() const { return window_; }
    // A toolkit view sets its real frame size (and the buttons' rects through
    // FrameControls) before Start, which rearranges them.
    void SetWindowRect(const Rect& rect) { window_ = rect; }

    // The DCF choice differs from the one the sheet opened with.
    bool needsReset = false;

    // ModalDialog
    std::string Caption() const override { return caption_; }
    bool IsPropertySheet() const override { return true; }
    int PageCount() const override { return static_cast<int>(pages_.size()); }
    const DialogTemplate& PageTemplate(int page) const override;
    ControlModel* PageControls(int page) override;
    ControlModel& FrameControls() override { return frame_; }
    int ActivePage() const override { return active_; }
    void Start() override;
    bool ActivatePage(int page) override;

  protected:
    ControlModel* EventTarget(int id) override;
    void OnTextChanged(int id) override;
    void OnClicked(int id) override;

  private:
    void OnInitDialog();
    void SetStatusText(const std::string& text);
    // OK and the status bar after either flag changed.
    void FlagsChanged();
    void PressOk();

    std::string caption_;
    void* parentWindow_;
    DialogView& view_;
    std::vector<PropertyPage*> pages_;
    int active_ = -1;
    bool started_ = false;
    bool frameGrabberValid_ = true;
    bool otherPagesValid_ = true;
    ControlModel frame_;
    Rect window_;
};

}  // namespace korvane::dlg

#pragma once
// A dialog as a view sees it: its controls (page by page for a property
// sheet), its initialisation, and the events a user can cause. The view
// turns real input into these calls; the dialog's logic answers by changing
// its control models and, at the end, by ending the dialog.
#include <string>

#include "dialogs/ControlModel.h"
#include "dialogs/DialogTemplate.h"

namespace korvane::dlg {

// Results of a modal run, with the Windows values of IDOK and IDCANCEL.
inline constexpr int kResultOk = 1;
inline constexpr int kResultCancel = 2;

class ModalDialog {
  public:
    ModalDialog() = default;
    ModalDialog(const ModalDialog&) = delete;
    ModalDialog& operator=(const ModalDialog&) = delete;
    virtual ~ModalDialog() = default;

    // Title bar text.
    virtual std::string Caption() const = 0;
    // True for a property sheet (pages on tabs, buttons on the frame).
    virtual bool IsPropertySheet() const = 0;
    virtual int PageCount() const = 0;
    virtual const DialogTemplate& PageTemplate(int page) const = 0;
    // The controls of a page; null while the page has not been created.
    virtual ControlModel* PageControls(int page) = 0;
    // The dialog's own buttons and bars: for a property sheet OK, Cancel,
    // Apply, Help and the status bar; for a plain dialog its only page.
    virtual ControlModel& FrameControls() = 0;
    virtual int ActivePage() const = 0;

    // Initialisation, run once when the dialog appears.
    virtual void Start() = 0;
    // The user brings a page to the front; false for a page that does not
    // exist.
    virtual bool ActivatePage(int page) = 0;

    // What a user can do. Each answers false and changes nothing when the
    // user could not have done it: no such control on the active page, a
    // hidden or disabled control, a read-only edit, a dialog already ended.
    bool UserTypes(int id, const std::string& text);
    bool UserClicks(int id);
    bool UserSelects(int id, int index);

    bool Finished() const { return finished_; }
    int Result() const { return result_; }

  protected:
    // The controls an event on this id reaches: the frame's buttons or the
    // active page's controls. Null when there is no such control.
    virtual ControlModel* EventTarget(int id) = 0;
    // The text of an edit changed (the model already holds the new text).
    virtual void OnTextChanged(int id) = 0;
    // A button was clicked (a check box has already changed its state).
    virtual void OnClicked(int id) = 0;

    void EndDialog(int result);

  private:
    bool finished_ = false;
    int result_ = 0;
};

}  // namespace korvane::dlg

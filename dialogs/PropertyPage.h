#pragma once
// One page of the camera property sheet: its controls, the exchange between
// them and the settings copy it edits, and the hooks the sheet runs. A page's
// controls, and so its initialisation, exist only once it has been shown.
#include <cstdint>
#include <optional>
#include <string>

#include "dialogs/ControlModel.h"
#include "dialogs/DialogTemplate.h"
#include "settings/CameraSettings.h"

namespace korvane::dlg {

class CSheet1;

class PropertyPage {
  public:
    PropertyPage(CSheet1& sheet, CameraSettings& settings, const DialogTemplate& dialogTemplate);
    PropertyPage(const PropertyPage&) = delete;
    PropertyPage& operator=(const PropertyPage&) = delete;
    virtual ~PropertyPage() = default;

    const DialogTemplate& Template() const { return template_; }
    // The page's window title, which is also its tab text.
    const std::string& Title() const { return template_.caption; }
    bool Created() const { return controls_.has_value(); }
    // Only valid once Created().
    ControlModel& Controls() { return *controls_; }
    const ControlModel& Controls() const { return *controls_; }

    // Run by the sheet: the first showing creates the controls and runs the
    // initialisation; later showings load the controls from the settings,
    // and leaving a page reads them back.
    void Create();
    void OnSetActive();
    bool OnKillActive();
    // The sheet's OK, for every page that has been created.
    virtual void OnOK() {}
    // The sheet's sibling query; a page that does not take part answers 0
    // without doing anything.
    virtual std::intptr_t OnQuerySiblings(std::intptr_t wParam, std::intptr_t lParam);

    // User events on this page's controls.
    virtual void OnTextChanged(int id) = 0;
    virtual void OnClicked(int id) = 0;

    // Checks the page's values, reporting the first failure; true when all
    // are in range.
    virtual bool Validate() = 0;

  protected:
    // The framework's part of the initialisation loads the controls; pages
    // add their own steps after it.
    virtual void OnInitDialog();
    virtual void DoDataExchange(Exchange direction) = 0;
    // Stores a check result into the sheet flag this page reports through.
    virtual void StoreValidity(bool valid) = 0;

    void LoadControls() { DoDataExchange(Exchange::Load); }
    void ReadControls() { DoDataExchange(Exchange::Save); }

    // Validate, store the result in the page's sheet flag, and when it passed
    // ask every page to check itself again.
    virtual void OnSettingChanged();

    CSheet1& sheet_;
    CameraSettings& settings_;

  private:
    const DialogTemplate& template_;
    std::optional<ControlModel> controls_;
};

}  // namespace korvane::dlg

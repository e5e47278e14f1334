#include "dialogs/PropertyPage.h"

#include "dialogs/CSheet1.h"

namespace korvane::dlg {

PropertyPage::PropertyPage(CSheet1& sheet, CameraSettings& settings,
                           const DialogTemplate& dialogTemplate)
    : sheet_(sheet), settings_(settings), template_(dialogTemplate) {}

void PropertyPage::Create() {
    if (Created()) {
        return;
    }
    controls_.emplace(template_);
    OnInitDialog();
}

void PropertyPage::OnSetActive() {
    LoadControls();
}

bool PropertyPage::OnKillActive() {
    ReadControls();
    return true;
}

std::intptr_t PropertyPage::OnQuerySiblings(std::intptr_t, std::intptr_t) {
    return 0;
}

void PropertyPage::OnInitDialog() {
    LoadControls();
}

void PropertyPage::OnSettingChanged() {
    const bool valid = Validate();
    StoreValidity(valid);
    if (valid) {
        sheet_.QuerySiblings(0, 0);
    }
}

}  // namespace korvane::dlg

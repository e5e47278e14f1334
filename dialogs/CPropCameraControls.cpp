#include "dialogs/CPropCameraControls.h"

#include "dialogs/CSheet1.h"
#include "dialogs/ControlIds.h"
#include "dialogs/RangeText.h"

namespace korvane::dlg {

using namespace cc;

CPropCameraControls::CPropCameraControls(CSheet1& sheet, CameraSettings& settings)
    : PropertyPage(sheet, settings, CameraControlsTemplate()) {}

void CPropCameraControls::DoDataExchange(Exchange direction) {
    ControlModel& c = Controls();
    DdxParamDouble(c, direction, kExposure, settings_.Exposure.value);
    DdxParamDouble(c, direction, kExposureDelay, settings_.ExposureDelay.value);
    DdxCheck(c, direction, kUseTrigger, settings_.UseTrigger.value);
}

void CPropCameraControls::OnInitDialog() {
    PropertyPage::OnInitDialog();
    FillEnumCombo(Controls(), kTriggerSource, settings_.TriggerSource);
    FillEnumCombo(Controls(), kTriggerMode, settings_.TriggerMode);
    UpdateControls();
}

void CPropCameraControls::UpdateControls() {
    ReadControls();
    ControlModel& c = Controls();
    c.SetText(kExposureRange, RealRangeText(settings_.Exposure));
    c.SetText(kExposureDelayRange, RealRangeText(settings_.ExposureDelay));
    const bool useTrigger = settings_.UseTrigger.value != 0;
    c.SetEnabled(kTriggerSource, useTrigger);
    c.SetEnabled(kTriggerMode, useTrigger);
}

bool CPropCameraControls::Validate() {
    ReadControls();
    if (!settings_.Exposure.IsInRange()) {
        sheet_.ReportError(*this, "Exposure time not in range");
        return false;
    }
    if (!settings_.ExposureDelay.IsInRange()) {
        sheet_.ReportError(*this, "Exposure delay not in range");
        return false;
    }
    return true;
}

void CPropCameraControls::StoreValidity(bool valid) {
    sheet_.SetOtherPagesValid(valid);
}

void CPropCameraControls::OnTextChanged(int id) {
    if (id == kExposure || id == kExposureDelay) {
        OnSettingChanged();
    }
}

void CPropCameraControls::OnClicked(int id) {
    if (id == kUseTrigger) {
        UpdateControls();
        OnSettingChanged();
    }
}

std::intptr_t CPropCameraControls::OnQuerySiblings(std::intptr_t, std::intptr_t) {
    StoreValidity(Validate());
    return 0;
}

void CPropCameraControls::OnOK() {
    ReadControls();
    ReadEnumCombo(Controls(), kTriggerMode, settings_.TriggerMode.value);
    ReadEnumCombo(Controls(), kTriggerSource, settings_.TriggerSource.value);
}

}  // namespace korvane::dlg

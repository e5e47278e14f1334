#include "dialogs/CPropIo.h"

#include "dialogs/CSheet1.h"
#include "dialogs/ControlIds.h"
#include "dialogs/RangeText.h"

namespace korvane::dlg {

using namespace io;

CPropIo::CPropIo(CSheet1& sheet, CameraSettings& settings)
    : PropertyPage(sheet, settings, IoTemplate()) {}

void CPropIo::DoDataExchange(Exchange direction) {
    ControlModel& c = Controls();
    CameraSettings& s = settings_;
    DdxCheck(c, direction, kStrobeTimer, s.StateOfStrobeTimer.value);
    DdxParamInt(c, direction, kLevel, s.LightingBrightField.value);
    DdxParamDouble(c, direction, kStrobeTime, s.StrobeTime.value);
    DdxParamDouble(c, direction, kStrobeDelay, s.StrobeDelay.value);
    DdxCheck(c, direction, kHidrive, s.StrobeHidrive.value);
    DdxParamDouble(c, direction, kHidriveTime, s.StrobeHidriveTime.value);
}

void CPropIo::OnInitDialog() {
    PropertyPage::OnInitDialog();
    ControlModel& c = Controls();
    CameraSettings& s = settings_;
    for (int i = 0; i < CameraSettings::kDebounceCount; ++i) {
        FillEnumCombo(c, kDebounce[i], s.Debounce[static_cast<std::size_t>(i)]);
    }
    for (int i = 0; i < CameraSettings::kAuxOutCount; ++i) {
        FillEnumCombo(c, kAuxOut[i], s.AuxOut[static_cast<std::size_t>(i)]);
    }
    FillEnumCombo(c, kStrobeSource, s.StrobeSource);
    FillEnumCombo(c, kStrobePolarity, s.StrobePolarity);
    // The limits do not change while the sheet is open: the range texts are
    // set once.
    ReadControls();
    c.SetText(kLevelRange, IntRangeText(s.LightingBrightField));
    c.SetText(kStrobeTimeRange, RealRangeText(s.StrobeTime));
    c.SetText(kStrobeDelayRange, RealRangeText(s.StrobeDelay));
    c.SetText(kHidriveTimeRange, RealRangeText(s.StrobeHidriveTime));
}

bool CPropIo::Validate() {
    ReadControls();
    const char* failure = nullptr;
    if (!settings_.LightingBrightField.IsInRange()) {
        failure = "Strobe level not in range";
    } else if (!settings_.StrobeTime.IsInRange()) {
        failure = "Strobe time not in range";
    } else if (!settings_.StrobeDelay.IsInRange()) {
        failure = "Strobe delay not in range";
    } else if (!settings_.StrobeHidriveTime.IsInRange()) {
        failure = "Hi-drive time not in range";
    }
    if (failure != nullptr) {
        sheet_.ReportError(*this, failure);
        return false;
    }
    return true;
}

void CPropIo::StoreValidity(bool valid) {
    sheet_.SetOtherPagesValid(valid);
}

void CPropIo::OnTextChanged(int id) {
    if (id == kLevel || id == kStrobeTime || id == kStrobeDelay || id == kHidriveTime) {
        OnSettingChanged();
    }
}

void CPropIo::OnOK() {
    ReadControls();
    ControlModel& c = Controls();
    CameraSettings& s = settings_;
    ReadEnumCombo(c, kStrobeSource, s.StrobeSource.value);
    ReadEnumCombo(c, kStrobePolarity, s.StrobePolarity.value);
    for (int i = 0; i < CameraSettings::kDebounceCount; ++i) {
        ReadEnumCombo(c, kDebounce[i], s.Debounce[static_cast<std::size_t>(i)].value);
    }
    for (int i = 0; i < CameraSettings::kAuxOutCount; ++i) {
        ReadEnumCombo(c, kAuxOut[i], s.AuxOut[static_cast<std::size_t>(i)].value);
    }
}

}  // namespace korvane::dlg

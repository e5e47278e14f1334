// Reading a camera's settings back from the digitizer and programming the
// digitizer and the board from them, as the camera opens.
#include "camera/MilDigitizer.h"
#include "camera/MilErrorText.h"
#include "camera/MilSystem.h"
#include "driver/DriverLog.h"
#include "mil/MilCalls.h"

namespace korvane {
namespace {
constexpr double kUnit = 1000000.0;

long long Ll(mil::MilInt v) {
    return static_cast<long long>(v);
}

void LogInquireError(const std::string& name, mil::MilInt type) {
    KLOG(kError, "ERROR: Failed inquire setting %s: %s InquireType=%lld", name.c_str(),
         MilErrorText().c_str(), Ll(type));
}

void LogControlError(const std::string& name, mil::MilInt type) {
    KLOG(kError, "ERROR: Failed to set setting %s: %s ControlType=%lld", name.c_str(),
         MilErrorText().c_str(), Ll(type));
}

// On/off controls take the library's enable and disable values.
int OnOff(int value) {
    return value != 0 ? static_cast<int>(mil::M_ENABLE) : static_cast<int>(mil::M_DISABLE);
}
}  // namespace

void MilDigitizer::InquireSettings() {
    CameraSettings& s = settings_;
    ParamInquire(mil::M_SOURCE_OFFSET_X, s.OffsetX);
    ParamInquire(mil::M_SOURCE_OFFSET_Y, s.OffsetY);
    ParamInquire(mil::M_SOURCE_SIZE_X, s.Width);
    ParamInquire(mil::M_SOURCE_SIZE_Y, s.Height);
    ParamInquire(mil::M_EXPOSURE_TIME, s.Exposure, true);
    ParamInquire(mil::M_EXPOSURE_DELAY, s.ExposureDelay, true);
    ParamInquire(mil::M_LIGHTING_BRIGHT_FIELD, s.LightingBrightField);
    ParamInquire(mil::M_STROBE_TIME, s.StrobeTime, true);
    ParamInquire(mil::M_STROBE_DELAY, s.StrobeDelay, true);
    Param<int> triggerEnabled("TriggerEnabled", 0);
    ParamInquire(mil::M_GRAB_TRIGGER, triggerEnabled);
    s.UseTrigger.value = triggerEnabled.value == mil::M_ENABLE ? 1 : 0;
    ParamInquire(mil::M_GRAB_TRIGGER_SOURCE, s.TriggerSource);
    ParamInquire(mil::M_GRAB_TRIGGER_MODE, s.TriggerMode);
    ParamInquire(mil::M_GAIN, s.Gain);
}

void MilDigitizer::ApplySettings() {
    CameraSettings& s = settings_;
    ParamControl(mil::M_SOURCE_OFFSET_X, s.OffsetX);
    ParamControl(mil::M_SOURCE_OFFSET_Y, s.OffsetY);
    ParamControl(mil::M_SOURCE_SIZE_X, s.Width);
    ParamControl(mil::M_SOURCE_SIZE_Y, s.Height);
    const auto direction = [](int flag) {
        return static_cast<int>(flag != 0 ? mil::M_DIRECTION_REVERSE : mil::M_DIRECTION_FORWARD);
    };
    ParamControl(mil::M_GRAB_DIRECTION_X, Param<int>("DirectionX", direction(s.DirectionX.value)));
    ParamControl(mil::M_GRAB_DIRECTION_Y, Param<int>("DirectionY", direction(s.DirectionY.value)));
    ParamControl(mil::M_GRAB_TRIGGER_SOURCE, s.TriggerSource);
    ParamControl(mil::M_GRAB_TRIGGER, Param<int>("TriggerEnabled", OnOff(s.UseTrigger.value)));
    // The edge only matters for the hardware trigger input.
    if (s.TriggerSource.GetNumericValue() == 16) {
        ParamControl(mil::M_GRAB_TRIGGER_MODE, s.TriggerMode);
    }
    ParamControl(mil::M_EXPOSURE_TIME, s.Exposure);
    ParamControl(mil::M_EXPOSURE_DELAY, s.ExposureDelay);
    ParamControl(mil::M_LIGHTING_BRIGHT_FIELD, s.LightingBrightField);
    ParamControl(mil::M_STROBE_TIMER_STATE,
                 Param<int>("StateOfStrobeTimer", OnOff(s.StateOfStrobeTimer.value)));
    ParamControl(mil::M_STROBE_SOURCE, s.StrobeSource);
    ParamControl(mil::M_STROBE_POLARITY, s.StrobePolarity);
    ParamControl(mil::M_STROBE_TIME, s.StrobeTime);
    ParamControl(mil::M_STROBE_DELAY, s.StrobeDelay);
    ParamControl(mil::M_STROBE_HIDRIVE, Param<int>("StrobeHidrive", OnOff(s.StrobeHidrive.value)));
    ParamControl(mil::M_STROBE_HIDRIVE_TIME, s.StrobeHidriveTime);
    ParamControl(mil::M_GAIN, s.Gain);
    for (int i = 0; i < 4; ++i) {
        ParamSysControl(static_cast<long>(mil::M_AUX_IN_DEBOUNCE + i), s.Debounce[i]);
    }
    ParamSysControl(static_cast<long>(mil::M_TRIGGER_DEBOUNCE), s.Debounce[4]);
    for (int i = 0; i < 4; ++i) {
        ParamSysControl(static_cast<long>(mil::M_AUX_OUT + 4 + i), s.AuxOut[i]);
    }
}

void MilDigitizer::ParamInquire(mil::MilInt type, Param<int>& setting) {
    const mil::MilInt answer = mil::Calls().MdigInquire(digId_, type);
    if (MilErrorPending()) {
        LogInquireError(setting.name, type);
        return;
    }
    setting.value = static_cast<int>(answer);
    KLOG(kProgress, "MilDigitizer::ParamInquire(%lld): %s=%d", Ll(type), setting.name.c_str(),
         setting.value);
}

void MilDigitizer::ParamInquire(mil::MilInt type, Param<double>& setting, bool withRange) {
    mil::MilCalls api = mil::Calls();
    double answer = 0.0;
    api.MdigInquire(digId_, type, answer);
    if (MilErrorPending()) {
        LogInquireError(setting.name, type);
        return;
    }
    setting.value = answer / kUnit;
    if (withRange) {
        double lower = 0.0;
        double upper = 2000000000.0;
        api.MdigInquire(digId_, type + mil::M_MIN_VALUE, lower);
        api.MdigInquire(digId_, type + mil::M_MAX_VALUE, upper);
        if (!MilErrorPending()) {
            setting.minValue = lower / kUnit;
            setting.maxValue = upper / kUnit;
        }
    }
    KLOG(kProgress, "MilDigitizer::ParamInquire(%lld): %s=%f", Ll(type), setting.name.c_str(),
         answer);
}

void MilDigitizer::ParamInquire(mil::MilInt type, ParamEnum& setting) {
    const mil::MilInt answer = mil::Calls().MdigInquire(digId_, type);
    if (MilErrorPending()) {
        LogInquireError(setting.name, type);
        return;
    }
    setting.SetByNumericValue(static_cast<int>(answer));
    KLOG(kProgress, "MilDigitizer::ParamInquire(%lld): %s=%s(%d)", Ll(type), setting.name.c_str(),
         setting.value.c_str(), static_cast<int>(answer));
}

void MilDigitizer::ParamControl(mil::MilInt type, const Param<int>& setting) {
    mil::Calls().MdigControl(digId_, type, static_cast<double>(setting.value));
    if (MilErrorPending()) {
        LogControlError(setting.name, type);
        return;
    }
    KLOG(kProgress, "MilDigitizer::ParamControl(%lld): %s=%d", Ll(type), setting.name.c_str(),
         setting.value);
}

void MilDigitizer::ParamControl(mil::MilInt type, const Param<double>& setting) {
    mil::Calls().MdigControl(digId_, type, setting.value * kUnit);
    if (MilErrorPending()) {
        LogControlError(setting.name, type);
        return;
    }
    KLOG(kProgress, "MilDigitizer::ParamControl(%lld): %s=%f", Ll(type), setting.name.c_str(),
         setting.value);
}

void MilDigitizer::ParamControl(mil::MilInt type, const ParamEnum& setting) {
    const int number = setting.GetNumericValue();
    mil::Calls().MdigControl(digId_, type, number);
    if (MilErrorPending()) {
        LogControlError(setting.name, type);
        return;
    }
    KLOG(kProgress, "MilDigitizer::ParamControl(%lld): %s=%s(%d)", Ll(type), setting.name.c_str(),
         setting.value.c_str(), number);
}

void MilDigitizer::ParamSysControl(long type, const ParamEnum& setting) {
    const int number = setting.GetNumericValue();
    if (!mil::Calls().MsysControl(system_.sysId(), type, number) || MilErrorPending()) {
        KLOG(kError, "ERROR: Failed to set sys setting %s: %s ControlType=%ld",
             setting.name.c_str(), MilErrorText().c_str(), type);
        return;
    }
    KLOG(kProgress, "MilDigitizer::ParamSysControl(%ld): %s=%s(%d)", type, setting.name.c_str(),
         setting.value.c_str(), number);
}

}  // namespace korvane

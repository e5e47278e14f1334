// Named properties, the range query, the command language and the property
// sheet of a camera.
#include <climits>
#include <cmath>
#include <cstdio>

#include "camera/CommandParser.h"
#include "camera/MilDigitizer.h"
#include "camera/MilErrorText.h"
#include "camera/MilSystem.h"
#include "camera/Notice.h"
#include "dialogs/PropertySheetRunner.h"
#include "driver/DriverLog.h"
#include "mil/MilCalls.h"
#include "platform/UiNotice.h"

namespace korvane {
namespace {

constexpr const char* kUserBit = "UserBit";

// A library answer wider than the host's 32-bit output is saturated.
int Narrow(mil::MilInt value) {
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

int ToHostUnits(double value) {
    const double scaled = value * 1000000.0;
    if (!(scaled < 2147483648.0)) {
        return scaled != scaled ? 0 : INT_MAX;
    }
    if (!(scaled > -2147483649.0)) {
        return INT_MIN;
    }
    return static_cast<int>(scaled);  // truncation toward zero
}

}  // namespace

bool MilDigitizer::SetProperty(const char* name, int value) {
    if (name == nullptr) {
        return false;
    }
    mil::MilCalls api = mil::Calls();
    if (EqualsNoCase(name, "SoftwareTrigger")) {
        api.MdigControl(digId_, mil::M_GRAB_TRIGGER, 1);
        if (MilErrorPending()) {
            KLOG(kProgress,
                 "MilDigitizer::SetProperty: ERROR: failed issue software trigger. Error "
                 "message:%s\n",
                 MilErrorMessage().c_str());
            return false;
        }
        return true;
    }
    if (EqualsNoCase(name, "continuous") || EqualsNoCase(name, "continous")) {
        SetContinuousGrab(value != 0);
        return true;
    }
    if (EqualsNoCase(name, "StoreValue")) {
        storedValue_ = value;
        return true;
    }
    if (EqualsNoCase(name, "MdigControl")) {
        api.MdigControl(digId_, value, storedValue_);
        if (MilErrorPending()) {
            KLOG(kProgress,
                 "MilDigitizer::SetProperty: ERROR: while calling MdigControl (%d, %d). Error "
                 "message:%s\n",
                 value, storedValue_, MilErrorMessage().c_str());
            return false;
        }
        return true;
    }
    CameraSettings& s = settings_;
    if (s.LogLevel.NameEquals(name)) {
        s.LogLevel.value = value;
        return true;
    }
    if (s.LogIntoFile.NameEquals(name)) {
        s.LogIntoFile.value = value;
        return true;
    }
    // The settings row delivery reads change under its lock.
    for (Param<int>* p : {&s.Use16bit, &s.Shift16bit, &s.UseLUT}) {
        if (p->NameEquals(name)) {
            std::lock_guard lock(rowMutex_);
            p->value = value;
            return true;
        }
    }
    for (Param<int>* p : {&s.Height, &s.Width}) {
        if (p->NameEquals(name)) {
            // Saved at once, a size the digitizer cannot give would make
            // every later open fail: it is refused and nothing is saved.
            const int lo = CameraSettings::SizeMinimum(*p);
            if (value < lo || value > p->maxValue) {
                KLOG(kError,
                     "MilDigitizer::SetProperty: ERROR: %s=%d refused, out of range [%d, %d]\n",
                     p->name.c_str(), value, lo, p->maxValue);
                return false;
            }
            {
                std::lock_guard lock(rowMutex_);
                p->value = value;
            }
            s.Save(name_.c_str());
            return true;
        }
    }
    if (s.Gain.NameEquals(name)) {
        s.Gain.value = value;
        ParamControl(mil::M_GAIN, s.Gain);
        return true;
    }
    if (s.Exposure.NameEquals(name)) {
        s.Exposure.value = value / 1000000.0;
        ParamControl(mil::M_EXPOSURE_TIME, s.Exposure);
        return true;
    }
    if (s.ExposureDelay.NameEquals(name)) {
        s.ExposureDelay.value = value / 1000000.0;
        ParamControl(mil::M_EXPOSURE_DELAY, s.ExposureDelay);
        return true;
    }
    if (StartsWithNoCase(name, kUserBit)) {
        const int bit = ParseLeadingInt(name + std::char_traits<char>::length(kUserBit));
        if (bit < 4 || bit > 7) {
            return false;
        }
        return api.MsysControl(system_.sysId(), mil::M_USER_BIT_OUT + bit, value != 0 ? 1 : 0);
    }
    return false;
}

bool MilDigitizer::GetProperty(const char* name, int* value) {
    if (name == nullptr || value == nullptr) {
        return false;
    }
    mil::MilCalls api = mil::Calls();
    if (EqualsNoCase(name, "MdigInquire")) {
        // The host receives the answer narrowed to 32 bits.
        const mil::MilInt answer = api.MdigInquire(digId_, storedValue_);
        if (MilErrorPending()) {
            KLOG(kProgress,
                 "MilDigitizer::GetProperty ERROR calling MdigInquire (%d). Error message:%s\n",
                 storedValue_, MilErrorMessage().c_str());
            return false;
        }
        *value = Narrow(answer);
        return true;
    }
    if (EqualsNoCase(name, "continuous") || EqualsNoCase(name, "continous")) {
        *value = continuous() ? 1 : 0;
        return true;
    }
    CameraSettings& s = settings_;
    for (Param<int>* p : {&s.LogLevel, &s.LogIntoFile, &s.Use16bit, &s.Shift16bit, &s.UseLUT,
                          &s.Height, &s.Width, &s.Gain}) {
        if (p->NameEquals(name)) {
            std::lock_guard lock(rowMutex_);
            *value = p->value;
            return true;
        }
    }
    for (Param<double>* p : {&s.Exposure, &s.ExposureDelay}) {
        if (p->NameEquals(name)) {
            *value = ToHostUnits(p->value);
            return true;
        }
    }
    if (StartsWithNoCase(name, kUserBit)) {
        const int bit = ParseLeadingInt(name + std::char_traits<char>::length(kUserBit));
        if (bit < 0 || bit > 3) {
            return false;
        }
        mil::MilInt answer = 0;
        api.MsysInquire(system_.sysId(), mil::M_USER_BIT_IN + bit, &answer);
        *value = answer == 1 ? 1 : 0;
        return true;
    }
    return false;
}

bool MilDigitizer::GetPropertyRange(const char* name, int* minValue, int* maxValue) {
    if (name == nullptr || minValue == nullptr || maxValue == nullptr) {
        return false;
    }
    int lo = 0;
    int hi = 0;
    if (!settings_.GetRange(name, lo, hi)) {
        return false;
    }
    *minValue = lo;
    *maxValue = hi;
    return true;
}

bool MilDigitizer::ExecCommand(const char* command, const char* arguments, char* result,
                               int resultSize) {
    CopyBounded(result, resultSize, "unknowncmd");
    if (!EqualsNoCase(command, "MdigControl")) {
        return false;
    }
    const auto args = ParseArguments(arguments);
    const auto type = args.find("ControlType");
    const auto value = args.find("ControlValue");
    if (type == args.end() || value == args.end()) {
        return false;
    }
    mil::Calls().MdigControl(digId_, ParseLeadingInt(type->second.c_str()),
                             ParseLeadingDouble(value->second.c_str()));
    if (!MilErrorPending()) {
        CopyBounded(result, resultSize, "ok");
        return true;
    }
    CopyBounded(result, resultSize, "fail");
    return false;
}

bool MilDigitizer::ShowProperties(void* parentWindow) {
    char caption[300];
    std::snprintf(caption, sizeof caption, "%s properties", name_.c_str());
    if (grabInProgress() || continuous()) {
        const int answer = CameraNotice(
            "Configuring camera properties while inspection is running may cause undesired "
            "effects. Continue anyway ?",
            caption, platform::kBoxOkCancel | platform::kIconExclamation, parentWindow);
        if (answer == platform::kAnswerCancel) {
            return false;
        }
    }
    CameraSettings workingCopy(settings_);
    if (!RunCameraPropertySheet(parentWindow, caption, workingCopy)) {
        return false;
    }
    ReplaceSettings(workingCopy);
    settings_.Save(name_.c_str());
    return true;
}

}  // namespace korvane

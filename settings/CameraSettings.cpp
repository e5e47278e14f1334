#include "settings/CameraSettings.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "driver/DriverLog.h"
#include "settings/IniArchive.h"

namespace korvane {
namespace {

// Debounce times in library units (microseconds); the labels show seconds.
constexpr std::array<std::int32_t, 7> kDebounceTimes = {250,     1000,     5000,    10000,
                                                        1000000, 10000000, 25000000};

struct Label {
    const char* text;
    std::int32_t number;
};

void SetLabels(ParamEnum& setting, std::initializer_list<Label> labels) {
    setting.ClearLabels();
    for (const Label& l : labels) {
        setting.AddLabel(l.text, l.number);
    }
}

// Reals are exchanged with the host in library units, truncated toward zero;
// limits beyond the 32-bit range answer its ends instead of overflowing.
int ToLibraryUnits(double v) {
    const double scaled = v * 1000000.0;
    if (std::isnan(scaled)) {
        return 0;
    }
    if (scaled <= static_cast<double>(INT32_MIN)) {
        return INT32_MIN;
    }
    if (scaled >= static_cast<double>(INT32_MAX)) {
        return INT32_MAX;
    }
    return static_cast<int>(scaled);
}

}  // namespace

CameraSettings::CameraSettings() {
    BuildLabels();
}

void CameraSettings::BuildLabels() {
    SetLabels(ExposureMode, {{"Level High", 15}, {"Level Low", 14}});
    SetLabels(StrobeSource, {{"Exposure signal", 1}, {"Trigger signal", 4200}});
    SetLabels(StrobePolarity, {{"Level High", 15}, {"Level Low", 14}});
    SetLabels(TriggerSource, {{"Hardware Port 0", 16}, {"Software", 20}});
    SetLabels(TriggerMode, {{"Falling", 13}, {"Rising", 12}});
    for (ParamEnum& debounce : Debounce) {
        debounce.ClearLabels();
        for (std::int32_t time : kDebounceTimes) {
            char text[10];
            std::snprintf(text, sizeof text, "%f", time / 1000000.0);
            debounce.AddLabel(text, time);
        }
    }
    SetLabels(
        AuxOut[0],
        {{"User bit", kAuxOutUserBit}, {"Exposure", 4150}, {"Trigger", 4200}, {"Strobe", 4152}});
    SetLabels(
        AuxOut[1],
        {{"User bit", kAuxOutUserBit}, {"Exposure", 4150}, {"Trigger", 4200}, {"Strobe", 4152}});
    SetLabels(AuxOut[2], {{"User bit", kAuxOutUserBit}, {"Exposure", 4150}});
    SetLabels(AuxOut[3], {{"User bit", kAuxOutUserBit}});
}

void CameraSettings::CopyValuesFrom(const CameraSettings& other) {
    if (this != &other) {
        *this = other;
    }
}

bool CameraSettings::Load(const char* cameraName) {
    return Serialize(cameraName, true);
}

bool CameraSettings::Save(const char* cameraName) {
    return Serialize(cameraName, false);
}

bool CameraSettings::Serialize(const char* cameraName, bool loading) {
    if (cameraName == nullptr) {
        return false;
    }
    IniArchive ar(DriverLog::Instance().GetIniPath(), cameraName);
    ar.loading = loading;
    ar.Exchange(OffsetX);
    ar.Exchange(OffsetY);
    ar.Exchange(Width);
    ar.Exchange(Height);
    ar.Exchange(DirectionX);
    ar.Exchange(DirectionY);
    ar.Exchange(DCF_FILE);
    ar.Exchange(UseDefaultDCF);
    ar.Exchange(UseLUT);
    ar.Exchange(LUT_FILE);
    ar.Exchange(lutcolumn);
    ar.Exchange(Use16bit);
    ar.Exchange(Shift16bit);
    ar.Exchange(LUTGEN_minpix);
    ar.Exchange(LUTGEN_maxpix);
    ar.Exchange(LUTGEN_steepness);
    ar.Exchange(ExposureMode);
    ar.Exchange(Exposure);
    ar.Exchange(ExposureDelay);
    ar.Exchange(LightingBrightField);
    ar.Exchange(StateOfStrobeTimer);
    ar.Exchange(StrobeSource);
    ar.Exchange(StrobePolarity);
    ar.Exchange(StrobeTime);
    ar.Exchange(StrobeDelay);
    ar.Exchange(StrobeHidrive);
    ar.Exchange(StrobeHidriveTime);
    ar.Exchange(UseTrigger);
    ar.Exchange(TriggerSource);
    ar.Exchange(TriggerMode);
    ar.Exchange(Gain);
    for (ParamEnum& debounce : Debounce) {
        ar.Exchange(debounce);
    }
    for (ParamEnum& out : AuxOut) {
        ar.Exchange(out);
    }
    ar.Exchange(LogLevel);
    ar.Exchange(ShareCamera);
    ar.Exchange(ShareName);
    // LogIntoFile is switched on per session only and never persisted.
    if (!ar.Commit()) {
        KLOG(kError, "CameraSettings::Save: WARNING: Could not write the settings of %s to %s\n",
             cameraName, ar.iniPath.c_str());
        return false;
    }
    return true;
}

bool CameraSettings::GetRange(const char* name, int& min, int& max) const {
    if (name == nullptr) {
        return false;
    }
    if (Gain.NameEquals(name)) {
        min = Gain.minValue;
        max = Gain.maxValue;
    } else if (Exposure.NameEquals(name)) {
        min = ToLibraryUnits(Exposure.minValue);
        max = ToLibraryUnits(Exposure.maxValue);
    } else if (ExposureDelay.NameEquals(name)) {
        min = ToLibraryUnits(ExposureDelay.minValue);
        max = ToLibraryUnits(ExposureDelay.maxValue);
    } else if (Shift16bit.NameEquals(name)) {
        min = Shift16bit.minValue;
        max = Shift16bit.maxValue;
    } else {
        return false;
    }
    return true;
}

int CameraSettings::SizeMinimum(const Param<int>& size) {
    return size.maxValue < size.minValue ? size.maxValue : size.minValue;
}

int CameraSettings::OffsetLimit(const Param<int>& offset, const Param<int>& size) {
    const long long room = static_cast<long long>(size.maxValue) - size.value;
    return room < offset.minValue ? offset.minValue : static_cast<int>(room);
}

std::vector<CameraSettings::RangeFix> CameraSettings::FitImageArea() {
    std::vector<RangeFix> fixes;
    auto fit = [&fixes](Param<int>& p, int lo, int hi) {
        if (p.value < lo || p.value > hi) {
            const int was = p.value;
            p.value = p.value < lo ? lo : hi;
            fixes.push_back({p.name, was, p.value, lo, hi});
        }
    };
    // The sizes first: the offsets' room depends on them.
    fit(Width, SizeMinimum(Width), Width.maxValue);
    fit(Height, SizeMinimum(Height), Height.maxValue);
    fit(OffsetX, OffsetX.minValue, OffsetLimit(OffsetX, Width));
    fit(OffsetY, OffsetY.minValue, OffsetLimit(OffsetY, Height));
    return fixes;
}

}  // namespace korvane

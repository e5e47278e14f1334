#pragma once
// The fixed catalogue of one camera's settings: names, defaults, limits and
// labels, and their persistence in the camera's section of the driver's INI
// file. Member names are the INI keys (and the host's property names).
#include <array>
#include <string>
#include <vector>

#include "settings/Param.h"

namespace korvane {

class CameraSettings {
  public:
    static constexpr int kDebounceCount = 5;  // AuxInDebounce0..3, TriggerDebounce
    static constexpr int kAuxOutCount = 4;    // AuxOut4..AuxOut7

    CameraSettings();
    CameraSettings(const CameraSettings&) = default;
    CameraSettings& operator=(const CameraSettings&) = default;

    // Every member with all its fields and labels.
    void CopyValuesFrom(const CameraSettings& other);

    // Reads the persisted settings from the camera's section; keys the file
    // lacks leave their settings alone. False only for a null name.
    bool Load(const char* cameraName);

    // Writes the persisted settings (all but LogIntoFile) to the camera's
    // section in one replacement of the file. False for a null name or when
    // the file could not be written (logged as a warning; the settings in
    // memory stay as they are).
    bool Save(const char* cameraName);

    // The integer range the host sees for Gain, Exposure, ExposureDelay
    // (library units: value x 1,000,000) and Shift16bit. False for a null
    // name or any other setting.
    bool GetRange(const char* name, int& min, int& max) const;

    // A setting of the image area that was out of its limits and what it
    // was brought to.
    struct RangeFix {
        std::string name;
        int was;
        int now;
        int min;
        int max;
    };

    // Brings Width and Height into their limits (the maximum is the
    // digitizer's size, set at open), then each offset into the room the
    // image leaves on the sensor, so that the digitizer and the grab buffer
    // accept what the settings ask for. Answers the corrections made.
    std::vector<RangeFix> FitImageArea();

    // The smallest size: the catalogue's, or all of a sensor smaller than that.
    static int SizeMinimum(const Param<int>& size);

    // The room the offset leaves beside an image of the setting's current
    // size: from the offset's minimum to the size's maximum less the size.
    static int OffsetLimit(const Param<int>& offset, const Param<int>& size);

    Param<int> OffsetX{"OffsetX", 0, 0, 1280};
    Param<int> OffsetY{"OffsetY", 0, 0, 960};
    Param<int> Width{"Width", 0, 10, 1280};
    Param<int> Height{"Height", 0, 10, 960};
    Param<int> DirectionX{"DirectionX", 0, 0, 1};
    Param<int> DirectionY{"DirectionY", 0, 0, 1};
    Param<std::string> DCF_FILE{"DCF_FILE", "M_DEFAULT"};
    Param<int> UseLUT{"UseLUT", 0, 0, 1};
    Param<std::string> LUT_FILE{"LUT_FILE", ""};
    Param<std::string> lutcolumn{"lutcolumn", ""};
    Param<int> LUTGEN_minpix{"LUTGEN_minpix", 0, 0, 15};
    Param<int> LUTGEN_maxpix{"LUTGEN_maxpix", 15, 0, 15};
    Param<int> LUTGEN_steepness{"LUTGEN_steepness", 1, 1, 10};
    Param<int> Use16bit{"Use16bit", 0, 0, 1};
    Param<int> Shift16bit{"Shift16bit", 0, 0, 8};
    ParamEnum ExposureMode{"ExposureMode", ""};
    Param<double> Exposure{"Exposure", 0.0, 0.0, 1000.0};
    Param<double> ExposureDelay{"ExposureDelay", 0.0, 0.0, 1000.0};
    Param<int> LightingBrightField{"LightingBrightField", 255, 0, 255};
    Param<int> StateOfStrobeTimer{"StateOfStrobeTimer", 0, 0, 1};
    ParamEnum StrobeSource{"StrobeSource", ""};
    ParamEnum StrobePolarity{"StrobePolarity", ""};
    Param<double> StrobeTime{"StrobeTime", 0.0, 0.0, 1000.0};
    Param<double> StrobeDelay{"StrobeDelay", 0.0, 0.0, 1000.0};
    Param<int> StrobeHidrive{"StrobeHidrive", 0, 0, 1};
    Param<double> StrobeHidriveTime{"StrobeHidriveTime", 0.0, 0.0, 1000.0};
    Param<int> UseTrigger{"UseTrigger", 0, 0, 1};
    ParamEnum TriggerSource{"TriggerSource", ""};
    ParamEnum TriggerMode{"TriggerMode", ""};
    Param<int> Gain{"Gain", 0, 0, 255};
    // AuxInDebounce0..3, then TriggerDebounce.
    std::array<ParamEnum, kDebounceCount> Debounce{
        ParamEnum{"AuxInDebounce0", ""}, ParamEnum{"AuxInDebounce1", ""},
        ParamEnum{"AuxInDebounce2", ""}, ParamEnum{"AuxInDebounce3", ""},
        ParamEnum{"TriggerDebounce", ""}};
    // AuxOut4..AuxOut7.
    std::array<ParamEnum, kAuxOutCount> AuxOut{ParamEnum{"AuxOut4", ""}, ParamEnum{"AuxOut5", ""},
                                               ParamEnum{"AuxOut6", ""}, ParamEnum{"AuxOut7", ""}};
    Param<int> UseDefaultDCF{"UseDefaultDCF", 0, 0, 1};
    Param<int> LogLevel{"LogLevel", 1, 0, 4};
    Param<int> LogIntoFile{"LogIntoFile", 0, 0, 1};
    Param<int> ShareCamera{"ShareCamera", 0, 0, 1};
    Param<std::string> ShareName{"ShareName", ""};

  private:
    void BuildLabels();
    // Load and Save share one routine; the archive's direction decides.
    bool Serialize(const char* cameraName, bool loading);
};

// The library number of the "User bit" output signal.
inline constexpr std::int32_t kAuxOutUserBit = static_cast<std::int32_t>(0xA0000000u);

}  // namespace korvane

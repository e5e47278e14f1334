#include "tools/korvane-view/PropertyCatalog.h"

#include <cmath>

#include "settings/CameraSettings.h"

namespace view {
namespace {

PropertySpec FromInt(const korvane::Param<int>& p, const char* effect) {
    return PropertySpec{p.name, p.minValue, p.maxValue, effect};
}

// Reals reach the host as integers times 1,000,000.
PropertySpec FromReal(const korvane::Param<double>& p, const char* effect) {
    return PropertySpec{p.name, static_cast<int>(std::lround(p.minValue * 1e6)),
                        static_cast<int>(std::lround(p.maxValue * 1e6)), effect};
}

std::vector<PropertySpec> Build() {
    const korvane::CameraSettings s;
    return {
        FromInt(s.Gain, "at once"),
        FromReal(s.Exposure, "at once"),
        FromReal(s.ExposureDelay, "at once"),
        FromInt(s.Width, "smaller at once, larger at the next open"),
        FromInt(s.Height, "smaller at once, larger at the next open"),
        FromInt(s.Shift16bit, "the next rows"),
        FromInt(s.Use16bit, "the next rows; buffer depth at the next open"),
        FromInt(s.UseLUT, "the next rows"),
        FromInt(s.LogLevel, "at the next open"),
        FromInt(s.LogIntoFile, "at the next open"),
    };
}

}  // namespace

const std::vector<PropertySpec>& ViewedProperties() {
    static const std::vector<PropertySpec> specs = Build();
    return specs;
}

const PropertySpec* FindViewedProperty(const std::string& name) {
    for (const PropertySpec& property : ViewedProperties()) {
        if (property.name == name) {
            return &property;
        }
    }
    return nullptr;
}

}  // namespace view

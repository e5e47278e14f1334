#include "camera/MilErrorText.h"

#include "mil/MilCalls.h"

namespace korvane {

bool MilErrorPending() {
    return mil::Calls().MappGetError(mil::M_CURRENT) != 0;
}

std::string MilErrorMessage() {
    char text[mil::kErrorTextSize] = {};
    if (mil::Calls().MappGetErrorText(text) == 0) {
        return {};
    }
    return text;
}

std::string MilErrorText() {
    char text[mil::kErrorTextSize] = {};
    if (mil::Calls().MappGetErrorText(text) == 0) {
        return " ";
    }
    return std::string("MIL Error message:'") + text + "'";
}

}  // namespace korvane

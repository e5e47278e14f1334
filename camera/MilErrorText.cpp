#include "camera/MilErrorText.h"

#include "mil/MilApi.h"

namespace korvane {

bool MilErrorPending() {
    return mil::Api().MappGetError(mil::M_CURRENT, nullptr) != 0;
}

std::string MilErrorMessage() {
    char text[mil::kErrorTextSize] = {};
    if (mil::Api().MappGetError(mil::M_MESSAGE_CURRENT, text) == 0) {
        return {};
    }
    text[sizeof text - 1] = '\0';
    return text;
}

std::string MilErrorText() {
    char text[mil::kErrorTextSize] = {};
    if (mil::Api().MappGetError(mil::M_MESSAGE_CURRENT, text) == 0) {
        return " ";
    }
    text[sizeof text - 1] = '\0';
    return std::string("MIL Error message:'") + text + "'";
}

}  // namespace korvane

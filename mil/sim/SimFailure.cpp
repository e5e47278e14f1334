#include "mil/sim/SimFailure.h"

#include <cstdarg>
#include <cstdio>

namespace korvane::mil::sim {

SimFailure MakeFailure(MilInt code, const char* format, ...) {
    char text[kErrorTextSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return {code, text};
}

}  // namespace korvane::mil::sim

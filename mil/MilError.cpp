#include "mil/MilError.h"

#include <cstdarg>
#include <cstdio>

namespace korvane::mil {
namespace {

struct ThreadError {
    MilInt code = 0;
    char text[kErrorTextSize] = {};
};

ThreadError& Current() {
    thread_local ThreadError error;
    return error;
}

}  // namespace

void ClearThreadError() {
    ThreadError& error = Current();
    error.code = 0;
    error.text[0] = '\0';
}

void SetThreadError(MilInt code, const char* format, ...) {
    ThreadError& error = Current();
    error.code = code != 0 ? code : kErrorInvalidArgument;
    va_list args;
    va_start(args, format);
    std::vsnprintf(error.text, sizeof error.text, format, args);
    va_end(args);
}

MilInt QueryThreadError(MilInt type, void* out) {
    const ThreadError& error = Current();
    if (type == M_CURRENT) {
        if (out != nullptr) {
            *static_cast<abi::Int*>(out) = static_cast<abi::Int>(error.code);
        }
        return error.code;
    }
    if (type == M_MESSAGE_CURRENT) {
        if (out != nullptr) {
            std::snprintf(static_cast<char*>(out), kErrorTextSize, "%s", error.text);
        }
        return error.code;
    }
    return 0;
}

}  // namespace korvane::mil

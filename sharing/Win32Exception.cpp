#include "sharing/Win32Exception.h"

namespace korvane {

Win32Exception::Win32Exception() : Win32Exception(platform::LastError()) {}

Win32Exception::Win32Exception(platform::ErrorCode code)
    : std::runtime_error("Win32 error"), errorCode(code), text_(platform::ErrorText(code)) {}

const char* Win32Exception::what() const noexcept {
    return text_.c_str();
}

}  // namespace korvane

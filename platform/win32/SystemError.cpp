#include "platform/SystemError.h"

#include <cstring>

#include "platform/win32/WinHandle.h"

namespace korvane::platform {

// The thread's Win32 last-error value is the one the platform reports.
ErrorCode LastError() {
    return ::GetLastError();
}

void SetLastError(ErrorCode code) {
    ::SetLastError(code);
}

std::string ErrorText(ErrorCode code) {
    if ((code & kErrorFromErrnoBit) != 0) {
        const char* text = std::strerror(static_cast<int>(code & ~kErrorFromErrnoBit));
        return text != nullptr ? text : "";
    }
    char buffer[4096] = {};
    const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, code, 0, buffer, sizeof buffer, nullptr);
    std::string text(buffer, n);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

}  // namespace korvane::platform

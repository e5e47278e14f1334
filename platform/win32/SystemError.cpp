#include "platform/SystemError.h"

#include <cerrno>
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

ErrorCode ErrorFromErrno(int err) {
    switch (err) {
        case 0:
            return kErrorSuccess;
        case ENOENT:
        case ECONNREFUSED:  // nobody listens on the name: no such pipe
            return kErrorFileNotFound;
        case EACCES:
        case EPERM:
            return kErrorAccessDenied;
        case EBADF:
            return kErrorInvalidHandle;
        case ENOMEM:
            return kErrorNotEnoughMemory;
        case EINVAL:
            return kErrorInvalidParameter;
        case EPIPE:
        case ECONNRESET:
            return kErrorBrokenPipe;
        case EEXIST:
            return kErrorAlreadyExists;
        case ENAMETOOLONG:
            return kErrorFilenameTooLong;
        case EAGAIN:
            return kErrorIoPending;
        default:
            return kErrorFromErrnoBit | static_cast<ErrorCode>(err);
    }
}

void SetLastErrorFromErrno(int err) {
    SetLastError(ErrorFromErrno(err));
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

// The Windows number for an errno value, the same on every system: the
// POSIX layer reports its own failures through it and the Windows layer the
// C library's. Keeping the last error and wording it are the system's own
// (platform/<system>/SystemError.cpp).
#include "platform/SystemError.h"

#include <cerrno>

namespace korvane::platform {

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
        case ENOTSOCK:
            return kErrorInvalidHandle;
        case ENOMEM:
        case ENOBUFS:
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
        case ENOTCONN:
            return kErrorPipeNotConnected;
        case EMSGSIZE:
            return kErrorMoreData;
        case EAGAIN:
            return kErrorIoPending;
        default:
            return kErrorFromErrnoBit | static_cast<ErrorCode>(err);
    }
}

void SetLastErrorFromErrno(int err) {
    SetLastError(ErrorFromErrno(err));
}

}  // namespace korvane::platform

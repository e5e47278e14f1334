#include "platform/SystemError.h"

#include <cstring>

namespace korvane::platform {
namespace {

thread_local ErrorCode lastError = kErrorSuccess;

struct Text {
    ErrorCode code;
    const char* text;
};

// The wording of the Windows message table for the numbers this library
// reports.
constexpr Text kTexts[] = {
    {kErrorSuccess, "The operation completed successfully."},
    {kErrorFileNotFound, "The system cannot find the file specified."},
    {kErrorAccessDenied, "Access is denied."},
    {kErrorInvalidHandle, "The handle is invalid."},
    {kErrorNotEnoughMemory, "Not enough memory resources are available to process this command."},
    {kErrorInvalidData, "The data is invalid."},
    {kErrorInvalidParameter, "The parameter is incorrect."},
    {kErrorBrokenPipe, "The pipe has been ended."},
    {kErrorInvalidName, "The filename, directory name, or volume label syntax is incorrect."},
    {kErrorBusy, "The requested resource is in use."},
    {kErrorAlreadyExists, "Cannot create a file when that file already exists."},
    {kErrorFilenameTooLong, "The filename or extension is too long."},
    {kErrorPipeBusy, "All pipe instances are busy."},
    {kErrorNoData, "The pipe is being closed."},
    {kErrorPipeNotConnected, "No process is on the other end of the pipe."},
    {kErrorMoreData, "More data is available."},
    {kErrorNotOwner, "Attempt to release mutex not owned by caller."},
    {kErrorPipeConnected, "There is a process on other end of the pipe."},
    {kErrorOperationAborted,
     "The I/O operation has been aborted because of either a thread exit or an application "
     "request."},
    {kErrorIoIncomplete, "Overlapped I/O event is not in a signaled state."},
    {kErrorIoPending, "Overlapped I/O operation is in progress."},
};

}  // namespace

ErrorCode LastError() {
    return lastError;
}

void SetLastError(ErrorCode code) {
    lastError = code;
}

std::string ErrorText(ErrorCode code) {
    for (const Text& t : kTexts) {
        if (t.code == code) {
            return t.text;
        }
    }
    if ((code & kErrorFromErrnoBit) != 0) {
        const int err = static_cast<int>(code & ~kErrorFromErrnoBit);
        char buffer[256];
        // The GNU strerror_r answers a pointer that may or may not be the
        // buffer; both are valid until the buffer goes.
        const char* text = strerror_r(err, buffer, sizeof buffer);
        return text != nullptr ? text : "";
    }
    return "";
}

}  // namespace korvane::platform

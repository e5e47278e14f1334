#pragma once
// System error numbers with the Windows meaning the sharing code tests for
// (file not found, broken pipe, pipe connected, I/O pending, ...), kept per
// thread like the Win32 last-error value, and their message texts.
#include <cstdint>
#include <string>

namespace korvane::platform {

using ErrorCode = std::uint32_t;

inline constexpr ErrorCode kErrorSuccess = 0;
inline constexpr ErrorCode kErrorFileNotFound = 2;
inline constexpr ErrorCode kErrorAccessDenied = 5;
inline constexpr ErrorCode kErrorInvalidHandle = 6;
inline constexpr ErrorCode kErrorNotEnoughMemory = 8;
inline constexpr ErrorCode kErrorInvalidData = 13;
inline constexpr ErrorCode kErrorInvalidParameter = 87;
inline constexpr ErrorCode kErrorBrokenPipe = 109;
inline constexpr ErrorCode kErrorInvalidName = 123;
inline constexpr ErrorCode kErrorBusy = 170;
inline constexpr ErrorCode kErrorAlreadyExists = 183;
inline constexpr ErrorCode kErrorFilenameTooLong = 206;
inline constexpr ErrorCode kErrorPipeBusy = 231;
inline constexpr ErrorCode kErrorNoData = 232;  // the pipe is being closed
inline constexpr ErrorCode kErrorPipeNotConnected = 233;
inline constexpr ErrorCode kErrorMoreData = 234;
inline constexpr ErrorCode kErrorNotOwner = 288;
inline constexpr ErrorCode kErrorPipeConnected = 535;
inline constexpr ErrorCode kErrorOperationAborted = 995;
inline constexpr ErrorCode kErrorIoIncomplete = 996;
inline constexpr ErrorCode kErrorIoPending = 997;

// An errno value without a Windows counterpart travels as this bit plus the
// errno value, so that its text can still be given.
inline constexpr ErrorCode kErrorFromErrnoBit = 0x20000000;

// The calling thread's last error.
ErrorCode LastError();
void SetLastError(ErrorCode code);

// The Windows number for an errno value.
ErrorCode ErrorFromErrno(int err);
// SetLastError(ErrorFromErrno(err)).
void SetLastErrorFromErrno(int err);

// The system's wording for a number, without a trailing line break; empty
// when there is no text for it.
std::string ErrorText(ErrorCode code);

}  // namespace korvane::platform

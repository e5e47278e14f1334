#pragma once
// The error state behind the error query. Like the library's, it belongs to
// the calling thread: a failure on the grab thread is never seen by the host
// thread and the other way round. Every library call of a backend clears it
// first; the error query itself reads it without clearing.
#include "mil/MilApi.h"

namespace korvane::mil {

// Error codes the backends report (any non-zero code means failure).
inline constexpr MilInt kErrorInvalidId = 1;
inline constexpr MilInt kErrorInvalidArgument = 2;
inline constexpr MilInt kErrorNotAllocated = 3;
inline constexpr MilInt kErrorDevice = 4;
inline constexpr MilInt kErrorStopped = 5;
inline constexpr MilInt kErrorUnavailable = 6;
inline constexpr MilInt kErrorResources = 7;

void ClearThreadError();

// Records a failure of the current call on this thread; the text is cut to
// what the error query can hand out (kErrorTextSize - 1 characters).
void SetThreadError(MilInt code, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The error query: M_CURRENT answers the pending code (and writes it as a
// abi::Int when out is not null); M_MESSAGE_CURRENT answers the code and copies
// the text into out (kErrorTextSize bytes, NUL-terminated, "" when none).
// Other query types answer 0.
MilInt QueryThreadError(MilInt type, void* out);

}  // namespace korvane::mil

#pragma once
#include <string>

namespace korvane {

// The library's pending error on the calling thread as
// "MIL Error message:'<text>'", or a single blank when none is pending. Each
// caller gets its own text, so grab threads and host threads never overlap.
std::string MilErrorText();

// True when the library reports an error for the last call on this thread.
bool MilErrorPending();

// The pending error's bare text (at most 127 characters), empty when none.
std::string MilErrorMessage();

}  // namespace korvane

#pragma once
// Hands a level-1 complaint of the platform layer to the installed report
// procedure (SetReportProc).
#include <string>

namespace korvane::platform::win32 {

void Report(const std::string& text);

}  // namespace korvane::platform::win32

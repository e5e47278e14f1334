#pragma once
// Pictures of the test's windows for a person to look at afterwards.
#include <string>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace korvane::test {

// Repaints the window and writes what the screen shows of its client area
// as a 24-bit BMP file (nothing may cover it); false when nothing could be
// captured or written.
bool CaptureWindow(HWND window, const std::string& path);

}  // namespace korvane::test

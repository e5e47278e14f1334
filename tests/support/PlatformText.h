#pragma once
// What this system makes of paths and text lines, so that one expectation
// holds on Linux and on Windows: the driver joins paths with the system's
// separator and its text files end lines the system's way.
#include <string>

namespace korvane::test {

// '\\' on Windows, '/' elsewhere.
char Separator();

// The path written with the system's separator, as the shell path functions
// give it back on Windows ("./a/b" becomes ".\\a\\b"); unchanged elsewhere.
std::string NativePath(std::string path);

// dir, one separator, name: how the driver names a file in the system path.
std::string JoinNative(const std::string& dir, const std::string& name);

// The text with every "\n" written as a text file on this system ends a line:
// "\r\n" on Windows, "\n" elsewhere.
std::string NativeLines(const std::string& text);

// An INI file's text as the system's profile functions leave it: NativeLines,
// and under Wine without blank lines (its profile writer drops them).
std::string ProfileText(const std::string& text);

// True when the Windows programs run under Wine, whose system texts are
// worded differently from Windows'.
bool RunningUnderWine();

}  // namespace korvane::test

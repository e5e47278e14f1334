#pragma once
// File path rules with the meaning of the Windows shell path functions,
// expressed in the platform's own separator.
#include <string>

namespace korvane::platform {

// '\\' on Windows, '/' elsewhere.
char PathSeparator();

// Joins a directory and a file name with exactly one separator.
std::string JoinPath(const std::string& dir, const std::string& file);

// The relative path from the directory fromDir to the file toFile. The form
// of a file inside fromDir starts with "." and a separator, one level up with
// ".." and a separator. False when no relative path exists (different roots,
// one absolute and the other not, empty input).
bool RelativePathTo(const std::string& fromDir, const std::string& toFile, std::string& out);

// True when the path is relative (not rooted).
bool PathIsRelative(const std::string& path);

// Appends more to base with one separator between them and folds "." and
// ".." components; false when the result would not fit maxLen characters.
bool PathAppend(std::string& base, const std::string& more, std::size_t maxLen = 259);

}  // namespace korvane::platform

#pragma once
// What a profile write refuses before it touches the file, the same on every
// system: names and values that would change the file's structure when
// written as they are (a line end starting a new line, "=" ending a key
// early, "]" ending a section name early).
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvane::platform {

// A section name: not blank, no line end or NUL, no "]".
bool IniSectionWritable(std::string_view section);
// A key: not empty, no blanks around it, no line end or NUL, no "=", and
// not starting like a section header or a comment.
bool IniKeyWritable(std::string_view key);
// A value: no line end or NUL.
bool IniValueWritable(std::string_view value);

// The whole of one write: the section and every key and value.
bool IniWriteWritable(std::string_view section,
                      const std::vector<std::pair<std::string, std::string>>& entries);

}  // namespace korvane::platform

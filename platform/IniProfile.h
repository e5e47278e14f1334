#pragma once
// Private profile (INI) files with the meaning of the Windows profile
// functions the settings rely on:
// - section and key names compare ignoring ASCII case; the first section and
//   the first key of a name win when a file repeats them;
// - a missing file, section or key gives the caller's default;
// - a write changes one key in place and keeps every other section, key,
//   comment, blank line and the line order; a new key goes to the end of its
//   section, a new section to the end of the file;
// - CRLF or LF line ends, a UTF-8 byte order mark and a missing final line
//   end are accepted and kept.
// A write replaces the file through a temporary file beside it, so a reader
// sees the old file or the new one, never a half-written one. Calls may come
// from any thread.
#include <string>
#include <utility>
#include <vector>

namespace korvane::platform {

// Longest value text a read hands back: what fits a 256-byte buffer.
inline constexpr std::size_t kIniMaxValueLength = 255;

// Files larger than this are not read (reads give the defaults) and not
// rewritten (writes fail), so a stray huge file is never loaded whole.
inline constexpr std::size_t kIniMaxFileSize = 16u * 1024u * 1024u;

// The key's value as an integer: its leading decimal number (blanks skipped,
// optional sign); a value that is not a number gives 0. A missing or empty
// value gives def.
int IniReadInt(const std::string& path, const std::string& section, const std::string& key,
               int def);

// The key's value with surrounding blanks removed, and a pair of matching
// quotes around it removed, cut to kIniMaxValueLength characters (and at a
// NUL byte). A missing key gives def, itself cut the same way and stripped of
// trailing blanks.
std::string IniReadString(const std::string& path, const std::string& section,
                          const std::string& key, const std::string& def);

// The keys of one section as one read of the file found them, answering with
// exactly the meaning of IniReadString and IniReadInt. A settings load asks
// for dozens of keys; this reads and parses the file once for all of them
// (and sees one consistent version of it) instead of once per key.
class IniSectionReader {
  public:
    IniSectionReader(std::string path, std::string section);

    std::string ReadString(const std::string& key, const std::string& def) const;
    int ReadInt(const std::string& key, int def) const;

  private:
    std::string path_;
    std::string section_;
    // Where the file itself is parsed here: the section's keys in file order
    // with their raw values (the first of a repeated name wins on lookup).
    std::vector<std::pair<std::string, std::string>> keys_;
};

// Sets one key. False (file untouched) when the file cannot be read or
// replaced, or when a name or value would break the file's structure (line
// ends in any text, an empty key, "=" in a key, "]" in a section name).
bool IniWriteString(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value);

// Sets several keys of one section with one replacement of the file: all of
// them reach the file or none does.
bool IniWriteStrings(const std::string& path, const std::string& section,
                     const std::vector<std::pair<std::string, std::string>>& entries);

}  // namespace korvane::platform

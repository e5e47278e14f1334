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
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace korvane::platform {

// Names of sections and keys compared as the profile functions compare
// them: equal when equal but for the case of ASCII letters.
inline char FoldAsciiCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
struct NameHash {
    std::size_t operator()(std::string_view name) const {
        std::uint64_t h = 14695981039346656037ull;  // FNV-1a
        for (const char c : name) {
            h = (h ^ static_cast<unsigned char>(FoldAsciiCase(c))) * 1099511628211ull;
        }
        return static_cast<std::size_t>(h);
    }
};
struct NameEqual {
    bool operator()(std::string_view a, std::string_view b) const {
        if (a.size() != b.size()) {
            return false;
        }
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (FoldAsciiCase(a[i]) != FoldAsciiCase(b[i])) {
                return false;
            }
        }
        return true;
    }
};
template <typename Value>
using NameMap = std::unordered_map<std::string, Value, NameHash, NameEqual>;

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
    // Where the file itself is parsed here: the section's raw values by key
    // name, found under any ASCII case (the first of a repeated name wins).
    NameMap<std::string> keys_;
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

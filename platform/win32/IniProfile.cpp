#include "platform/IniProfile.h"

#include <algorithm>
#include <atomic>
#include <string_view>

#include "platform/common/IniWriteRules.h"
#include "platform/win32/WinHandle.h"

namespace korvane::platform {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool TooLarge(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        return false;  // missing: the defaults apply
    }
    const unsigned long long size =
        (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return size > kIniMaxFileSize;
}

bool Exists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A name beside the target for the copy being edited: same directory, so
// the final move is a rename on one volume.
std::string TemporaryBeside(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    return path + ".tmp" + std::to_string(::GetCurrentProcessId()) + "-" +
           std::to_string(counter.fetch_add(1));
}

// The leading decimal number (blanks skipped, optional sign), limited to the
// int range; 0 when there is none.
int LeadingInt(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && IsBlank(s[i])) {
        ++i;
    }
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    constexpr long long kLimit = 2147483648LL;  // INT_MAX + 1
    long long magnitude = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        magnitude = std::min(magnitude * 10 + (s[i] - '0'), kLimit);
    }
    if (negative) {
        return static_cast<int>(-magnitude);
    }
    return static_cast<int>(std::min(magnitude, kLimit - 1));
}

// Writes the finished copy over the file in place. Readers open files
// sharing writes, so this works where a move over the file does not.
bool CopyInPlace(const std::string& from, const std::string& to) {
    win32::Handle source(::CreateFileA(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!source.Valid()) {
        return false;
    }
    std::string bytes;
    char chunk[16384];
    DWORD n = 0;
    while (::ReadFile(source.Get(), chunk, sizeof chunk, &n, nullptr) && n > 0) {
        bytes.append(chunk, n);
    }
    win32::Handle target(::CreateFileA(to.c_str(), GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!target.Valid()) {
        return false;
    }
    DWORD written = 0;
    return ::WriteFile(target.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                       nullptr) &&
           written == bytes.size() && ::SetEndOfFile(target.Get()) &&
           ::FlushFileBuffers(target.Get());
}

// Moves the finished copy over the file. A process reading the file without
// sharing its deletion (the C library's fopen opens files so) stops the
// move; such readers are brief, so the move is tried again for a moment and
// then the copy is written over the file in place: the settings are saved
// rather than lost.
bool ReplaceWithCopy(const std::string& temp, const std::string& path) {
    constexpr int kAttempts = 10;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (::MoveFileExA(temp.c_str(), path.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) {
            return false;
        }
        ::Sleep(10);
    }
    if (!CopyInPlace(temp, path)) {
        return false;
    }
    ::DeleteFileA(temp.c_str());
    return true;
}

}  // namespace

// GetPrivateProfileInt wraps a number past the int range around; the value
// is read as text and its leading number limited to the range instead.
int IniReadInt(const std::string& path, const std::string& section, const std::string& key,
               int def) {
    if (TooLarge(path)) {
        return def;
    }
    char buffer[kIniMaxValueLength + 1] = {};
    const DWORD n = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer,
                                               sizeof buffer, path.c_str());
    return n == 0 ? def : LeadingInt(std::string_view(buffer, n));
}

std::string IniReadString(const std::string& path, const std::string& section,
                          const std::string& key, const std::string& def) {
    std::string fallback = def.substr(0, def.find('\0')).substr(0, kIniMaxValueLength);
    while (!fallback.empty() && IsBlank(fallback.back())) {
        fallback.pop_back();
    }
    if (TooLarge(path)) {
        return fallback;
    }
    char buffer[kIniMaxValueLength + 1] = {};
    const DWORD n = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(),
                                               buffer, sizeof buffer, path.c_str());
    return std::string(buffer, n);
}

// The profile functions keep no state between calls, so the reader asks
// them key by key; what it answers is the same as a read of each key.
IniSectionReader::IniSectionReader(std::string path, std::string section)
    : path_(std::move(path)), section_(std::move(section)) {}

std::string IniSectionReader::ReadString(const std::string& key, const std::string& def) const {
    return IniReadString(path_, section_, key, def);
}

int IniSectionReader::ReadInt(const std::string& key, int def) const {
    return IniReadInt(path_, section_, key, def);
}

bool IniWriteString(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value) {
    return IniWriteStrings(path, section, {{key, value}});
}

// The profile functions rewrite the file in place, so every change is made
// on a copy that then replaces the file in one move: a reader, or a crash
// in the middle, sees the old file or the new one.
bool IniWriteStrings(const std::string& path, const std::string& section,
                     const std::vector<std::pair<std::string, std::string>>& entries) {
    if (!IniWriteWritable(section, entries)) {
        return false;
    }
    if (TooLarge(path)) {
        return false;
    }
    const std::string temp = TemporaryBeside(path);
    if (Exists(path) && !::CopyFileA(path.c_str(), temp.c_str(), FALSE)) {
        return false;
    }
    bool ok = true;
    for (const auto& [key, value] : entries) {
        if (!::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(),
                                          temp.c_str())) {
            ok = false;
            break;
        }
    }
    // Nothing to write still leaves a file behind, as a write of one key does.
    if (ok && entries.empty() && !Exists(temp)) {
        HANDLE h = ::CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        ok = h != INVALID_HANDLE_VALUE;
        if (ok) {
            ::CloseHandle(h);
        }
    }
    // Push the profile layer's copy of the temporary file out before it moves.
    ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, temp.c_str());
    if (ok) {
        ok = ReplaceWithCopy(temp, path);
    }
    if (!ok) {
        const DWORD error = ::GetLastError();
        ::DeleteFileA(temp.c_str());
        ::SetLastError(error);
    }
    return ok;
}

}  // namespace korvane::platform

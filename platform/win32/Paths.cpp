#include "platform/Paths.h"

#include "platform/win32/WinHandle.h"

#include <shlwapi.h>
// The shell header maps these names to their A/W variants; this file
// defines the platform functions of the same names.
#undef PathAppend
#undef PathIsRelative

namespace korvane::platform {
namespace {

// The shell functions know only the backslash; hosts sometimes hand over
// forward slashes, which the file system accepts alike.
std::string Native(const std::string& path) {
    std::string out = path;
    for (char& c : out) {
        if (c == '/') {
            c = '\\';
        }
    }
    return out;
}

bool FitsMaxPath(const std::string& s) {
    return s.size() < MAX_PATH && s.find('\0') == std::string::npos;
}

}  // namespace

char PathSeparator() {
    return '\\';
}

std::string JoinPath(const std::string& dir, const std::string& file) {
    if (dir.empty()) {
        return "\\" + file;
    }
    if (dir.back() == '\\' || dir.back() == '/') {
        return dir + file;
    }
    return dir + "\\" + file;
}

bool RelativePathTo(const std::string& fromDir, const std::string& toFile, std::string& out) {
    if (fromDir.empty() || toFile.empty() || !FitsMaxPath(fromDir) || !FitsMaxPath(toFile)) {
        return false;
    }
    char buffer[MAX_PATH] = {};
    if (!::PathRelativePathToA(buffer, Native(fromDir).c_str(), FILE_ATTRIBUTE_DIRECTORY,
                               Native(toFile).c_str(), FILE_ATTRIBUTE_NORMAL)) {
        return false;
    }
    out = buffer;
    return true;
}

bool PathIsRelative(const std::string& path) {
    if (path.empty()) {
        return true;
    }
    if (!FitsMaxPath(path)) {
        return false;
    }
    return ::PathIsRelativeA(Native(path).c_str()) != FALSE;
}

bool PathAppend(std::string& base, const std::string& more, std::size_t maxLen) {
    if (!FitsMaxPath(base) || !FitsMaxPath(more)) {
        return false;
    }
    char buffer[MAX_PATH] = {};
    const std::string nativeBase = Native(base);
    nativeBase.copy(buffer, nativeBase.size());
    if (!::PathAppendA(buffer, Native(more).c_str())) {
        return false;
    }
    const std::string joined = buffer;
    if (joined.size() > maxLen) {
        return false;
    }
    base = joined;
    return true;
}

}  // namespace korvane::platform

#include "tests/support/PlatformText.h"

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#endif

namespace korvane::test {

char Separator() {
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

std::string NativePath(std::string path) {
    std::replace(path.begin(), path.end(), '/', Separator());
    return path;
}

std::string JoinNative(const std::string& dir, const std::string& name) {
    return dir + Separator() + name;
}

std::string NativeLines(const std::string& text) {
#ifdef _WIN32
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    return out;
#else
    return text;
#endif
}

std::string ProfileText(const std::string& text) {
    if (!RunningUnderWine()) {
        return NativeLines(text);
    }
    std::string kept;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string line = text.substr(start, end - start);
        if (line != "\n") {
            kept += line;
        }
        start = end;
    }
    return NativeLines(kept);
}

bool RunningUnderWine() {
#ifdef _WIN32
    // Wine's ntdll exports its version; Windows' does not.
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

}  // namespace korvane::test

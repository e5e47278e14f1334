#include "platform/Paths.h"

#include <vector>

namespace korvane::platform {
namespace {

std::vector<std::string> SplitComponents(const std::string& path) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : path) {
        if (c == '/') {
            if (!current.empty()) {
                parts.push_back(current);
            }
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty()) {
        parts.push_back(current);
    }
    return parts;
}

// Lexical folding of "." and ".." (no file system access, as the shell
// functions do). A ".." at the root of an absolute path stays at the root.
std::vector<std::string> Fold(const std::vector<std::string>& parts, bool absolute) {
    std::vector<std::string> out;
    for (const auto& p : parts) {
        if (p == ".") {
            continue;
        }
        if (p == "..") {
            if (!out.empty() && out.back() != "..") {
                out.pop_back();
            } else if (!absolute) {
                out.push_back(p);
            }
            continue;
        }
        out.push_back(p);
    }
    return out;
}

std::string Assemble(const std::vector<std::string>& parts, bool absolute) {
    std::string s = absolute ? "/" : "";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            s += '/';
        }
        s += parts[i];
    }
    return s;
}

}  // namespace

char PathSeparator() {
    return '/';
}

std::string JoinPath(const std::string& dir, const std::string& file) {
    if (dir.empty()) {
        return "/" + file;
    }
    if (dir.back() == '/') {
        return dir + file;
    }
    return dir + "/" + file;
}

bool RelativePathTo(const std::string& fromDir, const std::string& toFile, std::string& out) {
    if (fromDir.empty() || toFile.empty()) {
        return false;
    }
    const bool fromAbs = fromDir.front() == '/';
    const bool toAbs = toFile.front() == '/';
    if (fromAbs != toAbs) {
        return false;
    }
    auto from = Fold(SplitComponents(fromDir), fromAbs);
    auto to = Fold(SplitComponents(toFile), toAbs);
    if (to.empty()) {
        return false;
    }
    std::size_t common = 0;
    // The file's own name never counts as a shared directory.
    while (common < from.size() && common + 1 < to.size() && from[common] == to[common]) {
        ++common;
    }
    if (!fromAbs && common == 0 && !(from.empty())) {
        // Two relative paths without a shared first component have no
        // common root to climb to.
        return false;
    }
    // Built with push_back: g++ 12 under AddressSanitizer warns falsely
    // about overlapping copies for assignments of short literals here.
    std::string rel;
    if (common == from.size()) {
        rel.push_back('.');
    } else {
        for (std::size_t i = common; i < from.size(); ++i) {
            if (i != common) {
                rel.push_back('/');
            }
            rel.push_back('.');
            rel.push_back('.');
        }
    }
    for (std::size_t i = common; i < to.size(); ++i) {
        rel += '/';
        rel += to[i];
    }
    out = rel;
    return true;
}

bool PathIsRelative(const std::string& path) {
    return path.empty() || path.front() != '/';
}

bool PathAppend(std::string& base, const std::string& more, std::size_t maxLen) {
    const bool absolute = !base.empty() && base.front() == '/';
    auto parts = SplitComponents(base);
    for (auto& p : SplitComponents(more)) {
        parts.push_back(std::move(p));
    }
    std::string joined = Assemble(Fold(parts, absolute), absolute);
    if (joined.size() > maxLen) {
        return false;
    }
    base = joined;
    return true;
}

}  // namespace korvane::platform

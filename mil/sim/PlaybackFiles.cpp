#include "mil/sim/PlaybackFiles.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace korvane::mil::sim {
namespace {

namespace fs = std::filesystem;

bool EndsWithPgm(const std::string& name) {
    if (name.size() < 4) {
        return false;
    }
    std::string tail = name.substr(name.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return tail == ".pgm";
}

// The regular files of folder whose names the filter takes, sorted.
template <typename Filter>
bool ListFolder(const fs::path& folder, Filter take, std::vector<std::string>& files,
                std::string& error) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) {
        error = "folder " + folder.string() + " cannot be listed: " + ec.message();
        return false;
    }
    std::vector<std::pair<std::string, std::string>> found;  // name, path
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) {
            error = "folder " + folder.string() + " cannot be listed: " + ec.message();
            return false;
        }
        std::error_code typeError;
        const std::string name = it->path().filename().string();
        if (it->is_regular_file(typeError) && take(name)) {
            found.emplace_back(name, it->path().string());
        }
    }
    std::sort(found.begin(), found.end());
    for (auto& entry : found) {
        files.push_back(std::move(entry.second));
    }
    return true;
}

}  // namespace

bool WildcardMatch(const std::string& pattern, const std::string& name) {
    // Greedy matching with one back-track point: the last '*' seen.
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t star = std::string::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            starName = n;
        } else if (star != std::string::npos) {
            p = star + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

bool ListPlaybackFiles(const std::string& source, std::vector<std::string>& files,
                       std::string& error) {
    files.clear();
    const fs::path path(source);
    std::error_code ec;
    if (fs::is_regular_file(path, ec)) {
        files.push_back(source);
        return true;
    }
    if (fs::is_directory(path, ec)) {
        if (!ListFolder(path, EndsWithPgm, files, error)) {
            return false;
        }
        if (files.empty()) {
            error = "folder " + source + " holds no .pgm file";
            return false;
        }
        return true;
    }
    const std::string pattern = path.filename().string();
    if (pattern.find_first_of("*?") == std::string::npos) {
        error = source + " is no file or folder";
        return false;
    }
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    if (!ListFolder(
            folder, [&pattern](const std::string& name) { return WildcardMatch(pattern, name); },
            files, error)) {
        return false;
    }
    if (files.empty()) {
        error = "pattern " + source + " matches no file";
        return false;
    }
    return true;
}

}  // namespace korvane::mil::sim

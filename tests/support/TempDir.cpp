#include "tests/support/TempDir.h"

#include "tests/support/PlatformText.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace korvane::test {

TempDir::TempDir() {
    std::string base = std::filesystem::temp_directory_path().string();
    if (const char* root = std::getenv("KORVANE_TEST_TMP"); root != nullptr && *root != '\0') {
        std::filesystem::create_directories(root);
        base = root;
    }
    std::string pattern = JoinNative(base, "korvane-XXXXXX");
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary directory under " + base);
    }
    // An absolute path in the system's own form, the way the driver gives
    // paths back (on Windows with a drive letter and backslashes).
    path_ = std::filesystem::absolute(pattern).make_preferred().string();
}

std::string TempDir::File(const std::string& name) const {
    return JoinNative(path_, NativePath(name));
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

}  // namespace korvane::test

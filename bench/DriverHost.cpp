#include "bench/DriverHost.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace bench {
namespace {

korvane::loader::Driver Load() {
    korvane::loader::Driver driver;
    std::string error;
    if (!driver.Load(KORVANE_LIBRARY_PATH, error)) {
        std::fprintf(stderr, "benchmark: %s\n", error.c_str());
        std::abort();
    }
    return driver;
}

}  // namespace

const DriverHost& Driver() {
    static const korvane::loader::Driver driver = Load();
    return driver.Api();
}

std::string MakeScratchDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "korvane-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::abort();
    }
    return pattern;
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

}  // namespace bench

#pragma once
// A scratch directory for the fuzz targets that need their input as a file:
// created once per process (in memory when /dev/shm is there) and removed
// at exit.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace korvane::fuzz {

class ScratchDir {
  public:
    ScratchDir() {
        std::string base = std::filesystem::exists("/dev/shm")
                               ? std::string("/dev/shm")
                               : std::filesystem::temp_directory_path().string();
        std::string pattern = base + "/korvane-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

inline void WriteBytes(const std::string& path, const unsigned char* data, std::size_t size) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        std::abort();
    }
    if (size > 0 && std::fwrite(data, 1, size, out) != size) {
        std::abort();
    }
    if (std::fclose(out) != 0) {
        std::abort();
    }
}

}  // namespace korvane::fuzz

#pragma once
// A scratch directory for the fuzz targets that need their input as a file:
// created once per process (in memory when /dev/shm is there) and removed
// at exit.
#include <cstdlib>
#include <filesystem>
#include <fstream>
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
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace korvane::fuzz

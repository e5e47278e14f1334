#pragma once
// A fresh directory per test, removed with everything in it afterwards.
#include <string>

namespace korvane::test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // A file in the directory; '/' in name stands for the system's separator.
    std::string File(const std::string& name) const;

  private:
    std::string path_;
};

// Whole file as text ("" when missing).
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);

}  // namespace korvane::test

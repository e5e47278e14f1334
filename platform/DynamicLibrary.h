#pragma once
// A shared library loaded at run time, unloaded when the handle goes.
#include <string>

namespace korvane::platform {

class DynamicLibrary {
  public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // Loads the library at path (any library held before is released).
    // False with the loader's reason in error when it cannot be loaded.
    bool Open(const std::string& path, std::string& error);
    bool IsOpen() const { return handle_ != nullptr; }
    const std::string& Path() const { return path_; }

    // The address of an exported symbol by name; null with the reason in
    // error when the library does not export it.
    void* Symbol(const std::string& name, std::string& error) const;

    // The address of the export with this ordinal. Only Windows libraries
    // carry ordinals: elsewhere this answers null with an explanation.
    void* Ordinal(int ordinal, std::string& error) const;

    void Close();

  private:
    void* handle_ = nullptr;
    std::string path_;
};

// The folder of the running program, "." when the system cannot say.
std::string ExecutableDirectory();

// The folder of the program or library whose code holds address (a function
// of that module), "." when the system cannot say. A library uses it to find
// files shipped beside itself.
std::string ModuleDirectory(const void* address);

}  // namespace korvane::platform

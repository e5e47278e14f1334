#pragma once
// Named shared memory: a mapping object that processes open by name, and a
// view of it mapped into this process.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace korvane::platform {

// The mapped bytes of a mapping; unmapped on destruction.
class MappedView {
  public:
    ~MappedView();
    MappedView(const MappedView&) = delete;
    MappedView& operator=(const MappedView&) = delete;

    std::uint8_t* Data() const { return data_; }
    // The size of the mapped region: whole pages, at least the mapping's size.
    std::size_t RegionSize() const { return size_; }

  private:
    friend class FileMapping;
    MappedView(std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t* data_;
    std::size_t size_;
};

class FileMapping {
  public:
    // Creates a zero-filled mapping of at least size bytes (whole pages, one
    // at least), or opens the one that exists under the name as it is, with
    // its own size (last error 183 then, 0 for a new one). Null with the
    // last error set on failure: 6 when the name is held by another kind of
    // object.
    static std::unique_ptr<FileMapping> Create(const std::string& name, std::uint32_t size);
    // Opens an existing mapping; null with last error 2 when there is none.
    static std::unique_ptr<FileMapping> Open(const std::string& name);

    ~FileMapping();
    FileMapping(const FileMapping&) = delete;
    FileMapping& operator=(const FileMapping&) = delete;

    // Maps the whole object for reading and writing; null with the last
    // error set on failure. A view stays valid after the mapping is gone.
    std::unique_ptr<MappedView> MapView() const;

    struct Impl;

  private:
    explicit FileMapping(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace korvane::platform

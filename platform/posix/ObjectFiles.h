#pragma once
// Files behind the named objects of the POSIX platform: the checked runtime
// directory, and an object file that lives as long as a process holds it.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "platform/NamedObjects.h"

namespace korvane::platform::posix {

// Sends a complaint to the installed report procedure.
void Report(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Makes sure the runtime directory and the folder of the kind exist and are
// safe (ours, a real directory, closed to group and others). With create
// false nothing is created and a missing folder answers false with last
// error 2. An unsafe directory is reported and answers last error 5.
bool PrepareFolder(ObjectKind kind, bool create);

// An open file descriptor, closed on destruction.
class FileHandle {
  public:
    FileHandle() = default;
    explicit FileHandle(int fd) : fd_(fd) {}
    ~FileHandle();
    FileHandle(FileHandle&& other) noexcept : fd_(other.Release()) {}
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void Reset(int fd = -1);

  private:
    int fd_ = -1;
};

// A named object's file, open for reading and writing. Every holder keeps a
// shared lock on it; the holder that lets go last (the only one that can
// take the lock exclusively) removes the name, as the last handle of a
// kernel object makes the object go. A holder that dies leaves the file for
// the next creator, who opens it as it is.
class ObjectFile {
  public:
    // Fills a fresh file before it gets its name (so nobody opens it half
    // made); false aborts the creation with the last error set.
    using Initialiser = std::function<bool(int fd)>;

    // Opens the existing object (last error 183) or creates it with the
    // given byte size and initialiser (last error 0). Null with the last
    // error set on failure; 6 when another kind holds the name.
    static std::unique_ptr<ObjectFile> Create(ObjectKind kind, const std::string& name,
                                              std::size_t bytes, const Initialiser& init);
    // Opens an existing object; null with last error 2 when there is none.
    static std::unique_ptr<ObjectFile> Open(ObjectKind kind, const std::string& name);

    ~ObjectFile();
    ObjectFile(const ObjectFile&) = delete;
    ObjectFile& operator=(const ObjectFile&) = delete;

    int Fd() const { return fd_.Get(); }
    // Byte size of the file now.
    std::size_t Size() const;

  private:
    ObjectFile(FileHandle fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}
    FileHandle fd_;
    std::string path_;
};

// Size of a memory page.
std::size_t PageSize();

}  // namespace korvane::platform::posix

#pragma once
// A block of memory that one process creates under a name and others open
// under the same name, guarded by the named mutex name + "Mutex". The block
// has no header; its layout is agreed between server and client.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/FileMapping.h"
#include "platform/NamedMutex.h"

namespace korvane {

class CSharedMemory {
  public:
    CSharedMemory();
    ~CSharedMemory();
    CSharedMemory(const CSharedMemory&) = delete;
    CSharedMemory& operator=(const CSharedMemory&) = delete;

    // Releases what the object holds, then creates the segment and its
    // mutex (or with openExisting opens them). Logs its failures.
    bool Create(const char* name, bool openExisting, std::int32_t size);
    void Release();

    // Wait without time limit / release. On a released object they log and
    // throw the text "err".
    bool Lock();
    bool Unlock();

    // Whole-block copies under the mutex, from or to the start of the
    // segment. The count is cut to the mapped region; false when nothing
    // was copied.
    bool Write(const void* source, std::uint32_t count);
    bool Read(void* destination, std::uint32_t count);

    bool IsInitialised() const { return initialised_; }
    std::uint32_t Size() const { return size_; }
    const std::string& Name() const { return name_; }
    // The mapped region (whole pages); 0 when released.
    std::size_t RegionSize() const;
    // The mapped bytes, for writing in place between Lock and Unlock; null
    // when released.
    std::uint8_t* View() const;

  private:
    bool TakeMutex();
    void GiveMutex();

    std::unique_ptr<platform::FileMapping> mapping_;
    std::unique_ptr<platform::MappedView> view_;
    std::unique_ptr<platform::NamedMutex> mutex_;
    std::uint32_t size_ = 0;
    std::string name_;
    bool initialised_ = false;
};

}  // namespace korvane

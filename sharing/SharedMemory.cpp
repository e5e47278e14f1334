#include "sharing/SharedMemory.h"

#include <algorithm>
#include <cstring>

#include "driver/DriverLog.h"
#include "platform/NamedObjects.h"
#include "platform/SystemError.h"
#include "sharing/PlatformReports.h"

namespace korvane {

CSharedMemory::CSharedMemory() = default;

CSharedMemory::~CSharedMemory() {
    Release();
}

bool CSharedMemory::Create(const char* name, bool openExisting, std::int32_t size) {
    RoutePlatformReports();
    Release();
    if (name == nullptr || *name == '\0') {
        KLOG(kError, "CSharedMemory::CSharedMemory: ERROR: name is empty\n");
        return false;
    }
    if (!openExisting && size <= 0) {
        KLOG(kError,
             "CSharedMemory::CSharedMemory: ERROR: when creating, size must be postive and "
             "non-zero\n");
        return false;
    }
    // A name that cannot be a segment's is refused (and reported) before
    // its mutex is made.
    if (!platform::CheckObjectName(name, platform::ObjectKind::Mapping)) {
        return false;
    }
    const std::string mutexName = std::string(name) + "Mutex";
    auto mutex = platform::NamedMutex::Create(mutexName);
    if (!mutex) {
        KLOG(kError, "CSharedMemory::CSharedMemory: ERROR: Could not allocate mutex object %s\n",
             mutexName.c_str());
        return false;
    }
    auto mapping = openExisting
                       ? platform::FileMapping::Open(name)
                       : platform::FileMapping::Create(name, static_cast<std::uint32_t>(size));
    const platform::ErrorCode mappingError = platform::LastError();
    if (!mapping) {
        if (mappingError == platform::kErrorInvalidHandle) {
            KLOG(kError,
                 "CSharedMemory::CSharedMemory: ERROR: Shared memory segment already in use\n");
        } else {
            KLOG(kError,
                 "CSharedMemory::CSharedMemory: ERROR: Unable to access shared memory segment, "
                 "err=%d\n",
                 static_cast<int>(mappingError));
        }
        return false;
    }
    if (mappingError == platform::kErrorAlreadyExists) {
        KLOG(kProgress,
             "CSharedMemory::CSharedMemory: WARNING: Shared memory segment already exists\n");
    }
    auto view = mapping->MapView();
    if (!view) {
        KLOG(kError,
             "CSharedMemory::CSharedMemory: ERROR: Unable to map shared memory segment, err=%d\n",
             static_cast<int>(platform::LastError()));
        return false;
    }
    if (view->RegionSize() < static_cast<std::uint32_t>(size)) {
        KLOG(kError,
             "CSharedMemory::CSharedMemory: ERROR: Failed allocate required size shared memory "
             "for image\n");
        return false;
    }
    mutex_ = std::move(mutex);
    mapping_ = std::move(mapping);
    view_ = std::move(view);
    size_ = static_cast<std::uint32_t>(size);
    name_ = name;
    initialised_ = true;
    return true;
}

void CSharedMemory::Release() {
    if (!initialised_) {
        return;
    }
    if (mutex_) {
        mutex_->Unlock();  // fails when we do not hold it, which is the usual case
        mutex_.reset();
    }
    view_.reset();
    mapping_.reset();
    size_ = 0;
    name_.clear();
    initialised_ = false;
}

bool CSharedMemory::Lock() {
    if (!initialised_ || !mutex_) {
        KLOG(kError, "CSharedMemory::Lock: object not initialized\n");
        throw "err";
    }
    return mutex_->Lock() != platform::NamedMutex::LockResult::Failed;
}

bool CSharedMemory::Unlock() {
    if (!initialised_ || !mutex_) {
        KLOG(kError, "CSharedMemory::Unlock: object not initialized\n");
        throw "err";
    }
    return mutex_->Unlock();
}

std::size_t CSharedMemory::RegionSize() const {
    return view_ ? view_->RegionSize() : 0;
}

std::uint8_t* CSharedMemory::View() const {
    return view_ ? view_->Data() : nullptr;
}

bool CSharedMemory::TakeMutex() {
    return !mutex_ || mutex_->Lock() != platform::NamedMutex::LockResult::Failed;
}

void CSharedMemory::GiveMutex() {
    if (mutex_) {
        mutex_->Unlock();
    }
}

bool CSharedMemory::Write(const void* source, std::uint32_t count) {
    if (!view_ || !TakeMutex()) {
        return false;
    }
    std::memcpy(view_->Data(), source, std::min<std::size_t>(count, view_->RegionSize()));
    GiveMutex();
    return true;
}

bool CSharedMemory::Read(void* destination, std::uint32_t count) {
    if (!view_ || !TakeMutex()) {
        return false;
    }
    std::memcpy(destination, view_->Data(), std::min<std::size_t>(count, view_->RegionSize()));
    GiveMutex();
    return true;
}

}  // namespace korvane

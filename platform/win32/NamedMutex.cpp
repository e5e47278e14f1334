#include "platform/NamedMutex.h"

#include "platform/NamedObjects.h"
#include "platform/SystemError.h"
#include "platform/win32/WinHandle.h"

namespace korvane::platform {

struct NamedMutex::Impl {
    win32::Handle mutex;
};

NamedMutex::NamedMutex(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

NamedMutex::~NamedMutex() = default;

std::unique_ptr<NamedMutex> NamedMutex::Create(const std::string& name) {
    if (!CheckObjectName(name, ObjectKind::Mutex)) {
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->mutex.Reset(::CreateMutexA(nullptr, FALSE, name.c_str()));
    if (!impl->mutex.Valid()) {
        return nullptr;
    }
    // The last error (183 for an existing mutex) stays for the caller.
    const DWORD opened = ::GetLastError();
    auto result = std::unique_ptr<NamedMutex>(new NamedMutex(std::move(impl)));
    ::SetLastError(opened);
    return result;
}

std::unique_ptr<NamedMutex> NamedMutex::Open(const std::string& name) {
    if (!CheckObjectName(name, ObjectKind::Mutex)) {
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->mutex.Reset(::OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str()));
    if (!impl->mutex.Valid()) {
        return nullptr;
    }
    return std::unique_ptr<NamedMutex>(new NamedMutex(std::move(impl)));
}

NamedMutex::LockResult NamedMutex::Lock() {
    switch (::WaitForSingleObject(impl_->mutex.Get(), INFINITE)) {
        case WAIT_OBJECT_0:
            return LockResult::Acquired;
        case WAIT_ABANDONED:
            // The holder ended without releasing it: what it guarded may be
            // half written, but the mutex is ours now.
            return LockResult::Abandoned;
        default:
            return LockResult::Failed;
    }
}

bool NamedMutex::Unlock() {
    // Fails with 288 when the calling thread does not own it.
    return ::ReleaseMutex(impl_->mutex.Get()) != FALSE;
}

}  // namespace korvane::platform

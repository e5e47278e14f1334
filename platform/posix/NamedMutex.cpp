#include "platform/NamedMutex.h"

#include <pthread.h>
#include <sys/mman.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "platform/SystemError.h"
#include "platform/posix/ObjectFiles.h"

namespace korvane::platform {
namespace {

// A process-shared, robust, recursive mutex at offset 0 of the file.
bool InitialiseMutex(int fd) {
    void* page = mmap(nullptr, posix::PageSize(), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (page == MAP_FAILED) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    const int rc = pthread_mutex_init(static_cast<pthread_mutex_t*>(page), &attr);
    pthread_mutexattr_destroy(&attr);
    munmap(page, posix::PageSize());
    if (rc != 0) {
        SetLastErrorFromErrno(rc);
        return false;
    }
    return true;
}

}  // namespace

struct NamedMutex::Impl {
    std::unique_ptr<posix::ObjectFile> file;
    pthread_mutex_t* mutex = nullptr;
    // Which thread of this process holds the mutex through this object,
    // and how often. Unlocking a mutex one does not hold is refused here
    // rather than handed to pthread, where it is undefined for some types.
    std::atomic<std::thread::id> owner{};
    int depth = 0;  // touched by the owner only

    void Took() {
        if (owner.load() != std::this_thread::get_id()) {
            owner.store(std::this_thread::get_id());
        }
        ++depth;
    }

    ~Impl() {
        if (mutex != nullptr) {
            munmap(mutex, posix::PageSize());
        }
    }

    // Maps the mutex of an opened file; the last error tells an existing
    // object (183) from a new one, so it is kept on success.
    static std::unique_ptr<Impl> Map(std::unique_ptr<posix::ObjectFile> file) {
        if (!file) {
            return nullptr;
        }
        const ErrorCode opened = LastError();
        if (file->Size() < sizeof(pthread_mutex_t)) {
            SetLastError(kErrorInvalidData);
            return nullptr;
        }
        void* page =
            mmap(nullptr, posix::PageSize(), PROT_READ | PROT_WRITE, MAP_SHARED, file->Fd(), 0);
        if (page == MAP_FAILED) {
            SetLastErrorFromErrno(errno);
            return nullptr;
        }
        auto impl = std::make_unique<Impl>();
        impl->file = std::move(file);
        impl->mutex = static_cast<pthread_mutex_t*>(page);
        SetLastError(opened);
        return impl;
    }
};

NamedMutex::NamedMutex(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

NamedMutex::~NamedMutex() = default;

std::unique_ptr<NamedMutex> NamedMutex::Create(const std::string& name) {
    auto impl = Impl::Map(
        posix::ObjectFile::Create(ObjectKind::Mutex, name, posix::PageSize(), InitialiseMutex));
    if (!impl) {
        return nullptr;
    }
    return std::unique_ptr<NamedMutex>(new NamedMutex(std::move(impl)));
}

std::unique_ptr<NamedMutex> NamedMutex::Open(const std::string& name) {
    auto impl = Impl::Map(posix::ObjectFile::Open(ObjectKind::Mutex, name));
    if (!impl) {
        return nullptr;
    }
    return std::unique_ptr<NamedMutex>(new NamedMutex(std::move(impl)));
}

NamedMutex::LockResult NamedMutex::Lock() {
    const int rc = pthread_mutex_lock(impl_->mutex);
    if (rc == 0) {
        impl_->Took();
        return LockResult::Acquired;
    }
    if (rc == EOWNERDEAD) {
        // The holder died: what it guarded may be half written, but the
        // mutex itself is ours and usable again.
        pthread_mutex_consistent(impl_->mutex);
        impl_->Took();
        return LockResult::Abandoned;
    }
    SetLastErrorFromErrno(rc);
    return LockResult::Failed;
}

bool NamedMutex::Unlock() {
    if (impl_->owner.load() != std::this_thread::get_id()) {
        SetLastError(kErrorNotOwner);
        return false;
    }
    if (--impl_->depth == 0) {
        impl_->owner.store(std::thread::id{});
    }
    const int rc = pthread_mutex_unlock(impl_->mutex);
    if (rc == 0) {
        return true;
    }
    SetLastError(rc == EPERM ? kErrorNotOwner : ErrorFromErrno(rc));
    return false;
}

}  // namespace korvane::platform

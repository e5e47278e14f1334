#pragma once
// Lock annotations that clang's -Wthread-safety checks at compile time
// (empty for other compilers): a member marked KORVANE_GUARDED_BY(m) may be
// touched only while m is held, and the analysis proves it for every use.
// The standard mutexes and std::lock_guard carry no annotations, so guarded
// data uses the small wrappers below.
#include <mutex>

#if defined(__clang__)
#define KORVANE_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define KORVANE_THREAD_ANNOTATION(x)
#endif

#define KORVANE_CAPABILITY(name) KORVANE_THREAD_ANNOTATION(capability(name))
#define KORVANE_SCOPED_CAPABILITY KORVANE_THREAD_ANNOTATION(scoped_lockable)
#define KORVANE_GUARDED_BY(m) KORVANE_THREAD_ANNOTATION(guarded_by(m))
#define KORVANE_PT_GUARDED_BY(m) KORVANE_THREAD_ANNOTATION(pt_guarded_by(m))
#define KORVANE_REQUIRES(...) KORVANE_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define KORVANE_ACQUIRE(...) KORVANE_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define KORVANE_TRY_ACQUIRE(...) KORVANE_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
#define KORVANE_RELEASE(...) KORVANE_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define KORVANE_EXCLUDES(...) KORVANE_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))

namespace korvane::platform {

// A standard mutex the analysis knows as a lock.
template <class StdMutex>
class KORVANE_CAPABILITY("mutex") BasicMutex {
  public:
    void lock() KORVANE_ACQUIRE() { mutex_.lock(); }
    bool try_lock() KORVANE_TRY_ACQUIRE(true) { return mutex_.try_lock(); }
    void unlock() KORVANE_RELEASE() { mutex_.unlock(); }

  private:
    StdMutex mutex_;
};

using CheckedMutex = BasicMutex<std::mutex>;
using CheckedRecursiveMutex = BasicMutex<std::recursive_mutex>;

// Holds a lock (a CheckedMutex, a CheckedRecursiveMutex or a SpinLock) for its scope.
template <class Lock>
class KORVANE_SCOPED_CAPABILITY LockGuard {
  public:
    explicit LockGuard(Lock& lock) KORVANE_ACQUIRE(lock) : lock_(lock) { lock_.lock(); }
    ~LockGuard() KORVANE_RELEASE() { lock_.unlock(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

  private:
    Lock& lock_;
};

}  // namespace korvane::platform

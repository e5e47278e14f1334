// Built by clang with -Wthread-safety: touching a guarded member compiles
// only with its lock held. KORVANE_PROBE_UNLOCKED leaves the lock out, and
// that build must fail.
#include "platform/SpinLock.h"
#include "platform/ThreadSafety.h"

namespace korvane::probe {

class Counter {
  public:
    int Next() {
#if !defined(KORVANE_PROBE_UNLOCKED)
        platform::LockGuard lock(mutex_);
#endif
        return ++value_;
    }
    int NextRow() {
#if !defined(KORVANE_PROBE_UNLOCKED)
        platform::LockGuard lock(spin_);
#endif
        return ++row_;
    }

  private:
    platform::CheckedMutex mutex_;
    int value_ KORVANE_GUARDED_BY(mutex_) = 0;
    platform::SpinLock spin_;
    int row_ KORVANE_GUARDED_BY(spin_) = 0;
};

int Use();
int Use() {
    Counter counter;
    return counter.Next() + counter.NextRow();
}

}  // namespace korvane::probe

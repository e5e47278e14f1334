#pragma once
// A lock for very short critical sections taken many thousand times a second
// (one per delivered row): uncontended it costs two atomic operations, where
// a mutex costs noticeably more on some virtual machines.
#include <atomic>
#include <thread>

#include "platform/ThreadSafety.h"

namespace korvane::platform {

class KORVANE_CAPABILITY("spin lock") SpinLock {
  public:
    void lock() noexcept KORVANE_ACQUIRE() {
        for (;;) {
            if (!locked_.exchange(true, std::memory_order_acquire)) {
                return;
            }
            // Wait without hammering the cache line; give the core away when
            // the holder is slow (a frame being rendered, say).
            for (int spins = 0; locked_.load(std::memory_order_relaxed); ++spins) {
                if (spins > 64) {
                    std::this_thread::yield();
                }
            }
        }
    }
    bool try_lock() noexcept KORVANE_TRY_ACQUIRE(true) {
        return !locked_.exchange(true, std::memory_order_acquire);
    }
    void unlock() noexcept KORVANE_RELEASE() { locked_.store(false, std::memory_order_release); }

  private:
    std::atomic<bool> locked_{false};
};

}  // namespace korvane::platform

#pragma once
// An object with static storage that is destroyed only when it is idle. A
// host may exit without finalize while a camera grabs: its grab thread goes
// on calling the simulator while the process runs its exit handlers, so the
// object must outlive them then. After an orderly finalize it is idle and
// goes with the library, so a host that unloads the library leaves nothing
// behind. T says which by its Idle(). When the process ends the Windows
// way the grab threads are already gone and may have left a lock of T
// taken: T is then neither asked nor destroyed.
#include <new>
#include <utility>

#include "platform/ProcessExit.h"

namespace korvane::mil::sim {

template <typename T>
class Lasting {
  public:
    template <typename... Args>
    explicit Lasting(Args&&... args) {
        // Placement into the object's own storage (std::construct_at would
        // need T's constructor to be public).
        ::new (static_cast<void*>(storage_)) T(std::forward<Args>(args)...);
    }
    ~Lasting() {
        if (!platform::ProcessIsEnding() && get().Idle()) {
            get().~T();
        }
    }
    Lasting(const Lasting&) = delete;
    Lasting& operator=(const Lasting&) = delete;

    T& get() { return *Pointer(); }
    const T& get() const { return *std::launder(reinterpret_cast<const T*>(storage_)); }

  private:
    T* Pointer() { return std::launder(reinterpret_cast<T*>(storage_)); }

    alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace korvane::mil::sim

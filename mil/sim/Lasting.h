#pragma once
// An object with static storage that is never destroyed. A host may exit
// without finalize while a camera grabs: its grab thread goes on calling the
// simulator while the process runs its exit handlers, so what that thread
// reaches must outlive them. Keep what such an object owns small and free
// it on the orderly way out (the simulator empties its registry when the
// application is freed): a host that unloads the library after finalize
// must leave nothing behind for the leak checker to report.
#include <new>
#include <utility>

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
    ~Lasting() = default;  // on purpose: the object stays
    Lasting(const Lasting&) = delete;
    Lasting& operator=(const Lasting&) = delete;

    T& get() { return *Pointer(); }
    const T& get() const { return *std::launder(reinterpret_cast<const T*>(storage_)); }

  private:
    T* Pointer() { return std::launder(reinterpret_cast<T*>(storage_)); }

    alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace korvane::mil::sim

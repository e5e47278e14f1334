#pragma once
// The grab state a camera shares with its grab thread. It is held by both
// through a shared pointer, so a grab thread that outlives its camera (a
// library grab that never returns) still writes into live memory.
#include <atomic>
#include <shared_mutex>

#include "korvane/korvane.h"

namespace korvane {

struct GrabFlags {
    std::atomic<bool> grabInProgress{false};
    std::atomic<bool> continuous{false};
    std::atomic<CompleteCallback> completeCallback{nullptr};
    // ShareCamera as the grab thread sees it: refreshed whenever the
    // camera's settings are loaded or replaced.
    std::atomic<int> shareCamera{0};
    // Held exclusively while the library grabs into the buffer and shared
    // while the share server copies the frame out, so a published frame is
    // never a mix of two grabs (continuous mode grabs again at once).
    std::shared_timed_mutex frameLock;
};

}  // namespace korvane

#pragma once
// Template parts of ShareTestSupport.h.
#include <chrono>
#include <thread>

namespace korvane::test {

template <typename F>
bool Eventually(F condition, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (condition()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

}  // namespace korvane::test

#pragma once
// The bare baselines the benchmarks hold their figures against, measured in
// the same run: a median, a thread-to-thread wake-up round trip and a memcpy
// of a frame. Header-only, so every benchmark program can use them.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace bench {

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// Median round trip of a wake-up from one thread to another and back.
inline double PingPongMedianUs(int rounds) {
    std::mutex m;
    std::condition_variable cv;
    int turn = 0;  // 0: main's turn, 1: the other thread's
    bool stop = false;
    std::thread other([&] {
        std::unique_lock lock(m);
        for (;;) {
            cv.wait(lock, [&] { return turn == 1 || stop; });
            if (stop) {
                return;
            }
            turn = 0;
            cv.notify_all();
        }
    });
    std::vector<double> samples;
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        std::unique_lock lock(m);
        turn = 1;
        cv.notify_all();
        cv.wait(lock, [&] { return turn == 0; });
        samples.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
    }
    {
        std::lock_guard lock(m);
        stop = true;
    }
    cv.notify_all();
    other.join();
    return Median(samples);
}

// Median time of a memcpy of n bytes between two buffers of their own.
inline double MemcpyMedianUs(std::size_t n, int rounds) {
    std::vector<std::uint8_t> from(n, 1);
    std::vector<std::uint8_t> to(n, 2);
    std::vector<double> samples;
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        std::memcpy(to.data(), from.data(), n);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
        samples.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
    }
    return Median(samples);
}

}  // namespace bench

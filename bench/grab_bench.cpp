// Grab latency: the time from doXELGrab to the completion callback with a
// frame time of 0, against its floor measured in the same run (a bare
// condition-variable ping-pong between two threads plus a memcpy of the
// frame: waking a thread and writing the frame once); and continuous
// grabbing with a callback per frame.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "bench/Baselines.h"
#include "bench/DriverHost.h"

namespace {

using bench::Median;
using bench::MemcpyMedianUs;
using bench::PingPongMedianUs;

using Clock = std::chrono::steady_clock;

struct Waiter {
    std::mutex mutex;
    std::condition_variable cv;
    long long count = 0;
};
Waiter waiter;

void OnFrame(int, int) {
    {
        std::lock_guard lock(waiter.mutex);
        ++waiter.count;
    }
    waiter.cv.notify_one();
}

std::string OpenCamera(int width, int height) {
    const std::string dir = bench::MakeScratchDir();
    bench::WriteText(
        dir + "/sim.ini",
        "[System0]\nDescriptor=M_SYSTEM_SOLIOS\nDigitizers=1\n[System0.Digitizer0]\nWidth=" +
            std::to_string(width) + "\nHeight=" + std::to_string(height) + "\nFrameTimeMs=0\n");
    bench::WriteText(dir + "/Korvane.ini", "[Camera 1]\nLogLevel=1\n");
    setenv("KORVANE_SIM_CONFIG", (dir + "/sim.ini").c_str(), 1);
    const auto& d = bench::Driver();
    d.initialize(dir.c_str(), nullptr);
    int size[2] = {0, 0};
    d.openXELPort(0, 1, "Camera 1", size);
    d.setCompleteCallback(0, 1, &OnFrame);
    return dir;
}

void CloseCamera(const std::string& dir) {
    const auto& d = bench::Driver();
    d.closeXELPort(0, 1);
    d.finalize();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

void BM_GrabToCallback(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const std::string dir = OpenCamera(width, height);
    const auto& d = bench::Driver();
    std::vector<double> samples;
    for (auto _ : state) {
        std::unique_lock lock(waiter.mutex);
        const long long before = waiter.count;
        lock.unlock();
        const auto start = Clock::now();
        d.doXELGrab(0, 1);
        lock.lock();
        waiter.cv.wait(lock, [&] { return waiter.count > before; });
        samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    const double grab = Median(samples);
    const double pingPong = PingPongMedianUs(2000);
    const double copy =
        MemcpyMedianUs(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 200);
    state.counters["median_us"] = grab;
    state.counters["pingpong_us"] = pingPong;
    state.counters["x_pingpong"] = grab / pingPong;
    state.counters["memcpy_us"] = copy;
    state.counters["x_floor"] = grab / (pingPong + copy);
    CloseCamera(dir);
}
BENCHMARK(BM_GrabToCallback)
    ->Args({16, 16})
    ->Args({1280, 960})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

void BM_ContinuousFramesPerSecond(benchmark::State& state) {
    const std::string dir = OpenCamera(1280, 960);
    const auto& d = bench::Driver();
    for (auto _ : state) {
        long long before = 0;
        {
            std::lock_guard lock(waiter.mutex);
            before = waiter.count;
        }
        d.setProperty(0, 1, "continuous", 1);
        const auto start = Clock::now();
        d.doXELGrab(0, 1);
        std::this_thread::sleep_for(std::chrono::seconds(1));
        d.setProperty(0, 1, "continuous", 0);
        long long after = 0;
        {
            std::lock_guard lock(waiter.mutex);
            after = waiter.count;
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.counters["frames_per_s"] = static_cast<double>(after - before) / seconds;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    CloseCamera(dir);
}
BENCHMARK(BM_ContinuousFramesPerSecond)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

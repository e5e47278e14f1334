// Simulated grabs: one synchronous grab of a frame into a buffer through the
// simulator's own function table, against a memcpy of the same bytes timed
// in the same loop, for the ramp (whole sensor, or a region with both
// directions mirrored) and for a recorded image played back. Triggered
// grabs: the rate of back-to-back grabs paced by the periodic hardware
// trigger, and the time from a software trigger to the end of the grab it
// released against a condition-variable ping-pong between two threads.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/Baselines.h"
#include "bench/DriverHost.h"
#include "mil/MilApi.h"
#include "mil/sim/SimulatorApi.h"
#include "mil/sim/SimulatorControl.h"

namespace {

using bench::Median;
using bench::PingPongMedianUs;

namespace mil = korvane::mil;
using Clock = std::chrono::steady_clock;

enum class View { Whole, RegionMirrored, Playback };

// A recorded frame of the sensor's size and depth, not a ramp: every pixel
// from a small generator, so that nothing in it is computable by pattern.
void WriteRecording(const std::string& path, int width, int height, int bits) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "P5\n" << width << " " << height << "\n" << (bits == 16 ? 65535 : 255) << "\n";
    std::uint32_t state = 12345;
    const std::size_t bytes =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * (bits == 16 ? 2u : 1u);
    std::vector<char> data(bytes);
    for (char& c : data) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<char>(state >> 24);
    }
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

void BM_SimGrab(benchmark::State& state, View view) {
    const int bits = static_cast<int>(state.range(0));
    const int width = static_cast<int>(state.range(1));
    const int height = static_cast<int>(state.range(2));
    const std::string dir = bench::MakeScratchDir();
    std::string config =
        "[System0]\nDigitizers=1\n[System0.Digitizer0]\nWidth=" + std::to_string(width) +
        "\nHeight=" + std::to_string(height) + "\nBits=" + std::to_string(bits) + "\n";
    if (view == View::Playback) {
        WriteRecording(dir + "/frame.pgm", width, height, bits);
        config += "Playback=" + dir + "/frame.pgm\n";
    }
    bench::WriteText(dir + "/sim.ini", config);
    setenv("KORVANE_SIM_CONFIG", (dir + "/sim.ini").c_str(), 1);

    const mil::MilApi& api = mil::sim::SimulatorApi();
    mil::MilId app = 0;
    mil::MilId sys = 0;
    mil::MilId dig = 0;
    mil::MilId buf = 0;
    api.MappAlloc(mil::M_DEFAULT, &app);
    api.MsysAlloc("M_SYSTEM_SOLIOS", 0, 0, &sys);
    api.MdigAlloc(sys, 0, "M_DEFAULT", mil::M_DEFAULT, &dig);
    // A region: 64 columns and 32 rows smaller, moved inside the sensor,
    // read mirrored both ways.
    int bufWidth = width;
    int bufHeight = height;
    if (view == View::RegionMirrored) {
        bufWidth = width - 64;
        bufHeight = height - 32;
        api.MdigControl(dig, mil::M_SOURCE_OFFSET_X, 37);
        api.MdigControl(dig, mil::M_SOURCE_OFFSET_Y, 11);
        api.MdigControl(dig, mil::M_GRAB_DIRECTION_X, mil::M_DIRECTION_REVERSE);
        api.MdigControl(dig, mil::M_GRAB_DIRECTION_Y, mil::M_DIRECTION_REVERSE);
    }
    api.MbufAlloc2d(sys, bufWidth, bufHeight, bits, mil::M_IMAGE_GRAB, &buf);
    if (buf == 0 || dig == 0) {
        state.SkipWithError("simulator allocation failed");
        mil::sim::ResetSimulator();
        return;
    }

    const std::size_t bytes = static_cast<std::size_t>(bufWidth) *
                              static_cast<std::size_t>(bufHeight) * (bits == 16 ? 2u : 1u);
    std::vector<std::uint8_t> from(bytes, 1);
    std::vector<std::uint8_t> to(bytes, 2);
    std::vector<double> grabs;
    std::vector<double> copies;
    bool failed = false;
    for (auto _ : state) {
        const auto start = Clock::now();
        api.MdigProcess(dig, &buf, 1, mil::M_SEQUENCE, mil::M_SYNCHRONOUS, nullptr, nullptr);
        const auto grabbed = Clock::now();
        failed = failed || api.MappGetError(mil::M_CURRENT, nullptr) != 0;
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
        const auto copied = Clock::now();
        grabs.push_back(std::chrono::duration<double, std::micro>(grabbed - start).count());
        copies.push_back(std::chrono::duration<double, std::micro>(copied - grabbed).count());
    }
    if (failed) {
        state.SkipWithError("a grab failed");
    }
    const double grab = Median(grabs);
    const double copy = Median(copies);
    state.counters["grab_us"] = grab;
    state.counters["memcpy_us"] = copy;
    state.counters["x_memcpy"] = copy > 0 ? grab / copy : 0;
    state.counters["GB/s"] = grab > 0 ? static_cast<double>(bytes) / grab / 1e3 : 0;
    mil::sim::ResetSimulator();
    unsetenv("KORVANE_SIM_CONFIG");
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

void Sizes(benchmark::internal::Benchmark* b) {
    for (int bits : {8, 16}) {
        b->Args({bits, 1280, 960});
        b->Args({bits, 4096, 3072});
    }
    b->Unit(benchmark::kMicrosecond)->UseRealTime();
}

BENCHMARK_CAPTURE(BM_SimGrab, ramp, View::Whole)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_SimGrab, ramp_region_mirrored, View::RegionMirrored)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_SimGrab, playback, View::Playback)->Apply(Sizes);

// One 1280 x 960 8-bit camera with the trigger on and the given extra keys.
struct TriggeredCamera {
    explicit TriggeredCamera(const std::string& extra) : dir(bench::MakeScratchDir()) {
        bench::WriteText(
            dir + "/sim.ini",
            "[System0]\nDigitizers=1\n[System0.Digitizer0]\nWidth=1280\nHeight=960\n" + extra);
        setenv("KORVANE_SIM_CONFIG", (dir + "/sim.ini").c_str(), 1);
        const mil::MilApi& api = mil::sim::SimulatorApi();
        mil::MilId app = 0;
        api.MappAlloc(mil::M_DEFAULT, &app);
        api.MsysAlloc("M_SYSTEM_SOLIOS", 0, 0, &sys);
        api.MdigAlloc(sys, 0, "M_DEFAULT", mil::M_DEFAULT, &dig);
        api.MbufAlloc2d(sys, 1280, 960, 8, mil::M_IMAGE_GRAB, &buf);
        api.MdigControl(dig, mil::M_GRAB_TRIGGER, mil::M_ENABLE);
    }
    ~TriggeredCamera() {
        mil::sim::ResetSimulator();
        unsetenv("KORVANE_SIM_CONFIG");
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    bool Grab() {
        const mil::MilApi& api = mil::sim::SimulatorApi();
        api.MdigProcess(dig, &buf, 1, mil::M_SEQUENCE, mil::M_SYNCHRONOUS, nullptr, nullptr);
        return api.MappGetError(mil::M_CURRENT, nullptr) == 0;
    }

    std::string dir;
    mil::MilId sys = 0;
    mil::MilId dig = 0;
    mil::MilId buf = 0;
};

// Back-to-back grabs on the periodic trigger: one frame per period is the
// most a triggered camera can give, and a grab that misses a tick halves it.
void BM_SimPeriodicTrigger(benchmark::State& state) {
    const int periodMs = static_cast<int>(state.range(0));
    TriggeredCamera camera("TriggerPeriodMs=" + std::to_string(periodMs) +
                           "\nTriggerTimeoutMs=1000\n");
    if (camera.buf == 0) {
        state.SkipWithError("simulator allocation failed");
        return;
    }
    constexpr int kFrames = 50;
    std::vector<double> rates;
    bool failed = false;
    for (auto _ : state) {
        const auto start = Clock::now();
        for (int i = 0; i < kFrames; ++i) {
            failed = !camera.Grab() || failed;
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        rates.push_back(kFrames / seconds);
    }
    if (failed) {
        state.SkipWithError("a triggered grab failed");
    }
    const double fps = Median(rates);
    state.counters["fps"] = fps;
    state.counters["x_trigger_rate"] = fps * periodMs / 1000.0;
}
BENCHMARK(BM_SimPeriodicTrigger)->Arg(2)->Arg(5)->Unit(benchmark::kMillisecond)->UseRealTime();

// A grab thread waits for its trigger; the benchmark thread sends a
// software trigger and takes the time until the grab thread reports the
// frame done: one wake-up there, the frame written, one wake-up back.
void BM_SimSoftwareTrigger(benchmark::State& state) {
    TriggeredCamera camera("TriggerTimeoutMs=5000\n");
    if (camera.buf == 0) {
        state.SkipWithError("simulator allocation failed");
        return;
    }
    std::mutex m;
    std::condition_variable cv;
    long long done = 0;
    std::atomic<bool> stop{false};
    std::atomic<bool> failed{false};
    std::thread grabber([&] {
        while (!stop.load()) {
            const bool ok = camera.Grab();
            if (!ok && !stop.load()) {
                failed.store(true);
            }
            {
                std::lock_guard lock(m);
                ++done;
            }
            cv.notify_all();
        }
    });
    const mil::MilApi& api = mil::sim::SimulatorApi();
    std::vector<double> samples;
    long long waits = 0;
    for (auto _ : state) {
        // Until the grab waits for the trigger (the previous one is done).
        ++waits;
        while (mil::sim::TriggerWaitCount(camera.dig) < waits) {
            std::this_thread::yield();
        }
        std::unique_lock lock(m);
        const long long before = done;
        const auto start = Clock::now();
        api.MdigControl(camera.dig, mil::M_GRAB_TRIGGER, 1);
        cv.wait(lock, [&] { return done > before; });
        samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    // Switching the trigger off releases a waiting grab and lets any later
    // one through, however far the grab thread got.
    stop.store(true);
    api.MdigControl(camera.dig, mil::M_GRAB_TRIGGER, mil::M_DISABLE);
    grabber.join();
    if (failed.load()) {
        state.SkipWithError("a triggered grab failed");
    }
    const double trigger = Median(samples);
    const double pingPong = PingPongMedianUs(2000);
    state.counters["trigger_us"] = trigger;
    state.counters["pingpong_us"] = pingPong;
    state.counters["x_pingpong"] = pingPong > 0 ? trigger / pingPong : 0;
}
BENCHMARK(BM_SimSoftwareTrigger)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

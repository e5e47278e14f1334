// Simulated grabs: one synchronous grab of a frame into a buffer through the
// simulator's own function table, against a memcpy of the same bytes timed
// in the same loop, for the ramp (whole sensor, or a region with both
// directions mirrored) and for a recorded image played back.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/DriverHost.h"
#include "mil/MilApi.h"
#include "mil/sim/SimulatorApi.h"
#include "mil/sim/SimulatorControl.h"

namespace {

namespace mil = korvane::mil;
using Clock = std::chrono::steady_clock;

enum class View { Whole, RegionMirrored, Playback };

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

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

}  // namespace

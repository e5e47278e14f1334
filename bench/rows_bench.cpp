// Row delivery: a whole frame fetched row by row through getXELGrabRow, for
// each conversion rule, against a memcpy of the same output bytes, a bare
// table loop over the same pixels and a bare row loop (read each row out of
// a frame, convert it), measured in the same run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

#include "bench/DriverHost.h"

namespace {

enum class Mode { Plain8, Shift16, Low16, Lut16 };

std::atomic<int> framesDone{0};
void OnFrame(int, int) {
    framesDone.fetch_add(1);
}

// Seconds per call of f, from the best of several repetitions.
template <typename F>
double TimeBest(F&& f, int reps) {
    double best = 1e9;
    for (int r = 0; r < reps; ++r) {
        const auto start = std::chrono::steady_clock::now();
        f();
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = std::min(best, s);
    }
    return best;
}

void BM_FrameRows(benchmark::State& state, Mode mode) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const bool sixteen = mode != Mode::Plain8;
    const std::string dir = bench::MakeScratchDir();
    bench::WriteText(
        dir + "/sim.ini",
        "[System0]\nDescriptor=M_SYSTEM_SOLIOS\nDigitizers=1\n[System0.Digitizer0]\nWidth=" +
            std::to_string(width) + "\nHeight=" + std::to_string(height) +
            "\nBits=" + (sixteen ? "16" : "8") + "\n");
    setenv("KORVANE_SIM_CONFIG", (dir + "/sim.ini").c_str(), 1);
    std::string ini = "[Camera 1]\nLogLevel=1\n";
    if (sixteen) {
        ini += "Use16bit=1\n";
    }
    if (mode == Mode::Shift16) {
        ini += "Shift16bit=4\n";
    }
    if (mode == Mode::Lut16) {
        std::string lut = "LN;ln\n";
        for (int x = 0; x < 65536; ++x) {
            lut += std::to_string(x) + ";" + std::to_string((x * 255) / 65535) + "\n";
        }
        bench::WriteText(dir + "/lut.csv", lut);
        ini += "UseLUT=1\nLUT_FILE=" + dir + "/lut.csv\nlutcolumn=ln\n";
    }
    bench::WriteText(dir + "/Korvane.ini", ini);

    const auto& d = bench::Driver();
    d.initialize(dir.c_str(), nullptr);
    int size[2] = {0, 0};
    if (d.openXELPort(0, 1, "Camera 1", size) != 1 || size[0] != width || size[1] != height) {
        state.SkipWithError("cannot open the simulated camera");
        d.finalize();
        return;
    }
    d.setCompleteCallback(0, 1, &OnFrame);
    const int before = framesDone.load();
    d.doXELGrab(0, 1);
    while (framesDone.load() == before) {
        std::this_thread::yield();
    }

    std::vector<std::uint8_t> frame(static_cast<std::size_t>(width) * height);
    auto fetch = [&] {
        for (int row = 0; row < height; ++row) {
            d.getXELGrabRow(0, 1, frame.data() + static_cast<std::size_t>(row) * width, row, 0,
                            width - 1);
        }
        benchmark::DoNotOptimize(frame.data());
    };
    for (auto _ : state) {
        fetch();
    }
    const std::size_t bytes = frame.size();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));

    // Baselines over the same bytes and pixels.
    std::vector<std::uint8_t> source(bytes, 7);
    std::vector<std::uint16_t> pixels16(bytes);
    for (std::size_t i = 0; i < bytes; ++i) {
        pixels16[i] = static_cast<std::uint16_t>(i * 37);
    }
    std::vector<std::uint16_t> table(131072);
    for (std::size_t i = 0; i < table.size(); ++i) {
        table[i] = static_cast<std::uint16_t>(i * 255 / 131071);
    }
    const double driver = TimeBest(fetch, 20);
    const double copy = TimeBest(
        [&] {
            std::memcpy(frame.data(), source.data(), bytes);
            benchmark::DoNotOptimize(frame.data());
        },
        20);
    const double lookup = TimeBest(
        [&] {
            for (std::size_t i = 0; i < bytes; ++i) {
                frame[i] = static_cast<std::uint8_t>(table[pixels16[i]]);
            }
            benchmark::DoNotOptimize(frame.data());
        },
        20);
    // The least work the library's row interface leaves: each row read out
    // of a frame of the library's depth (into the output for 8 bits, into a
    // line buffer for 16) and, for 16 bits, converted by a plain loop. What
    // the driver adds on top of this is its own cost.
    const bool shift = mode == Mode::Shift16;  // by 4, as the camera is set
    std::vector<std::uint16_t> frame16(sixteen ? bytes : 0, 0x0ABC);
    std::vector<std::uint16_t> line(static_cast<std::size_t>(width));
    auto bareRows = [&] {
        for (int row = 0; row < height; ++row) {
            const std::size_t at = static_cast<std::size_t>(row) * width;
            if (!sixteen) {
                std::memcpy(frame.data() + at, source.data() + at, width);
                continue;
            }
            std::memcpy(line.data(), frame16.data() + at, line.size() * 2);
            benchmark::DoNotOptimize(line.data());
            std::uint8_t* out = frame.data() + at;
            if (shift) {
                for (int x = 0; x < width; ++x) {
                    // A constant shift, as a compiler vectorises best.
                    const std::uint16_t v = static_cast<std::uint16_t>(line[x] >> 4);
                    out[x] = static_cast<std::uint8_t>(v > 255 ? 255 : v);
                }
            } else {
                for (int x = 0; x < width; ++x) {
                    out[x] = static_cast<std::uint8_t>(line[x]);
                }
            }
        }
        benchmark::DoNotOptimize(frame.data());
    };
    const double bare = mode == Mode::Lut16 ? 0.0 : TimeBest(bareRows, 20);
    state.counters["x_memcpy"] = driver / copy;
    state.counters["lut_loop_x"] = lookup / driver;  // > 1: faster than the bare table loop
    if (mode != Mode::Lut16) {
        state.counters["bare_x_memcpy"] = bare / copy;  // the bare row loop's own ratio
        state.counters["x_bare"] = driver / bare;       // the driver against it
    }
    state.counters["GB/s"] = static_cast<double>(bytes) / driver / 1e9;

    d.closeXELPort(0, 1);
    d.finalize();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

BENCHMARK_CAPTURE(BM_FrameRows, Plain8, Mode::Plain8)
    ->Args({1280, 960})
    ->Args({4096, 3072})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FrameRows, Shift16, Mode::Shift16)
    ->Args({1280, 960})
    ->Args({4096, 3072})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FrameRows, LowByte16, Mode::Low16)
    ->Args({1280, 960})
    ->Args({4096, 3072})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FrameRows, Lut16, Mode::Lut16)
    ->Args({1280, 960})
    ->Args({4096, 3072})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

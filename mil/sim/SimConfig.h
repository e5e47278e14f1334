#pragma once
// What the simulator simulates: the installed boards, their cameras and the
// faults to inject, read from a small INI-style file when the application is
// allocated.
#include <set>
#include <string>
#include <vector>

#include "mil/MilApi.h"
#include "mil/sim/SimNoise.h"

namespace korvane::mil::sim {

struct DigitizerConfig {
    int width = 1280;
    int height = 960;
    int bits = 8;         // 8 or 16
    int frameTimeMs = 0;  // how long one grab takes
    bool failAlloc = false;
    bool sizeZero = false;        // reports width and height 0
    long long failGrabEvery = 0;  // every Nth grab fails; 0 = never
    int hangGrabMs = 0;           // a stop request reaches a running grab this much later
    int triggerPeriodMs = 0;      // the simulated hardware trigger fires this often; 0 = never
    int triggerTimeoutMs = 0;     // a triggered grab fails after waiting this long; 0 = never
    std::set<MilInt> failControl;
    std::set<MilInt> failInquire;
    // Recorded images to show instead of the ramp: a PGM file, a folder of
    // them or a file name pattern; "" for the ramp. A relative path is taken
    // from the configuration file's folder.
    std::string playback;
    NoiseConfig noise;  // pixel noise and frame-time jitter, both off by default
};

struct SystemConfig {
    std::string descriptor = "M_SYSTEM_SOLIOS";
    std::string serial;  // "SIM-%04d" with the position in the list plus one when not given
    bool asyncSupport = true;
    bool failAlloc = false;
    bool failBufferAlloc = false;
    std::vector<DigitizerConfig> digitizers = std::vector<DigitizerConfig>(2);
};

struct SimConfig {
    bool failAppAlloc = false;
    std::vector<SystemConfig> systems;
    std::string source;  // the file it was read from, "" for the built-in default
};

struct ConfigProblem {
    int line = 0;
    std::string message;
};

// One M_SYSTEM_SOLIOS board with two 1280 x 960 8-bit cameras.
SimConfig DefaultConfig();

// Reads a configuration text. Whatever cannot be read keeps its built-in
// default and is reported in problems (line number and what was wrong).
SimConfig ParseConfig(const std::string& text, std::vector<ConfigProblem>& problems);

// The configuration for a new application: the file named by
// KORVANE_SIM_CONFIG, else KorvaneSim.ini in the system path, else the
// built-in default. Problems are logged at level 1 with file and line.
SimConfig LoadConfig();

}  // namespace korvane::mil::sim

#pragma once
// The simulator's own camera configuration (DCF) files: "Width=", "Height="
// and "Bits=" lines, comments as in the configuration file. Each key is
// optional and overrides the digitizer's configured value; a file without
// any of them, with another key, a section header or a bad value is not a
// DCF file.
#include <string>

#include "mil/sim/SimConfig.h"

namespace korvane::mil::sim {

struct SensorFormat {
    int width = 0;
    int height = 0;
    int bits = 8;
};

// Applies the text of a DCF file to format. False with the reason (line
// number included) in error when the text is not a DCF file; format is then
// unchanged.
bool ParseDcf(const std::string& text, SensorFormat& format, std::string& error);

// Reads and applies the DCF file at path; the error names the file.
bool LoadDcf(const std::string& path, SensorFormat& format, std::string& error);

}  // namespace korvane::mil::sim

#pragma once
// Command line of korvane-lut.
#include <string>
#include <vector>

namespace korvane::lut {

struct Options {
    int lsb = 0;
    int msb = 15;
    int steepness = 1;
    std::string out;
    bool plot = false;
    bool help = false;
};

// Fills options from the arguments (without the program name). False with
// a message for the user when an argument is unknown, lacks its value, or
// the value is not a whole number.
bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error);

// Checks the curve inputs against the generator's limits (those of the
// camera settings) and LSB below MSB; empty when they are fine.
std::string ValidateRange(const Options& options);

extern const char* const kUsage;

}  // namespace korvane::lut

#pragma once
// Command line of korvane-share.
#include <cstdint>
#include <string>

namespace sharetool {

struct Options {
    std::string name;
    std::uint64_t frames = 0;     // stop after this many; 0: until stopped
    std::uint64_t saveEvery = 0;  // save every Nth frame; 0: none
    std::string outDir;
    int connectTimeoutMs = 0;  // keep trying to connect this long
    int answerTimeoutMs = 5000;
    bool quiet = false;
    bool verbose = false;
    bool help = false;
};

// False with a message when the command line is wrong.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error);

const char* UsageText();

}  // namespace sharetool

#pragma once
#include <string>
#include <utility>
#include <vector>

namespace grab {

struct Options {
    std::string systemPath = "korvane-data";
    std::string library;
    std::string camera;  // empty: the first camera
    int port = 1;
    int frames = 10;
    bool continuous = false;
    double seconds = 5.0;
    std::vector<std::pair<std::string, int>> properties;
    std::string outDir;  // empty: frames are not written
    bool list = false;
    bool quiet = false;      // only the summary and the reasons of a failure
    bool keepGoing = false;  // grab even when a --set was refused
    bool help = false;
};

// Parses the command line; on a mistake answers false with a message.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error);
const char* Usage();

}  // namespace grab

#pragma once
#include <string>

namespace view {

struct Options {
    // Host mode: the camera this tool opens through the driver's exports.
    std::string systemPath = "korvane-data";
    std::string library;
    std::string camera;  // empty: the first camera
    int port = 1;        // the driver's port number, as korvane-grab's --port
    bool continuous = false;
    // Viewer mode: the name of a camera another process shares.
    std::string share;
    // Where the page is served; port 0 lets the system choose a free one.
    std::string listen = "127.0.0.1";
    int httpPort = 0;
    int quality = 85;  // JPEG quality of the stream unless the page asks otherwise
    bool help = false;
};

// Parses the command line; on a mistake answers false with a message.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error);
const char* Usage();

}  // namespace view

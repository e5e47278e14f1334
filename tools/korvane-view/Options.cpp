#include "tools/korvane-view/Options.h"

#include <cstdlib>
#include <cstring>

#include "tools/common/IntArgument.h"

namespace view {
using tools::ToInt;

const char* Usage() {
    return "Usage: korvane-view [options]\n"
           "Serves a live view of a Korvane camera to a browser on this machine: the image,\n"
           "its histogram and frame rate, the camera's settings and the driver's log.\n"
           "It prints the URL to open; the URL carries a token made for this run, and\n"
           "requests without it are refused.\n"
           "\n"
           "Host mode (the default) loads the driver and opens a camera:\n"
           "  --system-path DIR   directory for Korvane.ini (default: korvane-data, created)\n"
           "  --camera NAME       camera to open (default: the first one)\n"
           "  --port N            driver port number to open it on (default: 1)\n"
           "  --library PATH      the driver library to load (default: as korvane-grab)\n"
           "  --continuous        start grabbing continuously at once\n"
           "Viewer mode shows a camera that another process shares, read-only:\n"
           "  --share NAME        the camera's ShareName\n"
           "Serving:\n"
           "  --listen ADDR       address to listen on (default: 127.0.0.1)\n"
           "  --http-port N       TCP port of the page (default: 0, a free port is chosen)\n"
           "  --quality Q         JPEG quality 1..100 of the stream (default: 85)\n"
           "  --help              this text\n"
           "\n"
           "Exit status: 0 stopped by SIGINT or SIGTERM, 1 the camera or the server could\n"
           "not start, 2 a usage error.\n"
           "\n"
           "Examples:\n"
           "  korvane-view --camera \"Camera 1\"\n"
           "  korvane-view --share Line1 --http-port 8090\n";
}

bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&](const char*& out) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        const auto number = [&](int& out, int lo, int hi) {
            const char* text = nullptr;
            if (!value(text)) {
                return false;
            }
            if (!ToInt(text, out) || out < lo || out > hi) {
                error = arg + " needs a number from " + std::to_string(lo) + " to " +
                        std::to_string(hi) + ", not '" + text + "'";
                return false;
            }
            return true;
        };
        const char* text = nullptr;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--continuous") {
            options.continuous = true;
        } else if (arg == "--system-path" || arg == "--camera" || arg == "--library" ||
                   arg == "--share" || arg == "--listen") {
            if (!value(text)) {
                return false;
            }
            if (*text == '\0') {
                error = arg + " needs a non-empty value";
                return false;
            }
            std::string& target = arg == "--system-path" ? options.systemPath
                                  : arg == "--camera"    ? options.camera
                                  : arg == "--library"   ? options.library
                                  : arg == "--share"     ? options.share
                                                         : options.listen;
            target = text;
        } else if (arg == "--port") {
            if (!number(options.port, 0, 1000000)) {
                return false;
            }
        } else if (arg == "--http-port") {
            if (!number(options.httpPort, 0, 65535)) {
                return false;
            }
        } else if (arg == "--quality") {
            if (!number(options.quality, 1, 100)) {
                return false;
            }
        } else {
            error = "unknown option '" + arg + "' (--help lists them)";
            return false;
        }
    }
    if (!options.share.empty() && options.continuous) {
        error = "--continuous is for host mode; a shared camera is grabbed by its host";
        return false;
    }
    return true;
}

}  // namespace view

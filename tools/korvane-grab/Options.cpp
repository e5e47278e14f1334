#include "tools/korvane-grab/Options.h"

#include <cstdlib>
#include <cstring>

#include "tools/common/IntArgument.h"

namespace grab {
using tools::ToInt;

const char* Usage() {
    return "Usage: korvane-grab [options]\n"
           "Loads the Korvane driver the way an inspection host does, opens a camera,\n"
           "grabs frames and reports frame rate, callback latency and row throughput.\n"
           "On Linux the cameras come from the built-in simulator unless KORVANE_MIL says\n"
           "otherwise.\n"
           "\n"
           "Options:\n"
           "  --system-path DIR   directory for Korvane.ini and Korvane.log (default: "
           "korvane-data,\n"
           "                      created if missing)\n"
           "  --list              list the cameras and exit\n"
           "  --camera NAME       camera to open (default: the first one)\n"
           "  --port N            port number to open it on (default: 1)\n"
           "  --frames N          grab N frames, one at a time (default: 10)\n"
           "  --continuous        grab continuously instead ...\n"
           "  --seconds S         ... for S seconds (default: 5)\n"
           "  --set NAME=VALUE    set a property before grabbing (repeatable); a refused\n"
           "                      one ends the run with status 1 ...\n"
           "  --keep-going        ... unless this is given\n"
           "  --out DIR           write the frames into DIR as frame-00000.pgm, frame-00001.pgm,\n"
           "                      ... (and .png when available)\n"
           "  --library PATH      the driver library to load (default: $KORVANE_LIBRARY, else\n"
           "                      beside this tool, else ../lib beside it, else the library\n"
           "                      of the build that made the tool; the line 'driver ...' says\n"
           "                      which one was loaded)\n"
           "  --quiet             print only the closing summary, and on a failure the\n"
           "                      driver's error and warning lines of the failed step\n"
           "  --help              this text\n"
           "\n"
           "Exit status: 0 success, 1 the run failed (library, camera, property, grab or\n"
           "rows), 2 a usage error (unknown option, bad value, unusable --system-path).\n"
           "\n"
           "Examples:\n"
           "  korvane-grab --list\n"
           "  korvane-grab --frames 5 --out frames\n"
           "  korvane-grab --camera \"Camera 2\" --set Gain=12 --continuous --seconds 2\n";
}

bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&](const char*& value) {
            if (i + 1 >= argc) {
                error = "option " + arg + " needs a value";
                return false;
            }
            value = argv[++i];
            return true;
        };
        const char* value = nullptr;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--list") {
            options.list = true;
        } else if (arg == "--continuous") {
            options.continuous = true;
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--keep-going") {
            options.keepGoing = true;
        } else if (arg == "--system-path" || arg == "--camera" || arg == "--out" ||
                   arg == "--library") {
            if (!next(value)) {
                return false;
            }
            std::string& target = arg == "--system-path" ? options.systemPath
                                  : arg == "--camera"    ? options.camera
                                  : arg == "--out"       ? options.outDir
                                                         : options.library;
            target = value;
            if (target.empty()) {
                error = "option " + arg + " needs a non-empty value";
                return false;
            }
        } else if (arg == "--port") {
            if (!next(value) || !ToInt(value, options.port)) {
                error = error.empty() ? "--port needs a whole number" : error;
                return false;
            }
        } else if (arg == "--frames") {
            if (!next(value) || !ToInt(value, options.frames) || options.frames < 1) {
                error = error.empty() ? "--frames needs a number of at least 1" : error;
                return false;
            }
        } else if (arg == "--seconds") {
            if (!next(value)) {
                return false;
            }
            char* end = nullptr;
            options.seconds = std::strtod(value, &end);
            if (end == value || *end != '\0' || !(options.seconds > 0)) {
                error = "--seconds needs a positive number";
                return false;
            }
        } else if (arg == "--set") {
            if (!next(value)) {
                return false;
            }
            const char* eq = std::strchr(value, '=');
            int number = 0;
            if (eq == nullptr || eq == value || !ToInt(eq + 1, number)) {
                error = std::string("--set needs NAME=INTEGER, got '") + value + "'";
                return false;
            }
            options.properties.emplace_back(std::string(value, eq), number);
        } else {
            error = "unknown option '" + arg + "' (see --help)";
            return false;
        }
    }
    return true;
}

}  // namespace grab

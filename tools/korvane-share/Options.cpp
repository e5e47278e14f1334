#include "tools/korvane-share/Options.h"

#include <charconv>
#include <cstring>

namespace sharetool {
namespace {

template <typename T>
bool ParseNumber(const char* text, T& out) {
    const char* end = text + std::strlen(text);
    auto [ptr, ec] = std::from_chars(text, end, out);
    return ec == std::errc() && ptr == end && end != text;
}

}  // namespace

const char* UsageText() {
    return "usage: korvane-share --name NAME [options]\n"
           "\n"
           "Connects to a camera shared by the Korvane driver on this machine, prints its\n"
           "image size and counts the frames it announces.\n"
           "\n"
           "  --name NAME          the camera's share name (its ShareName setting)\n"
           "  --frames N           stop after N frames (default: until Ctrl-C or the\n"
           "                       camera stops sharing)\n"
           "  --save-every N       write every Nth frame as a PGM file (needs --out), named\n"
           "                       frame-00000.pgm, frame-00001.pgm, ... in the order written\n"
           "  --out DIR            folder for the PGM files (created when missing)\n"
           "  --connect-timeout MS keep trying to connect for MS milliseconds (default 0)\n"
           "  --answer-timeout MS  wait MS milliseconds for the image size (default 5000)\n"
           "  --quiet              no frame-rate line every second\n"
           "  --verbose            print the share library's log lines\n"
           "  --help               this text\n"
           "\n"
           "examples:\n"
           "  korvane-share --name Line1\n"
           "  korvane-share --name Line1 --frames 100 --save-every 10 --out /tmp/frames\n"
           "  korvane-share --name Line1 --connect-timeout 10000 --quiet\n"
           "\n"
           "exit status: 0 done (frames received, Ctrl-C, or the camera stopped sharing),\n"
           "1 the run failed (cannot connect), 2 a usage error (wrong command line);\n"
           "3 cannot save a frame, 4 share error.\n";
}

bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char*& out) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        const char* v = nullptr;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "--name") {
            if (!value(v)) {
                return false;
            }
            options.name = v;
        } else if (arg == "--out") {
            if (!value(v)) {
                return false;
            }
            options.outDir = v;
        } else if (arg == "--frames" || arg == "--save-every") {
            std::uint64_t n = 0;
            if (!value(v)) {
                return false;
            }
            if (!ParseNumber(v, n)) {
                error = arg + " needs a whole number, not '" + v + "'";
                return false;
            }
            (arg == "--frames" ? options.frames : options.saveEvery) = n;
        } else if (arg == "--connect-timeout" || arg == "--answer-timeout") {
            int n = 0;
            if (!value(v)) {
                return false;
            }
            if (!ParseNumber(v, n) || n < 0) {
                error = arg + " needs milliseconds (0 or more), not '" + v + "'";
                return false;
            }
            (arg == "--connect-timeout" ? options.connectTimeoutMs : options.answerTimeoutMs) = n;
        } else {
            error = "unknown argument '" + arg + "'";
            return false;
        }
    }
    if (options.help) {
        return true;
    }
    if (options.name.empty()) {
        error = "--name is required";
        return false;
    }
    if (options.saveEvery > 0 && options.outDir.empty()) {
        error = "--save-every needs --out DIR";
        return false;
    }
    if (!options.outDir.empty() && options.saveEvery == 0) {
        error = "--out needs --save-every N";
        return false;
    }
    return true;
}

}  // namespace sharetool

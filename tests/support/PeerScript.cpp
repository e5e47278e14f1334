#include "tests/support/PeerScript.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace korvane::test {

void PeerSay(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

bool PeerCommonStep(const std::string& word, std::istream& in) {
    if (word == "sleep") {
        int ms = 0;
        in >> ms;
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return true;
    }
    return false;
}

bool RunAsPeerIfAsked(const char* variable, int (*run)(const std::string& script)) {
    const char* script = std::getenv(variable);
    if (script == nullptr) {
        return false;
    }
    const int rc = run(script);
    std::fflush(stdout);
    std::_Exit(rc);
}

}  // namespace korvane::test

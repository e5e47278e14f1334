#include "tests/support/PeerScript.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

namespace korvane::test {
namespace {

bool CommonStep(const std::string& word, std::istream& in) {
    if (word == "sleep") {
        int ms = 0;
        in >> ms;
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return true;
    }
    return false;
}

}  // namespace

void PeerSay(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

int RunPeerScript(const std::string& script, const PeerSteps& steps) {
    std::istringstream all(script);
    std::string step;
    while (std::getline(all, step, ';')) {
        std::istringstream in(step);
        std::string word;
        in >> word;
        if (word.empty()) {
            continue;
        }
        const int answer = steps(word, in);
        if (answer >= 0) {
            return answer;
        }
        if (answer == kPeerUnknown && !CommonStep(word, in)) {
            PeerSay("unknown step " + word);
            return 2;
        }
    }
    PeerSay("done");
    return 0;
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

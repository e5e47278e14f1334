#include "gstreamer/tests/SimCamera.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "tests/support/RunTool.h"

namespace korvane::gsttest {

SimSystemPath::SimSystemPath(const SimCameraConfig& config, const std::string& shareName) {
    test::WriteFile(dir_.File("KorvaneSim.ini"),
                    "[System0]\nDescriptor=M_SYSTEM_SOLIOS\nSerial=SIM-0001\nAsyncSupport=1\n"
                    "Digitizers=2\n[System0.Digitizer0]\nWidth=" +
                        std::to_string(config.width) + "\nHeight=" + std::to_string(config.height) +
                        "\nBits=" + std::to_string(config.bits) +
                        "\nFrameTimeMs=" + std::to_string(config.frameTimeMs) + "\n");
    std::string ini = "[Camera 1]\n";
    if (!shareName.empty()) {
        ini += "ShareCamera=1\nShareName=" + shareName + "\n";
    }
    test::WriteFile(dir_.File("Korvane.ini"), ini);
}

ShareServer::ShareServer(const std::string& name, const SimCameraConfig& config, double seconds)
    : system_(config, name) {
    started_ = process_.Start(test::ToolPath("korvane-grab"),
                              {"--quiet", "--system-path", system_.path(), "--continuous",
                               "--seconds", std::to_string(seconds)},
                              system_.path() + "/server.out");
}

int ShareServer::Wait(int limitMs) {
    if (!ended_ && started_) {
        exitCode_ = process_.WaitFor(std::chrono::milliseconds(limitMs));
        ended_ = true;
    }
    return exitCode_;
}

std::string ShareServer::Output() const {
    return test::ReadFile(system_.path() + "/server.out");
}

GstTestEnvironment::GstTestEnvironment() {
    setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1);
    unsetenv("KORVANE_SIM_CONFIG");
    unsetenv("KORVANE_MIL");
}

GstTestEnvironment::~GstTestEnvironment() {
    unsetenv("XDG_RUNTIME_DIR");
}

std::string GstTestEnvironment::UniqueName(const std::string& base) const {
    return base + "-" + std::filesystem::path(runtime_.path()).filename().string();
}

}  // namespace korvane::gsttest

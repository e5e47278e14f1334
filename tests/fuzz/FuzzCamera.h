#pragma once
// One simulated camera opened once per fuzzing process, for the targets
// that drive the camera's property and command doors. The log stays quiet
// (level 0) so that the time goes into the code under test.
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "camera/MilApp.h"
#include "camera/MilDigitizer.h"
#include "driver/DriverLog.h"
#include "settings/CameraSettings.h"
#include "tests/fuzz/FuzzScratch.h"

namespace korvane::fuzz {

inline constexpr int kCameraWidth = 32;
inline constexpr int kCameraHeight = 6;
inline constexpr int kCameraPort = 3;

class FuzzCamera {
  public:
    FuzzCamera() {
        DriverLog::Instance().SetLevel(0);
        if (!DriverLog::Instance().SetSystemPath(scratch_.path().c_str())) {
            std::abort();
        }
        const std::string sim = scratch_.path() + "/sim.ini";
        const std::string config =
            "[System0]\nDescriptor=M_SYSTEM_SOLIOS\nDigitizers=1\n"
            "[System0.Digitizer0]\nWidth=" +
            std::to_string(kCameraWidth) + "\nHeight=" + std::to_string(kCameraHeight) + "\n";
        WriteBytes(sim, reinterpret_cast<const unsigned char*>(config.data()), config.size());
        setenv("KORVANE_SIM_CONFIG", sim.c_str(), 1);
        const std::string ini = "[Camera 1]\nLogLevel=0\n";
        WriteBytes(DriverLog::Instance().GetIniPath(),
                   reinterpret_cast<const unsigned char*>(ini.data()), ini.size());
        if (!MilApp::GetInstance().Init()) {
            std::abort();
        }
        Reopen();
    }
    ~FuzzCamera() { MilApp::DestroyInstance(); }
    FuzzCamera(const FuzzCamera&) = delete;
    FuzzCamera& operator=(const FuzzCamera&) = delete;

    MilDigitizer& camera() { return MilApp::GetInstance().GetByName("Camera 1"); }

    // Brings the open camera back to its settings as opened, without the
    // cost of a close and an open (INI files written and read, digitizer
    // and thread made anew). Enough when an input changed only settings;
    // what reached the digitizer or the board needs Reopen.
    void Reset() {
        MilDigitizer& cam = camera();
        cam.SetContinuousGrab(false);
        // A grab still under way ends within its (zero) frame time.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (cam.grabInProgress()) {
            if (std::chrono::steady_clock::now() > deadline) {
                std::abort();
            }
            std::this_thread::yield();
        }
        // Nothing reads the settings meanwhile: no grab runs, no share.
        cam.settings().CopyValuesFrom(opened_);
    }

    // Closes (if open) and opens the camera again with its first settings,
    // so that what one input changed does not pile up over a whole run.
    void Reopen() {
        MilDigitizer& cam = camera();
        if (cam.opened()) {
            cam.Close();
        }
        const std::string ini = "[Camera 1]\nLogLevel=0\n";
        WriteBytes(DriverLog::Instance().GetIniPath(),
                   reinterpret_cast<const unsigned char*>(ini.data()), ini.size());
        int size[2] = {0, 0};
        if (!cam.Open(kCameraPort, size) || size[0] != kCameraWidth || size[1] != kCameraHeight) {
            std::abort();
        }
        opened_ = cam.settings();
    }

  private:
    ScratchDir scratch_;
    CameraSettings opened_;
};

inline FuzzCamera& Camera() {
    static FuzzCamera camera;
    return camera;
}

inline void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace korvane::fuzz

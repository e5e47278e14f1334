#pragma once
// The driver's root object and camera registry: the imaging application,
// every supported board as a MilSystem, and the cameras in registry order.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mil/MilApi.h"

namespace korvane {

class MilSystem;
class MilDigitizer;

// The text exception the registry lookups throw; the exports catch it.
class LookupError : public std::exception {
  public:
    const char* what() const noexcept override { return "Err"; }
};

class MilApp {
  public:
    static MilApp& GetInstance();
    static void DestroyInstance();
    static bool HasInstance();

    MilApp();
    ~MilApp();
    MilApp(const MilApp&) = delete;
    MilApp& operator=(const MilApp&) = delete;

    bool Init();
    void DestroySolios();
    // Ends every camera's grab thread; no callback runs once it returns.
    void StopGrabThreads();

    bool IsCameraAvailable(const char* name);
    bool IsPortInUse(int port);
    int GetCameraCount();
    char** GetCameraConfigNames();
    MilDigitizer& GetByPort(int port);
    // GetByPort for row delivery: a host fetches row after row of one port,
    // so the camera found last is checked first. Logs as GetByPort does;
    // logLookups tells whether the log takes level 4 messages now.
    MilDigitizer& GetRowCamera(int port, bool logLookups);
    // One row of the camera on port (GetRowCamera, then its GetRow).
    bool GetRow(int port, bool logLookups, std::uint8_t* dest, int row, std::uint32_t firstPix,
                std::uint32_t lastPix);
    MilDigitizer& GetByName(const char* name);

    bool initialised() const { return initialised_; }
    mil::MilId appId() const { return appId_; }
    const std::vector<std::unique_ptr<MilSystem>>& systems() const { return systems_; }

    static const std::vector<std::string>& SupportedSystemTypes();

  private:
    std::vector<MilDigitizer*> CollectCameras();
    MilDigitizer* FindByPort(int port) const;

    bool initialised_ = false;
    std::unique_ptr<char*[]> configNames_;
    std::vector<std::unique_ptr<MilSystem>> systems_;
    mil::MilId appId_ = 0;
    // The camera GetRowCamera found last; its port is checked at every use,
    // and it is forgotten before any camera is destroyed.
    std::atomic<MilDigitizer*> lastRowCamera_{nullptr};
};

}  // namespace korvane

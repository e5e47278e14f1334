#pragma once
// One camera: a digitizer of a board, its settings, grab buffers, look-up
// table, share server and, while open, its grab thread.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "camera/GrabFlags.h"
#include "camera/MilGrabBuffers.h"
#include "mil/MilApi.h"
#include "platform/SpinLock.h"
#include "settings/CameraSettings.h"
#include "sharing/ShareSource.h"

namespace korvane {

class MilApp;
class MilSystem;
class GrabThread;
class CCameraShare;

class MilDigitizer : public ShareSource {
  public:
    MilDigitizer(MilApp& app, MilSystem& system);
    ~MilDigitizer() override;
    MilDigitizer(const MilDigitizer&) = delete;
    MilDigitizer& operator=(const MilDigitizer&) = delete;

    bool SetDevice(MilSystem& system, int deviceNumber);
    bool HasName(const char* text) const;

    bool Open(int port, int* imageSize);
    bool Close();
    void ApplyLut();
    // Ends the grab thread (as Close does) without closing the camera.
    void StopGrabThread();

    // Grabbing.
    bool Grab();
    void SetContinuousGrab(bool on);
    void SetCompleteCB(CompleteCallback callback);

    // Rows of the last grabbed frame, one byte per pixel.
    bool GetRow(std::uint8_t* dest, int row, std::uint32_t firstPix, std::uint32_t lastPix);

    // Properties, range query, commands, the property sheet.
    bool SetProperty(const char* name, int value);
    bool GetProperty(const char* name, int* value);
    bool GetPropertyRange(const char* name, int* minValue, int* maxValue);
    bool ExecCommand(const char* command, const char* arguments, char* result, int resultSize);
    bool ShowProperties(void* parentWindow);

    // Settings exchange with the digitizer and the board at open.
    void InquireSettings();
    void ApplySettings();
    void ParamInquire(mil::MilInt type, Param<int>& setting);
    void ParamInquire(mil::MilInt type, Param<double>& setting, bool withRange);
    void ParamInquire(mil::MilInt type, ParamEnum& setting);
    void ParamControl(mil::MilInt type, const Param<int>& setting);
    void ParamControl(mil::MilInt type, const Param<double>& setting);
    void ParamControl(mil::MilInt type, const ParamEnum& setting);
    void ParamSysControl(long type, const ParamEnum& setting);

    // ShareSource.
    const char* ShareCameraName() const override { return name_.c_str(); }
    int SharePort() const override { return port(); }
    int ShareWidth() const override;
    int ShareHeight() const override;
    bool ShareGetRow(std::uint8_t* dest, int row, int first, int last) override;
    bool ShareBeginFrame() override;
    void ShareEndFrame() override;

    // Accessors.
    const std::string& name() const { return name_; }
    char* NameStorage() { return name_.data(); }
    int port() const { return port_.load(std::memory_order_acquire); }
    bool opened() const { return opened_.load(std::memory_order_acquire); }
    bool continuous() const { return flags_->continuous.load(); }
    bool grabInProgress() const { return flags_->grabInProgress.load(); }
    CompleteCallback completeCallback() const { return flags_->completeCallback.load(); }
    mil::MilId digId() const { return digId_; }
    int deviceNumber() const { return deviceNumber_; }
    int storedValue() const { return storedValue_; }
    MilSystem& system() const { return system_; }
    CameraSettings& settings() { return settings_; }
    MilGrabBuffers& grabBuffers() { return grabBuffers_; }
    const std::shared_ptr<GrabFlags>& flags() const { return flags_; }
    bool hasGrabThread() const { return static_cast<bool>(grabThread_); }
    CCameraShare& share() { return *share_; }

    // Called by the grab thread after each completed grab when sharing.
    void NotifyShare();

  private:
    bool AllocateDigitizer();
    void ReplaceSettings(const CameraSettings& edited);

    std::unique_ptr<GrabThread> grabThread_;
    int deviceNumber_ = 0;
    mil::MilId digId_ = 0;
    MilApp& app_;
    MilSystem& system_;
    MilGrabBuffers grabBuffers_;
    std::atomic<int> port_{-1};
    std::atomic<bool> opened_{false};
    std::string name_;
    int storedValue_ = 0;
    std::unique_ptr<LutTable> lutTable_;
    CameraSettings settings_;
    std::unique_ptr<CCameraShare> share_;
    std::shared_ptr<GrabFlags> flags_;
    // Serialises row delivery (the scratch row, the settings it reads) with
    // the host's changes of those settings; the host thread and the share
    // thread may fetch rows at the same time.
    mutable platform::SpinLock rowMutex_;
};

}  // namespace korvane

#include "camera/MilDigitizer.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <new>

#include "camera/CommandParser.h"
#include "camera/GrabThread.h"
#include "camera/MilErrorText.h"
#include "camera/MilSystem.h"
#include "camera/Notice.h"
#include "driver/DriverLog.h"
#include "mil/MilCalls.h"
#include "platform/UiNotice.h"
#include "settings/LutTable.h"
#include "sharing/CameraShare.h"

namespace korvane {

MilDigitizer::MilDigitizer(MilApp& app, MilSystem& system)
    : app_(app),
      system_(system),
      grabBuffers_(system),
      lutTable_(std::make_unique<LutTable>()),
      share_(std::make_unique<CCameraShare>(*this)),
      flags_(std::make_shared<GrabFlags>()) {
    lutTable_->fill(0);
}

MilDigitizer::~MilDigitizer() {
    grabThread_.reset();
    if (digId_ != 0) {
        mil::Calls().MdigFree(digId_);
        digId_ = 0;
    }
    // An open camera may still be serving a client; its server thread
    // fetches rows from this object, so it ends before anything goes.
    if (opened()) {
        share_->Stop();
    }
    share_.reset();
}

bool MilDigitizer::SetDevice(MilSystem& /*system*/, int deviceNumber) {
    char text[32];
    std::snprintf(text, sizeof text, "Camera %d", deviceNumber + 1);
    name_ = text;
    deviceNumber_ = deviceNumber;
    return true;
}

bool MilDigitizer::HasName(const char* text) const {
    return text != nullptr && name_ == text;
}

bool MilDigitizer::AllocateDigitizer() {
    mil::MilCalls api = mil::Calls();
    if (digId_ != 0) {
        // Left allocated by an open that failed later on: allocating again
        // would leak it (and the library refuses a second allocation).
        api.MdigFree(digId_);
        digId_ = 0;
    }
    std::string dcf = "M_DEFAULT";
    if (settings_.UseDefaultDCF.value == 0 && settings_.DCF_FILE.value != "M_DEFAULT") {
        dcf = DriverLog::Instance().MakeAbsolutePath(settings_.DCF_FILE.value);
    }
    digId_ = api.MdigAlloc(system_.sysId(), deviceNumber_, dcf.c_str(), mil::M_DEFAULT);
    if (digId_ != 0) {
        return true;
    }
    KLOG(kError, "MilDigitizer::Init: WARNING: MdigAlloc failed with DCF file: %s, %s\n",
         dcf.c_str(), MilErrorText().c_str());
    if (EqualsNoCase(dcf.c_str(), "M_DEFAULT")) {
        KLOG(kError, "Check matrox MIL settings\n");
        return false;
    }
    digId_ = api.MdigAlloc(system_.sysId(), deviceNumber_, "M_DEFAULT", mil::M_DEFAULT);
    char text[1024];
    if (digId_ == 0) {
        KLOG(kError,
             "MilDigitizer::Init: ERROR failed with M_DEFAULT, %s.\nCheck matrox MIL settings\n",
             MilErrorText().c_str());
        std::snprintf(text, sizeof text,
                      "Digitizer #%d: Cannot open neither supplied DCF '%s' nor the default DCF\n"
                      ".Please check the settings.",
                      deviceNumber_, dcf.c_str());
        CameraNotice(text, kNoticeCaption, platform::kBoxOk | platform::kIconError);
        return false;
    }
    std::snprintf(text, sizeof text,
                  "Digitizer #%d: the supplied DCF file '%s' failed to open.\n"
                  "The camera is opened with default DCF instead.",
                  deviceNumber_, dcf.c_str());
    CameraNotice(text, kNoticeCaption, platform::kBoxOk | platform::kIconWarning);
    return true;
}

bool MilDigitizer::Open(int port, int* imageSize) {
    if (opened()) {
        return false;
    }
    KLOG(kProgress, "MilDigitizer::Open: port=%d, id=%d\n", port, digId_);
    settings_.Load(name_.c_str());
    DriverLog::Instance().SetLevel(settings_.LogLevel.value);
    DriverLog::Instance().SetLogIntoFile(settings_.LogIntoFile.value != 0);

    if (!AllocateDigitizer()) {
        return false;
    }
    mil::MilCalls api = mil::Calls();
    const auto maxWidth = static_cast<int>(api.MdigInquire(digId_, mil::M_SIZE_X));
    const auto maxHeight = static_cast<int>(api.MdigInquire(digId_, mil::M_SIZE_Y));
    settings_.Width.maxValue = maxWidth;
    settings_.Height.maxValue = maxHeight;
    if (digId_ == 0 || maxWidth == 0 || maxHeight == 0) {
        KLOG(kError,
             "MilDigitizer::Open: ERROR: incorrect state: idDigitizer==%d width=%d height=%d, "
             "port=%d\n",
             digId_, maxWidth, maxHeight, port);
        return false;
    }

    InquireSettings();
    settings_.Load(name_.c_str());
    // A hand-edited file may ask for an image the digitizer cannot give;
    // opening with it would fail now and at every later open. The corrected
    // values are saved at close.
    for (const CameraSettings::RangeFix& fix : settings_.FitImageArea()) {
        KLOG(kError, "MilDigitizer::Open: WARNING: %s=%d out of range [%d, %d], using %d\n",
             fix.name.c_str(), fix.was, fix.min, fix.max, fix.now);
    }
    ApplySettings();

    if (grabThread_) {
        KLOG(kError, "MilDigitizer::Init: WARNING: grab thread already initialized for camera=%s\n",
             name_.c_str());
    } else {
        bool started = false;
        try {
            grabThread_ = std::make_unique<GrabThread>(*this);
            started = grabThread_->Init();
        } catch (const std::bad_alloc&) {
            started = false;
        }
        if (!started) {
            KLOG(kError,
                 "MilDigitizer::Init: ERROR: grab thread could not be initialized for camera=%s\n",
                 name_.c_str());
            return false;
        }
    }

    {
        std::lock_guard lock(rowMutex_);
        if (imageSize != nullptr) {
            imageSize[0] = settings_.Width.value;
            imageSize[1] = settings_.Height.value;
        }
        port_.store(port, std::memory_order_release);
        grabBuffers_.Init(settings_, settings_.Width.value, settings_.Height.value,
                          settings_.UseLUT.value != 0 ? lutTable_.get() : nullptr);
    }
    if (!grabBuffers_.ready()) {
        KLOG(kError, "MilDigitizer::Init: ERROR: Could not initialize grab buffers, port=%d\n",
             port);
        return false;
    }
    opened_.store(true, std::memory_order_release);
    api.MdigControl(digId_, mil::M_GRAB_MODE_4016, 1);
    ApplyLut();
    flags_->shareCamera.store(settings_.ShareCamera.value);
    if (settings_.ShareCamera.value != 0) {
        share_->Start(settings_.ShareName.value.c_str());
    }
    return true;
}

bool MilDigitizer::Close() {
    settings_.Save(name_.c_str());
    share_->Stop();
    StopGrabThread();
    if (digId_ != 0) {
        mil::Calls().MdigFree(digId_);
        digId_ = 0;
    }
    opened_.store(false, std::memory_order_release);
    port_.store(-1, std::memory_order_release);
    KLOG(kProgress, "MilDigitizer::Close\n");
    return true;
}

void MilDigitizer::StopGrabThread() {
    const bool hadThread = static_cast<bool>(grabThread_);
    grabThread_.reset();
    // A grab requested just before the stop may never have run: with its
    // thread gone nothing would clear the flag, and every later grab of the
    // camera would be refused as "in progress".
    if (hadThread) {
        flags_->grabInProgress.store(false);
    }
}

void MilDigitizer::ApplyLut() {
    mil::Calls().MdigLut(digId_, mil::M_DEFAULT);
    if (settings_.UseLUT.value == 0) {
        return;
    }
    std::lock_guard lock(rowMutex_);
    if (!LoadLutTable(settings_.LUT_FILE.value, settings_.lutcolumn.value, *lutTable_)) {
        settings_.UseLUT.value = 0;
        KLOG(kError,
             "MilDigitizer::ApplyLut: WARNING: Unrecognized/incorrect csv file. Disabling LUT\n");
    }
    grabBuffers_.RefreshLut();
}

bool MilDigitizer::Grab() {
    const int port = this->port();
    if (!opened()) {
        KLOG(kError, "MilDigitizer::Grab: ERROR: camera not opened, on port=%d\n", port);
        return false;
    }
    if (!grabThread_) {
        KLOG(kError, "MilDigitizer::Grab: ERROR: grab thread not initialized on port=%d\n", port);
        return false;
    }
    if (!grabBuffers_.ready()) {
        KLOG(kError, "MilDigitizer::Grab: ERROR: buffer not initialized on port=%d\n", port);
        return false;
    }
    if (flags_->grabInProgress.load()) {
        KLOG(kError,
             "MilDigitizer::Grab: WARNING: grab ignored, since another grab is in progress on "
             "port=%d\n",
             port);
        return false;
    }
    flags_->grabInProgress.store(true);
    KLOG(kDetail, "MilDigitizer::Grab: port=%d\n", port);
    grabThread_->Wake();
    return true;
}

void MilDigitizer::SetContinuousGrab(bool on) {
    KLOG(kProgress, "MilDigitizer::SetContinuousGrab: entering, mode=%s\n", on ? "on" : "off");
    if (on == flags_->continuous.load()) {
        KLOG(kDetail,
             "MilDigitizer::SetContinuousGrab has no effect -- the same mode is already active\n");
        return;
    }
    flags_->continuous.store(on);
    KLOG(kProgress, "MilDigitizer::SetContinuousGrab: leaving\n");
}

void MilDigitizer::SetCompleteCB(CompleteCallback callback) {
    std::string line = "MilCamera::SetCompleteCB: ";
    const CompleteCallback current = flags_->completeCallback.load();
    if (current != nullptr) {
        line += "CB was already assigned. ";
        if (callback == current) {
            line += "The new CB is the same function. ";
        }
    }
    if (callback == nullptr) {
        line += "Resetting CB to null. ";
    }
    line += "\n";
    KLOG(kProgress, "%s", line.c_str());
    flags_->completeCallback.store(callback);
}

int MilDigitizer::ShareWidth() const {
    std::lock_guard lock(rowMutex_);
    return settings_.Width.value;
}

int MilDigitizer::ShareHeight() const {
    std::lock_guard lock(rowMutex_);
    return settings_.Height.value;
}

bool MilDigitizer::ShareGetRow(std::uint8_t* dest, int row, int first, int last) {
    return GetRow(dest, row, static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(last));
}

bool MilDigitizer::ShareBeginFrame() {
    // A grab that does not end within a second (a hanging library call)
    // costs one published frame, never the share thread.
    return flags_->frameLock.try_lock_shared_for(std::chrono::seconds(1));
}

void MilDigitizer::ShareEndFrame() {
    flags_->frameLock.unlock_shared();
}

void MilDigitizer::NotifyShare() {
    share_->NotifyFrame();
}

void MilDigitizer::ReplaceSettings(const CameraSettings& edited) {
    std::lock_guard lock(rowMutex_);
    settings_.CopyValuesFrom(edited);
    flags_->shareCamera.store(settings_.ShareCamera.value);
}

}  // namespace korvane

#include "camera/MilApp.h"

#include <map>
#include <new>

#include "camera/MilDigitizer.h"
#include "camera/MilErrorText.h"
#include "camera/MilSystem.h"
#include "driver/DriverLog.h"
#include "mil/MilCalls.h"
#include "platform/ProcessExit.h"

namespace korvane {
namespace {
// The one application. A host that exits without finalize leaves it to this
// slot's destructor. On POSIX that tears the cameras down while their grab
// threads still run, as finalize would. When the process ends the Windows
// way, those threads were stopped wherever they stood, holding locks or
// owing events that teardown would wait on for ever: the application and
// everything it holds are then left to the system.
struct AppSlot {
    std::unique_ptr<MilApp> app;
    ~AppSlot() {
        if (platform::ProcessIsEnding()) {
            [[maybe_unused]] MilApp* left = app.release();
        }
    }
};

std::unique_ptr<MilApp>& Singleton() {
    static AppSlot slot;
    return slot.app;
}
}  // namespace

const std::vector<std::string>& MilApp::SupportedSystemTypes() {
    static const std::vector<std::string> types = {
        "M_SYSTEM_CORONA_II",    "M_SYSTEM_METEOR_II",  "M_SYSTEM_METEOR_II_DIG",
        "M_SYSTEM_METEOR_II_CL", "M_SYSTEM_1394",       "M_SYSTEM_ODYSSEY",
        "M_SYSTEM_HELIOS",       "M_SYSTEM_IRIS",       "M_SYSTEM_MORPHIS",
        "M_SYSTEM_SOLIOS",       "M_SYSTEM_VIO",        "M_SYSTEM_NEXIS",
        "M_SYSTEM_GIGE_VISION",  "M_SYSTEM_MORPHISQXT", "M_SYSTEM_SOLIOS_GIGE",
        "M_SYSTEM_MORPHIS_EVO",  "M_SYSTEM_IRIS_GT",    "M_SYSTEM_RADIENT"};
    return types;
}

MilApp& MilApp::GetInstance() {
    auto& instance = Singleton();
    if (!instance) {
        try {
            instance = std::make_unique<MilApp>();
        } catch (const std::bad_alloc&) {
            KLOG(kError, "MilApp::GetInstance: ERROR: no valid instance\n");
            throw LookupError();
        }
    }
    return *instance;
}

void MilApp::DestroyInstance() {
    auto& instance = Singleton();
    if (instance) {
        // Grab threads call the host back, and the host's callback may use
        // the exports (rows, properties) while finalize runs: stop them all
        // while the registry is still whole, then take it down.
        instance->StopGrabThreads();
    }
    instance.reset();
}

void MilApp::StopGrabThreads() {
    for (const auto& system : systems_) {
        for (const auto& camera : system->digitizers()) {
            camera->StopGrabThread();
        }
    }
}

bool MilApp::HasInstance() {
    return static_cast<bool>(Singleton());
}

MilApp::MilApp() = default;

MilApp::~MilApp() {
    KLOG(kProgress, "MilApp::~MilSolios\n");
    DestroySolios();
}

bool MilApp::Init() {
    KLOG(kProgress, "MilApp::Init: enter\n");
    if (appId_ != 0 || !systems_.empty()) {
        // A second initialize without finalize: the earlier application
        // would otherwise stay allocated for the life of the process.
        KLOG(kError,
             "MilApp::Init: WARNING: already initialized, releasing the earlier cameras first\n");
        DestroySolios();
    }
    std::string backendError;
    const mil::MilApi* api = mil::SelectBackend(backendError);
    if (api == nullptr) {
        KLOG(kError, "MilApp::Init: ERROR: MappAlloc failed, %s\n", backendError.c_str());
        return false;
    }
    mil::MilCalls calls(*api);
    appId_ = calls.MappAlloc(mil::M_DEFAULT);
    if (appId_ == 0) {
        KLOG(kError, "MilApp::Init: ERROR: MappAlloc failed, %s\n", MilErrorText().c_str());
        return false;
    }
    calls.MappControl(mil::M_ERROR, mil::M_PRINT_DISABLE);

    const mil::MilInt count = calls.MappInquire(mil::M_INSTALLED_SYSTEM_COUNT);

    // Descriptors in ascending byte order, each with how many boards carry it.
    std::map<std::string, int> boards;
    for (mil::MilInt i = 0; i < count; ++i) {
        char descriptor[mil::kDescriptorSize] = {};
        calls.MappInquireText(mil::M_INSTALLED_SYSTEM_DESCRIPTOR + i, descriptor,
                              sizeof descriptor);
        bool supported = false;
        for (const auto& type : SupportedSystemTypes()) {
            if (std::string_view(descriptor).find(type) != std::string_view::npos) {
                supported = true;
                break;
            }
        }
        if (supported) {
            KLOG(kDetail, "MilApp::Init: %s system found\n", descriptor);
            ++boards[descriptor];
        } else {
            KLOG(kDetail, "MilApp::Init: %s system not supported, skiped\n", descriptor);
        }
    }

    for (const auto& [descriptor, n] : boards) {
        KLOG(kProgress, "MilApp::Init: %d %s board(s) found\n", n, descriptor.c_str());
        for (int device = 0; device < n; ++device) {
            std::unique_ptr<MilSystem> system;
            try {
                system = std::make_unique<MilSystem>(*this);
            } catch (const std::bad_alloc&) {
                KLOG(kError, "MilApp::Init:  ERROR: could not allocate MilSystem object\n");
                return false;
            }
            if (!system->Init(descriptor, device)) {
                // The failed board releases whatever it had allocated.
                return false;
            }
            systems_.push_back(std::move(system));
        }
    }
    initialised_ = true;
    return true;
}

void MilApp::DestroySolios() {
    KLOG(kProgress, "MilApp::DestroySolios\n");
    configNames_.reset();
    lastRowCamera_.store(nullptr, std::memory_order_release);
    for (auto& system : systems_) {
        system.reset();
    }
    systems_.clear();
    if (appId_ != 0) {
        mil::Calls().MappFree(appId_);
    }
    appId_ = 0;
    initialised_ = false;
}

std::vector<MilDigitizer*> MilApp::CollectCameras() {
    std::vector<MilDigitizer*> cameras;
    for (const auto& system : systems_) {
        for (const auto& camera : system->digitizers()) {
            cameras.push_back(camera.get());
        }
    }
    return cameras;
}

bool MilApp::IsCameraAvailable(const char* name) {
    KLOG(kDetail, "MilSolios::IsCameraAvailable:  name=%s\n", name != nullptr ? name : "(null)");
    for (MilDigitizer* camera : CollectCameras()) {
        if (camera->HasName(name)) {
            return true;
        }
    }
    return false;
}

MilDigitizer* MilApp::FindByPort(int port) const {
    // Walked for every delivered row: no list is built on the way.
    for (const auto& system : systems_) {
        for (const auto& camera : system->digitizers()) {
            if (camera->port() == port) {
                return camera.get();
            }
        }
    }
    return nullptr;
}

bool MilApp::IsPortInUse(int port) {
    return FindByPort(port) != nullptr;
}

int MilApp::GetCameraCount() {
    return static_cast<int>(CollectCameras().size());
}

char** MilApp::GetCameraConfigNames() {
    configNames_.reset();
    auto cameras = CollectCameras();
    configNames_ = std::make_unique<char*[]>(cameras.size() + 1);
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        configNames_[i] = cameras[i]->NameStorage();
    }
    configNames_[cameras.size()] = nullptr;
    return configNames_.get();
}

MilDigitizer& MilApp::GetByPort(int port) {
    KLOG(kTrace, "MilApp::GetByPort:  %d\n", port);
    if (MilDigitizer* camera = FindByPort(port)) {
        return *camera;
    }
    KLOG(kError, "MilApp::GetByPort: ERROR: could not find camera on port %d\n", port);
    throw LookupError();
}

MilDigitizer& MilApp::GetByName(const char* name) {
    KLOG(kDetail, "MilApp::GetByName: enter %s\n", name != nullptr ? name : "(null)");
    for (MilDigitizer* camera : CollectCameras()) {
        if (camera->HasName(name)) {
            return *camera;
        }
    }
    KLOG(kError, "MilApp::GetByName: ERROR: could not find camera %s\n",
         name != nullptr ? name : "(null)");
    throw LookupError();
}

}  // namespace korvane

#include "camera/MilSystem.h"

#include <new>

#include "camera/MilDigitizer.h"
#include "camera/MilErrorText.h"
#include "driver/DriverLog.h"
#include "mil/MilCalls.h"

namespace korvane {

MilSystem::MilSystem(MilApp& app) : app_(app) {}

MilSystem::~MilSystem() {
    for (auto& camera : digitizers_) {
        camera.reset();
    }
    digitizers_.clear();
    if (sysId_ != 0) {
        mil::Calls().MsysFree(sysId_);
        sysId_ = 0;
    }
}

bool MilSystem::Init(const std::string& descriptor, int deviceNumber) {
    mil::MilCalls api = mil::Calls();
    sysId_ = api.MsysAlloc(descriptor.c_str(), deviceNumber, 0);
    if (sysId_ == 0) {
        KLOG(kError, "MilSystem::Init: ERROR: MsysAlloc failed, %s\n", MilErrorText().c_str());
        return false;
    }
    mil::MilInt async = 0;
    api.MsysInquire(sysId_, mil::M_ASYNCHRONOUS_CALL_SUPPORT, &async);
    if (async == 0) {
        KLOG(kError, "MilSystem::Init: ERROR: No async support\n");
        return false;
    }
    mil::MilInt number = 0;
    const mil::MilInt b = api.MsysInquire(sysId_, mil::M_NUMBER, &number);
    KLOG(kProgress, "MilSystem::Init: board num:%d M_Default:%d M_Dev_0:%d M_Dev1:%d M_Dev2:%d\n",
         static_cast<int>(b), (b & mil::M_DEFAULT) == mil::M_DEFAULT ? 1 : 0, 1,
         (b & 1) == 1 ? 1 : 0, (b & 2) == 2 ? 1 : 0);

    char serial[mil::kErrorTextSize] = {};
    api.MsysInquireText(sysId_, mil::M_SERIAL_NUMBER, serial, sizeof serial);
    KLOG(kError, "Board serial #:%s\n", serial);

    mil::MilInt count = 0;
    api.MsysInquire(sysId_, mil::M_DIGITIZER_NUM, &count);
    KLOG(kProgress, "MilSystem::Init: digitizer count:%d\n", static_cast<int>(count));

    for (int k = 0; k < static_cast<int>(count); ++k) {
        try {
            auto camera = std::make_unique<MilDigitizer>(app_, *this);
            camera->SetDevice(*this, k);
            digitizers_.push_back(std::move(camera));
        } catch (const std::bad_alloc&) {
            KLOG(kError, "MilSystem::Init:  ERROR: could not allocate MilDigitizer object\n");
            return false;
        }
    }
    return true;
}

}  // namespace korvane

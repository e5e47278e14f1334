#include "camera/Notice.h"

#include "driver/DriverLog.h"
#include "platform/UiNotice.h"

namespace korvane {

int CameraNotice(const std::string& text, const std::string& caption, unsigned flags,
                 void* parentWindow) {
    if (!platform::NoticeUiAvailable()) {
        KLOG(kError, "%s: %s\n", caption.c_str(), text.c_str());
    }
    return platform::ShowNotice(text, caption, flags, parentWindow);
}

}  // namespace korvane

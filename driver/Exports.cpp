// The nineteen functions the host calls. Each checks its arguments, hands
// the work to the camera registry, logs what it did and never lets an
// exception leave the library.
#include <cstring>

#include "camera/CommandParser.h"
#include "camera/MilApp.h"
#include "camera/MilDigitizer.h"
#include "driver/DriverLog.h"
#include "korvane/korvane.h"
#include "platform/Clock.h"

using korvane::DriverLog;
using korvane::MilApp;
using enum korvane::LogLevel;

namespace {
constexpr const char* kVersion = "1,0,0,1";
const char* Text(const char* s) {
    return s != nullptr ? s : "(null)";
}
}  // namespace

extern "C" {

KORVANE_API int KORVANE_CALL setSystemPath(const char* systemPath) {
    return DriverLog::Instance().SetSystemPath(systemPath) ? 1 : 0;
}

KORVANE_API void KORVANE_CALL setDebugMsgProc(DebugMsgProc msgProc) {
    DriverLog::Instance().SetMessageProc(msgProc);
}

KORVANE_API int KORVANE_CALL initialize(const char* systemPath, DebugMsgProc msgProc) {
    try {
        setSystemPath(systemPath);
        setDebugMsgProc(msgProc);
        MilApp::GetInstance().Init();
        const korvane::platform::LocalTime t = korvane::platform::CurrentLocalTime();
        KLOG(kError, "initialize: Mil camera driver V%s, %d-%d-%d %d:%d:%d\n", kVersion, t.year,
             t.month, t.day, t.hour, t.minute, t.second);
        return 1;
    } catch (...) {
        KLOG(kError, "initialize: -- EXCEPTION occured\n");
        return 0;
    }
}

KORVANE_API int KORVANE_CALL finalize(void) {
    try {
        MilApp::GetInstance();
        MilApp::DestroyInstance();
        KLOG(kProgress, "finalize");
        return 1;
    } catch (...) {
        KLOG(kError, "finalize: --EXCEPTION occured \n");
        return 0;
    }
}

KORVANE_API int KORVANE_CALL configureCamera(void* parentWindow, const char* cameraName) {
    try {
        MilApp& app = MilApp::GetInstance();
        if (!app.IsCameraAvailable(cameraName)) {
            KLOG(kError, "configureCamera: ERROR: cannot find camera by name: %s\n",
                 Text(cameraName));
            return 0;
        }
        return app.GetByName(cameraName).ShowProperties(parentWindow) ? 0 : 1;
    } catch (...) {
        KLOG(kError, "configureCamera --EXCEPTION , cameraName=%s\n", Text(cameraName));
        return 1;
    }
}

KORVANE_API int KORVANE_CALL getXELMaxNoOfGrabbers(void) {
    return 1;
}

KORVANE_API int KORVANE_CALL getXELMaxNoOfPorts(void) {
    return 20;
}

KORVANE_API int KORVANE_CALL getXELNoOfSupportedCameras(void) {
    try {
        return MilApp::GetInstance().GetCameraCount();
    } catch (...) {
        KLOG(kError, "getXELNoOfSupportedCameras: ERROR: the camera list is not available\n");
        return 0;
    }
}

KORVANE_API char** KORVANE_CALL getXELCameraConfigNames(void) {
    try {
        return MilApp::GetInstance().GetCameraConfigNames();
    } catch (...) {
        // An empty list rather than no list: hosts walk it to the null.
        static char* empty[1] = {nullptr};
        KLOG(kError, "getXELCameraConfigNames: ERROR: the camera list is not available\n");
        return empty;
    }
}

KORVANE_API int KORVANE_CALL openXELPort(int grabberNo, int portNo, const char* cameraName,
                                         int* imageSize) {
    try {
        if (imageSize == nullptr) {
            KLOG(kError, "openXELPort: ERROR: image size output not supplied, portNo=%d\n", portNo);
            return 0;
        }
        imageSize[0] = 0;
        imageSize[1] = 0;
        if (cameraName == nullptr || *cameraName == '\0' ||
            korvane::EqualsNoCase(cameraName, "Undefined")) {
            KLOG(kError,
                 "openXELPort: ERROR: undefined camera, grabberNo=%d, portNo=%d, cameraName=%s\n",
                 grabberNo, portNo, Text(cameraName));
            return 0;
        }
        MilApp& app = MilApp::GetInstance();
        if (!app.IsCameraAvailable(cameraName)) {
            KLOG(kError, "openXELPort: ERROR: cannot find camera by name:%s\n", cameraName);
            return 0;
        }
        if (app.IsPortInUse(portNo)) {
            KLOG(kError, "openXELPort: ERROR: port %d already in use\n", portNo);
            return 0;
        }
        korvane::MilDigitizer& camera = app.GetByName(cameraName);
        if (!camera.Open(portNo, imageSize)) {
            KLOG(kError,
                 "openXELPort: ERROR: camera not opened, grabberNo=%d, portNo=%d, cameraName=%s\n",
                 grabberNo, portNo, cameraName);
            return 0;
        }
        KLOG(kProgress, "openXELPort: -- Camera %s OPENED on port %d\n", camera.name().c_str(),
             portNo);
        return 1;
    } catch (...) {
        KLOG(kError, "openXELPort: --EXCEPTION caught grabberNo=%d, portNo=%d, cameraName=%s\n",
             grabberNo, portNo, Text(cameraName));
        return 0;
    }
}

KORVANE_API void KORVANE_CALL closeXELPort(int grabberNo, int portNo) {
    try {
        MilApp::GetInstance().GetByPort(portNo).Close();
    } catch (...) {
        KLOG(kError, "closeXELPort: --EXCEPTION caught  grabberNo=%d, portNo=%d\n", grabberNo,
             portNo);
    }
    KLOG(kProgress, "closeXELPort: grabberNo=%d, portNo=%d\n", grabberNo, portNo);
}

KORVANE_API int KORVANE_CALL doXELGrab(int grabberNo, int portNo) {
    try {
        KLOG(kDetail, "doXELGrab: grabberNo=%d portNo=%d\n", grabberNo, portNo);
        return MilApp::GetInstance().GetByPort(portNo).Grab() ? 1 : 0;
    } catch (...) {
        KLOG(kError, "doXELGrab: --EXCEPTION caught  grabberNo=%d portNo=%d\n", grabberNo, portNo);
        return 0;
    }
}

KORVANE_API int KORVANE_CALL getXELGrabRow(int grabberNo, int portNo, unsigned char* dest, int row,
                                           int firstPix, int lastPix) {
    try {
        // Called once per row: the lookup and the log checks stay cheap.
        static DriverLog& log = DriverLog::Instance();
        const bool verbose = log.Enabled(kTrace);
        if (!MilApp::GetInstance().GetRow(portNo, verbose, dest, row,
                                          static_cast<std::uint32_t>(firstPix),
                                          static_cast<std::uint32_t>(lastPix))) {
            return 0;
        }
        if (verbose) {
            log.Print(kTrace, "getXELGrabRow: row=%d  grabberNo=%d  portNo=%d\n", row, grabberNo,
                      portNo);
        }
        return 1;
    } catch (...) {
        KLOG(kError, "getXELGrabRow: --EXCEPTION caught \n");
        return 0;
    }
}

KORVANE_API int KORVANE_CALL setHWTrigger(int /*grabberNo*/, int /*portNo*/, int /*mode*/) {
    try {
        KLOG(kProgress, "setHWTrigger: ");
        return 1;
    } catch (...) {
        return 0;
    }
}

KORVANE_API int KORVANE_CALL setCompleteCallback(int grabberNo, int portNo,
                                                 CompleteCallback callback) {
    try {
        MilApp::GetInstance().GetByPort(portNo).SetCompleteCB(callback);
        KLOG(kProgress, "setCompleteCallback: grabberNo=%d   portNo=%d\n", grabberNo, portNo);
        return 1;
    } catch (...) {
        KLOG(kError, "setCompleteCallback: --EXCEPTION caught \n");
        return 0;
    }
}

KORVANE_API int KORVANE_CALL getPropertyRange(int grabberNo, int portNo, const char* property,
                                              int* minValue, int* maxValue) {
    try {
        if (property == nullptr || minValue == nullptr || maxValue == nullptr) {
            KLOG(kError, "getPropertyRange: ERROR: %s not supplied, portNo=%d\n",
                 property == nullptr ? "property name" : "range output", portNo);
            return 0;
        }
        korvane::MilDigitizer& camera = MilApp::GetInstance().GetByPort(portNo);
        if (!camera.GetPropertyRange(property, minValue, maxValue)) {
            return 0;
        }
        KLOG(kProgress, "getPropertyRange: grabberNo=%d   portNo=%d\n", grabberNo, portNo);
        return 1;
    } catch (...) {
        KLOG(kError, "getPropertyRange: --EXCEPTION caught \n");
        return 0;
    }
}

KORVANE_API int KORVANE_CALL getProperty(int /*grabberNo*/, int portNo, const char* property,
                                         int* value) {
    try {
        if (property == nullptr || value == nullptr) {
            KLOG(kError, "getProperty: ERROR: %s not supplied, portNo=%d\n",
                 property == nullptr ? "property name" : "value output", portNo);
            return 0;
        }
        if (korvane::EqualsNoCase(property, "PixelSize")) {
            *value = 8;
            return 1;
        }
        if (!MilApp::GetInstance().GetByPort(portNo).GetProperty(property, value)) {
            return 0;
        }
        KLOG(kProgress, "getProperty: portNo=%d, prop=%s\n", portNo, property);
        return 1;
    } catch (...) {
        KLOG(kError, "--EXCEPTION caught at getProperty\n");
        return 0;
    }
}

KORVANE_API int KORVANE_CALL setProperty(int /*grabberNo*/, int portNo, const char* property,
                                         int value) {
    try {
        if (property == nullptr) {
            KLOG(kError, "setProperty: ERROR: property name not supplied, portNo=%d\n", portNo);
            return 0;
        }
        if (!MilApp::GetInstance().GetByPort(portNo).SetProperty(property, value)) {
            return 0;
        }
        KLOG(kProgress, "setProperty: portNo=%d\n", portNo);
        return 1;
    } catch (...) {
        KLOG(kError, "setProperty: --EXCEPTION caught \n");
        return 0;
    }
}

KORVANE_API int KORVANE_CALL execCmd(int grabberNo, int portNo, const char* command,
                                     const char* arguments, char* result, int resultSize) {
    try {
        KLOG(kProgress, "execCmd: entering grabberNo=%d   portNo=%d\n", grabberNo, portNo);
        if (result == nullptr) {
            KLOG(kError, "execCmd: ERROR: result buffer not supplied, portNo=%d\n", portNo);
            return 0;
        }
        MilApp::GetInstance().GetByPort(portNo).ExecCommand(command, arguments, result, resultSize);
        KLOG(kProgress, "execCmd: leaving grabberNo=%d   portNo=%d\n", grabberNo, portNo);
        return 1;
    } catch (...) {
        KLOG(kError, "execCmd: --EXCEPTION caught \n");
        korvane::CopyBounded(result, resultSize, "error");
        return 0;
    }
}

}  // extern "C"

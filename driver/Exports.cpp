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
        KLOG(1, "initialize: Mil camera driver V%s, %d-%d-%d %d:%d:%d\n", kVersion, t.year, t.month,
             t.day, t.hour, t.minute, t.second);
        return 1;
    } catch (...) {
        KLOG(1, "initialize: -- EXCEPTION occured\n");
        return 0;
    }
}

KORVANE_API int KORVANE_CALL finalize(void) {
    try {
        MilApp::GetInstance();
        MilApp::DestroyInstance();
        KLOG(2, "finalize");
        return 1;
    } catch (...) {
        KLOG(1, "finalize: --EXCEPTION occured \n");
        return 0;
    }
}

KORVANE_API int KORVANE_CALL configureCamera(void* parentWindow, const char* cameraName) {
    try {
        MilApp& app = MilApp::GetInstance();
        if (!app.IsCameraAvailable(cameraName)) {
            KLOG(1, "configureCamera: ERROR: cannot find camera by name: %s\n", Text(cameraName));
            return 0;
        }
        return app.GetByName(cameraName).ShowProperties(parentWindow) ? 0 : 1;
    } catch (...) {
        KLOG(1, "configureCamera --EXCEPTION , cameraName=%s\n", Text(cameraName));
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
        KLOG(1, "getXELNoOfSupportedCameras: ERROR: the camera list is not available\n");
        return 0;
    }
}

KORVANE_API char** KORVANE_CALL getXELCameraConfigNames(void) {
    try {
        return MilApp::GetInstance().GetCameraConfigNames();
    } catch (...) {
        // An empty list rather than no list: hosts walk it to the null.
        static char* empty[1] = {nullptr};
        KLOG(1, "getXELCameraConfigNames: ERROR: the camera list is not available\n");
        return empty;
    }
}

KORVANE_API int KORVANE_CALL openXELPort(int grabberNo, int portNo, const char* cameraName,
                                         int* imageSize) {
    try {
        if (imageSize == nullptr) {
            KLOG(1, "openXELPort: ERROR: image size output not supplied, portNo=%d\n", portNo);
            return 0;
        }
        imageSize[0] = 0;
        imageSize[1] = 0;
        if (cameraName == nullptr || *cameraName == '\0' ||
            korvane::EqualsNoCase(cameraName, "Undefined")) {
            KLOG(1,
                 "openXELPort: ERROR: undefined camera, grabberNo=%d, portNo=%d, cameraName=%s\n",
                 grabberNo, portNo, Text(cameraName));
            return 0;
        }
        MilApp& app = MilApp::GetInstance();
        if (!app.IsCameraAvailable(cameraName)) {
            KLOG(1, "openXELPort: ERROR: cannot find camera by name:%s\n", cameraName);
            return 0;
        }
        if (app.IsPortInUse(portNo)) {
            KLOG(1, "openXELPort: ERROR: port %d already in use\n", portNo);
            return 0;
        }
        korvane::MilDigitizer& camera = app.GetByName(cameraName);
        if (!camera.Open(portNo, imageSize)) {
            KLOG(1,
                 "openXELPort: ERROR: camera not opened, grabberNo=%d, portNo=%d, cameraName=%s\n",
                 grabberNo, portNo, cameraName);
            return 0;
        }
        KLOG(2, "openXELPort: -- Camera %s OPENED on port %d\n", camera.name().c_str(), portNo);
        return 1;
    } catch (...) {
        KLOG(1, "openXELPort: --EXCEPTION caught grabberNo=%d, portNo=%d, cameraName=%s\n",
             grabberNo, portNo, Text(cameraName));
        return 0;
    }
}

KORVANE_API void KORVANE_CALL closeXELPort(int grabberNo, int portNo) {
    try {
        MilApp::GetInstance().GetByPort(portNo).Close();
    } catch (...) {
        KLOG(1, "closeXELPort: --EXCEPTION caught  grabberNo=%d, portNo=%d\n", grabberNo, portNo);
    }
    KLOG(2, "closeXELPort: grabberNo=%d, portNo=%d\n", grabberNo, portNo);
}

KORVANE_API int KORVANE_CALL doXELGrab(int grabberNo, int portNo) {
    try {
        KLOG(3, "doXELGrab: grabberNo=%d portNo=%d\n", grabberNo, portNo);
        return MilApp::GetInstance().GetByPort(portNo).Grab() ? 1 : 0;
    } catch (...) {
        KLOG(1, "doXELGrab: --EXCEPTION caught  grabberNo=%d portNo=%d\n", grabberNo, portNo);
        return 0;
    }
}

KORVANE_API int KORVANE_CALL getXELGrabRow(int grabberNo, int portNo, unsigned char* dest, int row,
                                           int firstPix, int lastPix) {
    try {
        // Called once per row: the lookup and the log checks stay cheap.
        static DriverLog& log = DriverLog::Instance();
        const bool verbose = log.Enabled(4);
        if (!MilApp::GetInstance().GetRow(portNo, verbose, dest, row,
                                          static_cast<std::uint32_t>(firstPix),
                                          static_cast<std::uint32_t>(lastPix))) {
            return 0;
        }
        if (verbose) {
            log.Print(4, "getXELGrabRow: row=%d  grabberNo=%d  portNo=%d\n", row, grabberNo,
                      portNo);
        }
        return 1;
    } catch (...) {
        KLOG(1, "getXELGrabRow: --EXCEPTION caught \n");
        return 0;
    }
}

KORVANE_API int KORVANE_CALL setHWTrigger(int /*grabberNo*/, int /*portNo*/, int /*mode*/) {
    try {
        KLOG(2, "setHWTrigger: ");
        return 1;
    } catch (...) {
        return 0;
    }
}

KORVANE_API int KORVANE_CALL setCompleteCallback(int grabberNo, int portNo,
                                                 CompleteCallback callback) {
    try {
        MilApp::GetInstance().GetByPort(portNo).SetCompleteCB(callback);
        KLOG(2, "setCompleteCallback: grabberNo=%d   portNo=%d\n", grabberNo, portNo);
        return 1;
    } catch (...) {
        KLOG(1, "setCompleteCallback: --EXCEPTION caught \n");
        return 0;
    }
}

KORVANE_API int KORVANE_CALL getPropertyRange(int grabberNo, int portNo, const char* property,
                                              int* minValue, int* maxValue) {
    try {
        if (property == nullptr || minValue == nullptr || maxValue == nullptr) {
            KLOG(1, "getPropertyRange: ERROR: %s not supplied, portNo=%d\n",
                 property == nullptr ? "property name" : "range output", portNo);
            return 0;
        }
        korvane::MilDigitizer& camera = MilApp::GetInstance().GetByPort(portNo);
        if (!camera.GetPropertyRange(property, minValue, maxValue)) {
            return 0;
        }
        KLOG(2, "getPropertyRange: grabberNo=%d   portNo=%d\n", grabberNo, portNo);
        return 1;
    } catch (...) {
        KLOG(1, "getPropertyRange: --EXCEPTION caught \n");
        return 0;
    }
}

KORVANE_API int KORVANE_CALL getProperty(int /*grabberNo*/, int portNo, const char* property,
                                         int* value) {
    try {
        if (property == nullptr || value == nullptr) {
            KLOG(1, "getProperty: ERROR: %s not supplied, portNo=%d\n",
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
        KLOG(2, "getProperty: portNo=%d, prop=%s\n", portNo, property);
        return 1;
    } catch (...) {
        KLOG(1, "--EXCEPTION caught at getProperty\n");
        return 0;
    }
}

KORVANE_API int KORVANE_CALL setProperty(int /*grabberNo*/, int portNo, const char* property,
                                         int value) {
    try {
        if (property == nullptr) {
            KLOG(1, "setProperty: ERROR: property name not supplied, portNo=%d\n", portNo);
            return 0;
        }
        if (!MilApp::GetInstance().GetByPort(portNo).SetProperty(property, value)) {
            return 0;
        }
        KLOG(2, "setProperty: portNo=%d\n", portNo);
        return 1;
    } catch (...) {
        KLOG(1, "setProperty: --EXCEPTION caught \n");
        return 0;
    }
}

KORVANE_API int KORVANE_CALL execCmd(int grabberNo, int portNo, const char* command,
                                     const char* arguments, char* result, int resultSize) {
    try {
        KLOG(2, "execCmd: entering grabberNo=%d   portNo=%d\n", grabberNo, portNo);
        if (result == nullptr) {
            KLOG(1, "execCmd: ERROR: result buffer not supplied, portNo=%d\n", portNo);
            return 0;
        }
        MilApp::GetInstance().GetByPort(portNo).ExecCommand(command, arguments, result, resultSize);
        KLOG(2, "execCmd: leaving grabberNo=%d   portNo=%d\n", grabberNo, portNo);
        return 1;
    } catch (...) {
        KLOG(1, "execCmd: --EXCEPTION caught \n");
        korvane::CopyBounded(result, resultSize, "error");
        return 0;
    }
}

}  // extern "C"

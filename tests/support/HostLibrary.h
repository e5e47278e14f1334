#pragma once
// The built driver library as a host sees it: loaded with dlopen, used only
// through its exports, resolved by name.
#include <string>

#include "korvane/korvane.h"

namespace korvane::test {

struct DriverExports {
    decltype(&::initialize) initialize = nullptr;
    decltype(&::finalize) finalize = nullptr;
    decltype(&::setSystemPath) setSystemPath = nullptr;
    decltype(&::setDebugMsgProc) setDebugMsgProc = nullptr;
    decltype(&::configureCamera) configureCamera = nullptr;
    decltype(&::getXELMaxNoOfGrabbers) getXELMaxNoOfGrabbers = nullptr;
    decltype(&::getXELMaxNoOfPorts) getXELMaxNoOfPorts = nullptr;
    decltype(&::getXELNoOfSupportedCameras) getXELNoOfSupportedCameras = nullptr;
    decltype(&::getXELCameraConfigNames) getXELCameraConfigNames = nullptr;
    decltype(&::openXELPort) openXELPort = nullptr;
    decltype(&::closeXELPort) closeXELPort = nullptr;
    decltype(&::doXELGrab) doXELGrab = nullptr;
    decltype(&::getXELGrabRow) getXELGrabRow = nullptr;
    decltype(&::setHWTrigger) setHWTrigger = nullptr;
    decltype(&::setCompleteCallback) setCompleteCallback = nullptr;
    decltype(&::getPropertyRange) getPropertyRange = nullptr;
    decltype(&::getProperty) getProperty = nullptr;
    decltype(&::setProperty) setProperty = nullptr;
    decltype(&::execCmd) execCmd = nullptr;
};

// Loads the library once per process (KORVANE_LIBRARY_PATH) and answers its
// exports; a missing export fails the calling test.
const DriverExports& Driver();

// The path of the built library.
std::string DriverLibraryPath();

// The names the library exports (its dynamic symbol table).
std::string ExportedSymbolTable();

}  // namespace korvane::test

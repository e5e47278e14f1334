#pragma once
// The driver loaded the way an inspection host loads it: by path, through
// its exports only.
#include <string>

#include "korvane/korvane.h"
#include "platform/DynamicLibrary.h"

namespace grab {

// The loaded library stays loaded as long as the Driver lives.
struct Driver {
    korvane::platform::DynamicLibrary library;
    decltype(&::initialize) initialize = nullptr;
    decltype(&::finalize) finalize = nullptr;
    decltype(&::getXELNoOfSupportedCameras) getXELNoOfSupportedCameras = nullptr;
    decltype(&::getXELCameraConfigNames) getXELCameraConfigNames = nullptr;
    decltype(&::openXELPort) openXELPort = nullptr;
    decltype(&::closeXELPort) closeXELPort = nullptr;
    decltype(&::doXELGrab) doXELGrab = nullptr;
    decltype(&::getXELGrabRow) getXELGrabRow = nullptr;
    decltype(&::setCompleteCallback) setCompleteCallback = nullptr;
    decltype(&::setProperty) setProperty = nullptr;
    decltype(&::getProperty) getProperty = nullptr;
};

// Loads the library; on failure answers false with the reason in error.
bool LoadDriver(const std::string& explicitPath, Driver& driver, std::string& error,
                std::string& loadedFrom);

}  // namespace grab

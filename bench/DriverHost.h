#pragma once
// The built driver loaded through its exports, for benchmarks that measure
// what a host sees.
#include <string>

#include "korvane/korvane.h"

namespace bench {

struct DriverHost {
    decltype(&::initialize) initialize = nullptr;
    decltype(&::finalize) finalize = nullptr;
    decltype(&::openXELPort) openXELPort = nullptr;
    decltype(&::closeXELPort) closeXELPort = nullptr;
    decltype(&::doXELGrab) doXELGrab = nullptr;
    decltype(&::getXELGrabRow) getXELGrabRow = nullptr;
    decltype(&::setCompleteCallback) setCompleteCallback = nullptr;
    decltype(&::setProperty) setProperty = nullptr;
};

// Loaded once per process; aborts the benchmark program when it cannot be.
const DriverHost& Driver();

// A fresh directory for a benchmark's system path and files.
std::string MakeScratchDir();
void WriteText(const std::string& path, const std::string& text);

}  // namespace bench

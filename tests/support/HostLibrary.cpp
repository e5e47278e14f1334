#include "tests/support/HostLibrary.h"

#include <dlfcn.h>

#include <cstdio>
#include <stdexcept>

namespace korvane::test {
namespace {

template <typename F>
void Resolve(void* handle, const char* name, F& out) {
    void* symbol = dlsym(handle, name);
    if (symbol == nullptr) {
        throw std::runtime_error(std::string("export missing: ") + name);
    }
    out = reinterpret_cast<F>(symbol);
}

DriverExports Load() {
    void* handle = dlopen(KORVANE_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        throw std::runtime_error(std::string("cannot load the driver: ") + dlerror());
    }
    DriverExports d;
#define KORVANE_RESOLVE(name) Resolve(handle, #name, d.name)
    KORVANE_RESOLVE(initialize);
    KORVANE_RESOLVE(finalize);
    KORVANE_RESOLVE(setSystemPath);
    KORVANE_RESOLVE(setDebugMsgProc);
    KORVANE_RESOLVE(configureCamera);
    KORVANE_RESOLVE(getXELMaxNoOfGrabbers);
    KORVANE_RESOLVE(getXELMaxNoOfPorts);
    KORVANE_RESOLVE(getXELNoOfSupportedCameras);
    KORVANE_RESOLVE(getXELCameraConfigNames);
    KORVANE_RESOLVE(openXELPort);
    KORVANE_RESOLVE(closeXELPort);
    KORVANE_RESOLVE(doXELGrab);
    KORVANE_RESOLVE(getXELGrabRow);
    KORVANE_RESOLVE(setHWTrigger);
    KORVANE_RESOLVE(setCompleteCallback);
    KORVANE_RESOLVE(getPropertyRange);
    KORVANE_RESOLVE(getProperty);
    KORVANE_RESOLVE(setProperty);
    KORVANE_RESOLVE(execCmd);
#undef KORVANE_RESOLVE
    return d;
}

}  // namespace

const DriverExports& Driver() {
    static const DriverExports exports = Load();
    return exports;
}

std::string DriverLibraryPath() { return KORVANE_LIBRARY_PATH; }

std::string ExportedSymbolTable() {
    const std::string command =
        "nm -D --defined-only --format=posix '" + DriverLibraryPath() + "' 2>/dev/null";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n = 0;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            out.append(buffer, n);
        }
        pclose(pipe);
    }
    return out;
}

}  // namespace korvane::test

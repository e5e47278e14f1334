#include "tools/korvane-grab/DriverLibrary.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

namespace grab {
namespace {

std::string OwnDirectory() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) {
        return ".";
    }
    path[n] = '\0';
    std::string s(path);
    const auto slash = s.rfind('/');
    return slash == std::string::npos ? "." : s.substr(0, slash);
}

template <typename F>
bool Resolve(void* handle, const char* name, F& out, std::string& error) {
    out = reinterpret_cast<F>(dlsym(handle, name));
    if (out == nullptr) {
        error = std::string("the library has no export named ") + name;
        return false;
    }
    return true;
}

}  // namespace

bool LoadDriver(const std::string& explicitPath, Driver& driver, std::string& error,
                std::string& loadedFrom) {
    std::vector<std::string> candidates;
    if (!explicitPath.empty()) {
        candidates.push_back(explicitPath);
    } else {
        if (const char* env = std::getenv("KORVANE_LIBRARY"); env != nullptr && *env != '\0') {
            candidates.emplace_back(env);
        }
        const std::string dir = OwnDirectory();
        candidates.push_back(dir + "/libKorvane.so");
        candidates.push_back(dir + "/../lib/libKorvane.so");
        candidates.emplace_back(KORVANE_BUILD_LIBRARY);
    }
    void* handle = nullptr;
    std::string reasons;
    for (const auto& path : candidates) {
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle != nullptr) {
            loadedFrom = path;
            break;
        }
        reasons += "\n  " + std::string(dlerror());
    }
    if (handle == nullptr) {
        error = "cannot load the Korvane library:" + reasons;
        return false;
    }
    return Resolve(handle, "initialize", driver.initialize, error) &&
           Resolve(handle, "finalize", driver.finalize, error) &&
           Resolve(handle, "getXELNoOfSupportedCameras", driver.getXELNoOfSupportedCameras,
                   error) &&
           Resolve(handle, "getXELCameraConfigNames", driver.getXELCameraConfigNames, error) &&
           Resolve(handle, "openXELPort", driver.openXELPort, error) &&
           Resolve(handle, "closeXELPort", driver.closeXELPort, error) &&
           Resolve(handle, "doXELGrab", driver.doXELGrab, error) &&
           Resolve(handle, "getXELGrabRow", driver.getXELGrabRow, error) &&
           Resolve(handle, "setCompleteCallback", driver.setCompleteCallback, error) &&
           Resolve(handle, "setProperty", driver.setProperty, error) &&
           Resolve(handle, "getProperty", driver.getProperty, error);
}

}  // namespace grab

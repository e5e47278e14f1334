#include "tools/korvane-grab/DriverLibrary.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>

#include <climits>
#endif

#include <cstdlib>
#include <vector>

namespace grab {
namespace {

#ifdef _WIN32
constexpr const char* kLibraryName = "Korvane.dll";
#else
constexpr const char* kLibraryName = "libKorvane.so";
#endif

// The folder holding this program: a host ships the driver next to itself.
std::string OwnDirectory() {
#ifdef _WIN32
    char path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path);
    if (n == 0 || n >= sizeof path) {
        return ".";
    }
    const std::string s(path, n);
    const auto slash = s.find_last_of("\\/");
#else
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) {
        return ".";
    }
    const std::string s(path, static_cast<std::size_t>(n));
    const auto slash = s.rfind('/');
#endif
    return slash == std::string::npos ? "." : s.substr(0, slash);
}

template <typename F>
bool Resolve(const korvane::platform::DynamicLibrary& library, const char* name, F& out,
             std::string& error) {
    std::string reason;
    out = reinterpret_cast<F>(library.Symbol(name, reason));
    if (out == nullptr) {
        error = std::string("the library has no export named ") + name + " (" + reason + ")";
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
        candidates.push_back(dir + "/" + kLibraryName);
        candidates.push_back(dir + "/../lib/" + kLibraryName);
        candidates.emplace_back(KORVANE_BUILD_LIBRARY);
    }
    std::string reasons;
    for (const auto& path : candidates) {
        std::string reason;
        if (driver.library.Open(path, reason)) {
            loadedFrom = path;
            break;
        }
        reasons += "\n  " + path + ": " + reason;
    }
    if (!driver.library.IsOpen()) {
        error = "cannot load the Korvane library:" + reasons;
        return false;
    }
    const auto& lib = driver.library;
    return Resolve(lib, "initialize", driver.initialize, error) &&
           Resolve(lib, "finalize", driver.finalize, error) &&
           Resolve(lib, "getXELNoOfSupportedCameras", driver.getXELNoOfSupportedCameras, error) &&
           Resolve(lib, "getXELCameraConfigNames", driver.getXELCameraConfigNames, error) &&
           Resolve(lib, "openXELPort", driver.openXELPort, error) &&
           Resolve(lib, "closeXELPort", driver.closeXELPort, error) &&
           Resolve(lib, "doXELGrab", driver.doXELGrab, error) &&
           Resolve(lib, "getXELGrabRow", driver.getXELGrabRow, error) &&
           Resolve(lib, "setCompleteCallback", driver.setCompleteCallback, error) &&
           Resolve(lib, "setProperty", driver.setProperty, error) &&
           Resolve(lib, "getProperty", driver.getProperty, error);
}

}  // namespace grab

#include "bench/DriverHost.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace bench {
namespace {

template <typename F>
void Resolve(void* handle, const char* name, F& out) {
    out = reinterpret_cast<F>(dlsym(handle, name));
    if (out == nullptr) {
        std::fprintf(stderr, "benchmark: export %s missing\n", name);
        std::abort();
    }
}

DriverHost Load() {
    void* handle = dlopen(KORVANE_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        std::fprintf(stderr, "benchmark: cannot load %s: %s\n", KORVANE_LIBRARY_PATH, dlerror());
        std::abort();
    }
    DriverHost d;
    Resolve(handle, "initialize", d.initialize);
    Resolve(handle, "finalize", d.finalize);
    Resolve(handle, "openXELPort", d.openXELPort);
    Resolve(handle, "closeXELPort", d.closeXELPort);
    Resolve(handle, "doXELGrab", d.doXELGrab);
    Resolve(handle, "getXELGrabRow", d.getXELGrabRow);
    Resolve(handle, "setCompleteCallback", d.setCompleteCallback);
    Resolve(handle, "setProperty", d.setProperty);
    return d;
}

}  // namespace

const DriverHost& Driver() {
    static const DriverHost d = Load();
    return d;
}

std::string MakeScratchDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "korvane-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::abort();
    }
    return pattern;
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

}  // namespace bench

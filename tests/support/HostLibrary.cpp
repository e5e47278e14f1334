#include "tests/support/HostLibrary.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cstdio>
#include <stdexcept>

namespace korvane::test {
namespace {

#if defined(_WIN32)
template <typename F>
void Resolve(HMODULE handle, const char* name, F& out) {
    FARPROC symbol = GetProcAddress(handle, name);
    if (symbol == nullptr) {
        throw std::runtime_error(std::string("export missing: ") + name);
    }
    out = reinterpret_cast<F>(reinterpret_cast<void*>(symbol));
}

HMODULE LoadDriver() {
    HMODULE handle = LoadLibraryA(KORVANE_LIBRARY_PATH);
    if (handle == nullptr) {
        throw std::runtime_error("cannot load the driver: error " +
                                 std::to_string(GetLastError()));
    }
    return handle;
}
#else
template <typename F>
void Resolve(void* handle, const char* name, F& out) {
    void* symbol = dlsym(handle, name);
    if (symbol == nullptr) {
        throw std::runtime_error(std::string("export missing: ") + name);
    }
    out = reinterpret_cast<F>(symbol);
}

void* LoadDriver() {
    void* handle = dlopen(KORVANE_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        throw std::runtime_error(std::string("cannot load the driver: ") + dlerror());
    }
    return handle;
}
#endif

DriverExports Load() {
    auto handle = LoadDriver();
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

std::string DriverLibraryPath() {
    return KORVANE_LIBRARY_PATH;
}

#if defined(_WIN32)
// The export directory of the loaded module, one "name T" line per exported
// name, as the symbol table lists functions elsewhere.
std::string ExportedSymbolTable() {
    const auto* base = reinterpret_cast<const unsigned char*>(LoadDriver());
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (dir.VirtualAddress == 0) {
        return "";
    }
    const auto* exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    std::string out;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        out += reinterpret_cast<const char*>(base + names[i]);
        out += " T\n";
    }
    return out;
}
#else
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
#endif

}  // namespace korvane::test

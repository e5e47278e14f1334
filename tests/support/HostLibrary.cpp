#include "tests/support/HostLibrary.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace korvane::test {
namespace {

loader::Driver Load() {
    loader::Driver driver;
    std::string error;
    if (!driver.Load(KORVANE_LIBRARY_PATH, error)) {
        throw std::runtime_error(error);
    }
    return driver;
}

}  // namespace

const DriverExports& Driver() {
#if defined(_WIN32)
    // Kept loaded until the process ends, as a Windows host keeps it: a
    // library unloaded by an exit handler runs its teardown under the
    // loader's lock, where no thread it started can finish, so a test that
    // leaves cameras grabbing would hang there instead of in the exit path
    // it means to test.
    static const loader::Driver& driver = *std::make_unique<loader::Driver>(Load()).release();
#else
    static const loader::Driver driver = Load();
#endif
    return driver.Api();
}

std::string DriverLibraryPath() {
    return KORVANE_LIBRARY_PATH;
}

#if defined(_WIN32)
// The export directory of the loaded module, one "name T" line per exported
// name, as the symbol table lists functions elsewhere.
std::string ExportedSymbolTable() {
    const auto* base = reinterpret_cast<const unsigned char*>(LoadLibraryA(KORVANE_LIBRARY_PATH));
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

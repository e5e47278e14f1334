#include "platform/ProcessExit.h"

#include <windows.h>

namespace korvane::platform {

bool ProcessIsEnding() noexcept {
    // The loader's own answer: true from the moment ExitProcess has ended the
    // other threads and begun to detach the libraries. Looked up by name each
    // time (it is asked only by teardown code): the import libraries do not
    // all declare it, and a function-local static would take the runtime's
    // initialisation lock, which an ended thread may hold.
    using ShutdownQuery = BOOLEAN(NTAPI*)();
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) {
        return false;
    }
    const auto query = reinterpret_cast<ShutdownQuery>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlDllShutdownInProgress")));
    return query != nullptr && query() != FALSE;
}

}  // namespace korvane::platform

#include "tests/support/Win32Compat.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>

namespace {

// A crash under Wine (which runs no debugger here) would end the process
// with nothing but its exit code, and whatever it had printed still sat in
// the stdio buffer of a pipe. Say what happened before it ends.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    std::fflush(stdout);
    std::fprintf(stderr, "\n*** test process crashed: exception 0x%08lx at %p\n",
                 static_cast<unsigned long>(record->ExceptionCode), record->ExceptionAddress);
    std::fflush(stderr);
    return EXCEPTION_EXECUTE_HANDLER;  // ends the process with the exception code
}

}  // namespace

int InstallTestCrashReport() {
    static const int installed = [] {
        // Unbuffered even into a pipe (the C runtime has no line buffering),
        // so what was printed before an abrupt end is not lost.
        std::setvbuf(stdout, nullptr, _IONBF, 0);
        SetUnhandledExceptionFilter(&ReportCrash);
        return 1;
    }();
    return installed;
}
#endif

#include "platform/DynamicLibrary.h"

#include <utility>

#include "platform/SystemError.h"
#include "platform/win32/WinHandle.h"

namespace korvane::platform {
namespace {

std::string Reason(DWORD error) {
    std::string text = ErrorText(error);
    return text.empty() ? "error " + std::to_string(error)
                        : text + " (error " + std::to_string(error) + ")";
}

std::string DirectoryOf(HMODULE module) {
    char path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameA(module, path, sizeof path);
    if (n == 0 || n >= sizeof path) {
        return ".";
    }
    const std::string file(path, n);
    const auto slash = file.find_last_of("\\/");
    return slash == std::string::npos ? "." : file.substr(0, slash);
}

}  // namespace

bool DynamicLibrary::Open(const std::string& path, std::string& error) {
    Close();
    // No "cannot find the DLL" box for the user: the caller reports it.
    const UINT previous = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = ::LoadLibraryA(path.c_str());
    const DWORD loadError = ::GetLastError();
    ::SetErrorMode(previous);
    if (module == nullptr) {
        error = Reason(loadError);
        return false;
    }
    handle_ = reinterpret_cast<void*>(module);
    path_ = path;
    return true;
}

void* DynamicLibrary::Symbol(const std::string& name, std::string& error) const {
    if (handle_ == nullptr) {
        error = "no library loaded";
        return nullptr;
    }
    FARPROC address = ::GetProcAddress(static_cast<HMODULE>(handle_), name.c_str());
    if (address == nullptr) {
        error = Reason(::GetLastError());
        return nullptr;
    }
    return reinterpret_cast<void*>(address);
}

void* DynamicLibrary::Ordinal(int ordinal, std::string& error) const {
    if (handle_ == nullptr) {
        error = "no library loaded";
        return nullptr;
    }
    if (ordinal <= 0 || ordinal > 0xFFFF) {
        error = "ordinal " + std::to_string(ordinal) + " out of range";
        return nullptr;
    }
    FARPROC address = ::GetProcAddress(static_cast<HMODULE>(handle_),
                                       MAKEINTRESOURCEA(static_cast<WORD>(ordinal)));
    if (address == nullptr) {
        error = Reason(::GetLastError());
        return nullptr;
    }
    return reinterpret_cast<void*>(address);
}

void DynamicLibrary::Close() {
    if (handle_ != nullptr) {
        ::FreeLibrary(static_cast<HMODULE>(handle_));
        handle_ = nullptr;
    }
    path_.clear();
}

std::string ExecutableDirectory() {
    return DirectoryOf(nullptr);
}

std::string ModuleDirectory(const void* address) {
    HMODULE module = nullptr;
    if (!::GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<LPCSTR>(address), &module)) {
        return ".";
    }
    return DirectoryOf(module);
}

}  // namespace korvane::platform

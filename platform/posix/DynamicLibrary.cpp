#include "platform/DynamicLibrary.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

namespace korvane::platform {
namespace {

std::string DirectoryOf(const std::string& file) {
    const auto slash = file.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : file.substr(0, slash);
}

}  // namespace

bool DynamicLibrary::Open(const std::string& path, std::string& error) {
    Close();
    // RTLD_LOCAL keeps the library's symbols out of the global namespace, so
    // two libraries exporting the same names never see each other.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error = reason != nullptr ? reason : "unknown loader error";
        return false;
    }
    handle_ = handle;
    path_ = path;
    return true;
}

void* DynamicLibrary::Symbol(const std::string& name, std::string& error) const {
    if (handle_ == nullptr) {
        error = "no library loaded";
        return nullptr;
    }
    dlerror();  // a null symbol value is legal, so tell failure by dlerror
    void* address = dlsym(handle_, name.c_str());
    if (const char* reason = dlerror(); reason != nullptr) {
        error = reason;
        return nullptr;
    }
    if (address == nullptr) {
        error = "symbol " + name + " is null";
    }
    return address;
}

void* DynamicLibrary::Ordinal(int ordinal, std::string& error) const {
    error = "shared objects have no export ordinals (ordinal " + std::to_string(ordinal) + ")";
    return nullptr;
}

void DynamicLibrary::Close() {
    if (handle_ != nullptr) {
        dlclose(handle_);
        handle_ = nullptr;
    }
    path_.clear();
}

std::string ExecutableDirectory() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) {
        return ".";
    }
    return DirectoryOf(std::string(path, static_cast<std::size_t>(n)));
}

std::string ModuleDirectory(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr || *info.dli_fname == '\0') {
        return ".";
    }
    char resolved[PATH_MAX];
    if (realpath(info.dli_fname, resolved) != nullptr) {
        return DirectoryOf(resolved);
    }
    return DirectoryOf(info.dli_fname);
}

}  // namespace korvane::platform

// The handle's ownership, the same on every system; opening, looking up and
// closing are the system's own (platform/<system>/DynamicLibrary.cpp).
#include "platform/DynamicLibrary.h"

#include <utility>

namespace korvane::platform {

DynamicLibrary::~DynamicLibrary() {
    Close();
}

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), path_(std::move(other.path_)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, nullptr);
        path_ = std::move(other.path_);
    }
    return *this;
}

}  // namespace korvane::platform

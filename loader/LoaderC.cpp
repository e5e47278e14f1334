// The C interface of the loader over korvane::loader::Driver.
#include <cstring>
#include <exception>
#include <memory>
#include <string>

#include "korvane/korvane_loader.h"
#include "loader/DriverLoader.h"

struct KorvaneLoaderDriver {
    korvane::loader::Driver driver;
};

namespace {

void CopyText(const std::string& text, char* out, int size) {
    if (out == nullptr || size <= 0) {
        return;
    }
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(size) - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

}  // namespace

extern "C" {

KORVANE_LOADER_API KorvaneLoaderDriver* KORVANE_CALL korvaneLoaderLoad(const char* path,
                                                                       char* error, int errorSize) {
    try {
        auto loaded = std::make_unique<KorvaneLoaderDriver>();
        std::string reason;
        if (!loaded->driver.Load(path != nullptr ? path : "", reason)) {
            CopyText(reason, error, errorSize);
            return nullptr;
        }
        CopyText("", error, errorSize);
        return loaded.release();
    } catch (const std::exception& e) {
        CopyText(std::string("cannot load the Korvane library: ") + e.what(), error, errorSize);
        return nullptr;
    }
}

KORVANE_LOADER_API void KORVANE_CALL korvaneLoaderUnload(KorvaneLoaderDriver* driver) {
    std::unique_ptr<KorvaneLoaderDriver> owned(driver);
}

KORVANE_LOADER_API const char* KORVANE_CALL
korvaneLoaderLibraryPath(const KorvaneLoaderDriver* driver) {
    return driver != nullptr ? driver->driver.Path().c_str() : "";
}

KORVANE_LOADER_API void* KORVANE_CALL korvaneLoaderExport(const KorvaneLoaderDriver* driver,
                                                          const char* name) {
    if (driver == nullptr || name == nullptr) {
        return nullptr;
    }
    const auto& api = driver->driver.Api();
#define KORVANE_EXPORT_BY_NAME(export_name)              \
    if (std::strcmp(name, #export_name) == 0) {          \
        return reinterpret_cast<void*>(api.export_name); \
    }
    KORVANE_DRIVER_EXPORTS(KORVANE_EXPORT_BY_NAME)
#undef KORVANE_EXPORT_BY_NAME
    return nullptr;
}

KORVANE_LOADER_API int KORVANE_CALL korvaneLoaderReadFrame(const KorvaneLoaderDriver* driver,
                                                           int grabberNo, int portNo,
                                                           unsigned char* dest, int width,
                                                           int height, long long stride) {
    if (driver == nullptr) {
        return -1;
    }
    return korvane::loader::ReadFrame(driver->driver.Api(), grabberNo, portNo, dest, width, height,
                                      static_cast<std::ptrdiff_t>(stride));
}

}  // extern "C"

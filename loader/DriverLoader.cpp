#include "loader/DriverLoader.h"

#include <cstdlib>

namespace korvane::loader {
namespace {

template <typename F>
bool ResolveOne(const platform::DynamicLibrary& library, const char* name, F& out,
                std::string& error) {
    std::string reason;
    out = reinterpret_cast<F>(library.Symbol(name, reason));
    if (out == nullptr) {
        error =
            "the library " + library.Path() + " has no export named " + name + " (" + reason + ")";
        return false;
    }
    return true;
}

}  // namespace

const std::vector<std::string>& ExportNames() {
    static const std::vector<std::string> names = {
#define KORVANE_EXPORT_NAME(name) #name,
        KORVANE_DRIVER_EXPORTS(KORVANE_EXPORT_NAME)
#undef KORVANE_EXPORT_NAME
    };
    return names;
}

const char* DriverFileName() {
#ifdef _WIN32
    return "Korvane.dll";
#else
    return "libKorvane.so";
#endif
}

std::vector<std::string> DefaultLocations() {
    std::vector<std::string> places;
    if (const char* env = std::getenv("KORVANE_LIBRARY"); env != nullptr && *env != '\0') {
        places.emplace_back(env);
    }
    const std::string file = DriverFileName();
    const std::string program = platform::ExecutableDirectory();
    places.push_back(program + "/" + file);
    places.push_back(program + "/../lib/" + file);
    const std::string own = platform::ModuleDirectory(reinterpret_cast<const void*>(&ReadFrame));
    if (own != program) {
        places.push_back(own + "/" + file);
    }
#ifdef KORVANE_BUILD_LIBRARY
    places.emplace_back(KORVANE_BUILD_LIBRARY);
#endif
    return places;
}

bool Driver::Load(const std::string& path, std::string& error) {
    Unload();
    const std::vector<std::string> places =
        path.empty() ? DefaultLocations() : std::vector<std::string>{path};
    std::string reasons;
    for (const auto& place : places) {
        std::string reason;
        if (library_.Open(place, reason)) {
            if (Resolve(error)) {
                return true;
            }
            Unload();
            return false;
        }
        reasons += "\n  " + place + ": " + reason;
    }
    error = "cannot load the Korvane library:" + reasons;
    return false;
}

bool Driver::Resolve(std::string& error) {
#define KORVANE_RESOLVE_EXPORT(name)                      \
    if (!ResolveOne(library_, #name, api_.name, error)) { \
        return false;                                     \
    }
    KORVANE_DRIVER_EXPORTS(KORVANE_RESOLVE_EXPORT)
#undef KORVANE_RESOLVE_EXPORT
    return true;
}

void Driver::Unload() {
    api_ = Exports{};
    library_.Close();
}

int ReadFrame(const Exports& api, int grabberNo, int portNo, unsigned char* dest, int width,
              int height, std::ptrdiff_t stride) {
    if (api.getXELGrabRow == nullptr || dest == nullptr || width <= 0 || height < 0 ||
        stride < width) {
        return -1;
    }
    for (int row = 0; row < height; ++row) {
        if (api.getXELGrabRow(grabberNo, portNo, dest + row * stride, row, 0, width - 1) == 0) {
            return row;
        }
    }
    return height;
}

}  // namespace korvane::loader

#include "tools/korvane-share/PgmWriter.h"

#include <fstream>

namespace sharetool {

bool WritePgm(const std::string& path, const std::uint8_t* pixels, int width, int height,
              std::string& error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        error = "cannot create " + path;
        return false;
    }
    out << "P5\n" << width << ' ' << height << "\n255\n";
    out.write(reinterpret_cast<const char*>(pixels),
              static_cast<std::streamsize>(width) * static_cast<std::streamsize>(height));
    out.close();
    if (!out) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace sharetool

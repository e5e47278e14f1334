#include "tools/korvane-grab/FrameWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#if KORVANE_HAVE_PNG
#include <png.h>
#endif

namespace grab {

bool WritePgm(const std::string& path, int width, int height,
              const std::vector<std::uint8_t>& pixels, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    std::fprintf(file, "P5\n%d %d\n255\n", width, height);
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const bool ok = std::fwrite(pixels.data(), 1, n, file) == n;
    if (std::fclose(file) != 0 || !ok) {
        error = path + ": write failed";
        return false;
    }
    return true;
}

bool PngAvailable() {
#if KORVANE_HAVE_PNG
    return true;
#else
    return false;
#endif
}

bool WritePng(const std::string& path, int width, int height,
              const std::vector<std::uint8_t>& pixels, std::string& error) {
#if KORVANE_HAVE_PNG
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_GRAY;
    if (png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), width, nullptr) == 0) {
        error = path + ": " + image.message;
        png_image_free(&image);
        return false;
    }
    return true;
#else
    (void)path;
    (void)width;
    (void)height;
    (void)pixels;
    error = "PNG support was not built in";
    return false;
#endif
}

}  // namespace grab

#include "tools/korvane-view/Encoders.h"

#include <png.h>
#include <turbojpeg.h>

#include <memory>
#include <vector>

namespace view {
namespace {

struct TjDestroy {
    void operator()(void* handle) const { tjDestroy(handle); }
};
struct TjFree {
    void operator()(unsigned char* buffer) const { tjFree(buffer); }
};

// libpng reports errors through longjmp; the write happens inside one
// function with nothing to unwind but the struct, freed by its owner.
struct PngWrite {
    png_structp png = nullptr;
    png_infop info = nullptr;
    PngWrite() {
        png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        if (png != nullptr) {
            info = png_create_info_struct(png);
        }
    }
    ~PngWrite() { png_destroy_write_struct(&png, &info); }
    PngWrite(const PngWrite&) = delete;
    PngWrite& operator=(const PngWrite&) = delete;
};

void AppendToString(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::string*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), length);
}

void NoFlush(png_structp) {}

bool WritePngRows(PngWrite& w, const std::uint8_t* pixels, int width, int height,
                  std::string& out) {
    if (setjmp(png_jmpbuf(w.png))) {
        return false;
    }
    png_set_write_fn(w.png, &out, &AppendToString, &NoFlush);
    png_set_IHDR(w.png, w.info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
                 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    // The Sub filter alone and level 1: a 1280 x 960 frame in a few
    // milliseconds, still far smaller than the raw pixels for camera images.
    png_set_filter(w.png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_compression_level(w.png, 1);
    png_write_info(w.png, w.info);
    for (int y = 0; y < height; ++y) {
        png_write_row(w.png,
                      pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width));
    }
    png_write_end(w.png, nullptr);
    return true;
}

}  // namespace

bool EncodeJpeg(const std::uint8_t* pixels, int width, int height, int quality, std::string& out) {
    if (pixels == nullptr || width <= 0 || height <= 0 || quality < 1 || quality > 100) {
        return false;
    }
    std::unique_ptr<void, TjDestroy> handle(tjInitCompress());
    if (!handle) {
        return false;
    }
    unsigned char* raw = nullptr;
    unsigned long size = 0;
    const int rc = tjCompress2(handle.get(), pixels, width, width, height, TJPF_GRAY, &raw, &size,
                               TJSAMP_GRAY, quality, TJFLAG_FASTDCT);
    std::unique_ptr<unsigned char, TjFree> buffer(raw);
    if (rc != 0 || !buffer) {
        return false;
    }
    out.assign(reinterpret_cast<const char*>(buffer.get()), size);
    return true;
}

bool EncodePng(const std::uint8_t* pixels, int width, int height, std::string& out) {
    if (pixels == nullptr || width <= 0 || height <= 0) {
        return false;
    }
    PngWrite w;
    if (w.png == nullptr || w.info == nullptr) {
        return false;
    }
    out.clear();
    return WritePngRows(w, pixels, width, height, out);
}

bool EncodePgm(const std::uint8_t* pixels, int width, int height, std::string& out) {
    if (pixels == nullptr || width <= 0 || height <= 0) {
        return false;
    }
    out = "P5\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    out.append(reinterpret_cast<const char*>(pixels),
               static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    return true;
}

}  // namespace view

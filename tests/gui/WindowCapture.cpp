#include "tests/gui/WindowCapture.h"

#include <cstdint>
#include <fstream>
#include <vector>

namespace korvane::test {
namespace {

// Device contexts and bitmaps given back however the capture ends.
struct WindowDc {
    HWND window;
    HDC dc;
    ~WindowDc() {
        if (dc != nullptr) {
            ::ReleaseDC(window, dc);
        }
    }
};
struct MemoryDc {
    HDC dc;
    ~MemoryDc() {
        if (dc != nullptr) {
            ::DeleteDC(dc);
        }
    }
};
struct Bitmap {
    HBITMAP bitmap;
    ~Bitmap() {
        if (bitmap != nullptr) {
            ::DeleteObject(bitmap);
        }
    }
};

template <typename T>
void Put(std::ofstream& out, T value) {
    out.write(reinterpret_cast<const char*>(&value), sizeof value);
}

}  // namespace

bool CaptureWindow(HWND window, const std::string& path) {
    ::RedrawWindow(window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    // Controls created or changed just now (the status bar) paint once the
    // window's thread runs out of messages: give it a moment.
    ::Sleep(300);
    // The client area only: without a window manager (a bare X server) no
    // one draws the frame.
    RECT r{};
    if (::GetClientRect(window, &r) == FALSE) {
        return false;
    }
    ::MapWindowPoints(window, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    if (width <= 0 || height <= 0) {
        return false;
    }
    // The screen's pixels: a window of another thread does not draw itself
    // into a bitmap of this one.
    WindowDc source{nullptr, ::GetDC(nullptr)};
    MemoryDc memory{::CreateCompatibleDC(source.dc)};
    Bitmap bitmap{::CreateCompatibleBitmap(source.dc, width, height)};
    if (source.dc == nullptr || memory.dc == nullptr || bitmap.bitmap == nullptr) {
        return false;
    }
    const HGDIOBJ previous = ::SelectObject(memory.dc, bitmap.bitmap);
    const BOOL copied = ::BitBlt(memory.dc, 0, 0, width, height, source.dc, r.left, r.top, SRCCOPY);
    ::SelectObject(memory.dc, previous);
    if (copied == FALSE) {
        return false;
    }

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as BMP files store rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    const int stride = (width * 3 + 3) & ~3;
    std::vector<char> pixels(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height));
    if (::GetDIBits(memory.dc, bitmap.bitmap, 0, static_cast<UINT>(height), pixels.data(), &info,
                    DIB_RGB_COLORS) == 0) {
        return false;
    }
    std::ofstream out(path, std::ios::binary);
    const std::uint32_t offset = 14 + sizeof info.bmiHeader;
    Put<std::uint16_t>(out, 0x4d42);  // "BM"
    Put<std::uint32_t>(out, offset + static_cast<std::uint32_t>(pixels.size()));
    Put<std::uint32_t>(out, 0);
    Put<std::uint32_t>(out, offset);
    out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    return static_cast<bool>(out);
}

}  // namespace korvane::test

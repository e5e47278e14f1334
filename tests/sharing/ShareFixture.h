#pragma once
// Common ground of the sharing tests: a private runtime directory, the log
// captured at level 3, and helpers to drive a share.
#include <gtest/gtest.h>

#include <string>

#include "driver/DriverLog.h"
#include "sharing/CameraShare.h"
#include "sharing/ShareProtocol.h"
#include "tests/support/LogCapture.h"
#include "tests/support/ShareTestSupport.h"

namespace korvane::test {

class ShareFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        DriverLog::Instance().ResetForTesting();
        DriverLog::Instance().SetMessageProc(&LogCapture::Callback);
        DriverLog::Instance().SetLevel(3);
    }
    void TearDown() override { DriverLog::Instance().ResetForTesting(); }

    // Waits until the log holds a message containing the fragment.
    bool LogShows(const std::string& fragment, std::size_t times = 1) {
        return Eventually([&] { return log_.Count(fragment) >= times; });
    }

    // Announces frames until the server takes one (a frame announced while
    // the server is busy is dropped by design).
    static bool PublishFrame(CCameraShare& share, FakeShareSource& source) {
        const std::uint64_t seen = source.FramesFetched();
        for (int i = 0; i < 2000; ++i) {
            share.NotifyFrame();
            if (source.WaitFetchedBeyond(seen, 10)) {
                return true;
            }
        }
        return false;
    }

    ShareRuntimeDir runtime_;
    LogCapture log_;
};

// A header as the peer prints it: the 12 bytes in hex.
inline std::string HeaderHex(std::int32_t type, std::int32_t length) {
    const ShareHeader h{kShareMagic, type, length};
    const auto* b = reinterpret_cast<const std::uint8_t*>(&h);
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < sizeof h; ++i) {
        out += digits[b[i] >> 4];
        out += digits[b[i] & 15];
    }
    return out;
}

inline std::uint32_t Fnv1a(const std::vector<std::uint8_t>& bytes) {
    std::uint32_t h = 2166136261u;
    for (std::uint8_t b : bytes) {
        h = (h ^ b) * 16777619u;
    }
    return h;
}

// The image a FakeShareSource delivers for a frame.
inline std::vector<std::uint8_t> ExpectedImage(std::uint32_t frame, int width, int height) {
    std::vector<std::uint8_t> image(static_cast<std::size_t>(width) * height);
    for (int r = 0; r < height; ++r) {
        for (int c = 0; c < width; ++c) {
            image[static_cast<std::size_t>(r) * width + c] = FakeShareSource::Pixel(frame, r, c);
        }
    }
    return image;
}

}  // namespace korvane::test

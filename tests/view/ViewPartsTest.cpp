// The viewer's parts without a browser: the request guard, the stream's
// query, the encoders (decoded again and compared), the frame hub's
// latest-frame hand-over and the log ring.
#include <gtest/gtest.h>
#include <png.h>
#include <turbojpeg.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "tools/korvane-view/Encoders.h"
#include "tools/korvane-view/FrameHub.h"
#include "tools/korvane-view/Json.h"
#include "tools/korvane-view/LogRing.h"
#include "tools/korvane-view/PropertyCatalog.h"
#include "tools/korvane-view/RequestGuard.h"
#include "tools/korvane-view/StreamFormat.h"

namespace {

using namespace std::chrono_literals;

std::vector<std::uint8_t> Ramp(int w, int h, int n) {
    std::vector<std::uint8_t> p(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            p[static_cast<std::size_t>(y) * w + x] =
                static_cast<std::uint8_t>((x + 2 * y + 3 * n) % 256);
        }
    }
    return p;
}

TEST(RequestGuardTest, HostMustBeAnAddressWithOurPort) {
    EXPECT_TRUE(view::HostAllowed("127.0.0.1:8080", 8080));
    EXPECT_TRUE(view::HostAllowed("localhost:8080", 8080));
    EXPECT_TRUE(view::HostAllowed("LocalHost:8080", 8080));
    EXPECT_TRUE(view::HostAllowed("[::1]:8080", 8080));
    EXPECT_TRUE(view::HostAllowed("192.168.10.7:8080", 8080));
    // A DNS name, even one that resolves here, is how a rebinding page
    // would reach the server.
    EXPECT_FALSE(view::HostAllowed("evil.example:8080", 8080));
    EXPECT_FALSE(view::HostAllowed("127.0.0.1.nip.io:8080", 8080));
    EXPECT_FALSE(view::HostAllowed("127.0.0.1:8081", 8080));
    EXPECT_FALSE(view::HostAllowed("127.0.0.1", 8080));
    EXPECT_FALSE(view::HostAllowed("127.0.0.1:", 8080));
    EXPECT_FALSE(view::HostAllowed("127.0.0.1:80x", 8080));
    EXPECT_FALSE(view::HostAllowed("127.0.0.1:0000000008080", 8080));
    EXPECT_FALSE(view::HostAllowed("256.0.0.1:8080", 8080));
    EXPECT_FALSE(view::HostAllowed("1.2.3:8080", 8080));
    EXPECT_FALSE(view::HostAllowed("1.2.3.4.5:8080", 8080));
    EXPECT_FALSE(view::HostAllowed("[evil.example]:8080", 8080));
    EXPECT_FALSE(view::HostAllowed("", 8080));
}

TEST(RequestGuardTest, OriginMustBeThisServer) {
    EXPECT_TRUE(view::OriginAllowed("", false, "127.0.0.1:8080"));
    EXPECT_TRUE(view::OriginAllowed("http://127.0.0.1:8080", true, "127.0.0.1:8080"));
    EXPECT_TRUE(view::OriginAllowed("http://LOCALHOST:8080", true, "localhost:8080"));
    EXPECT_FALSE(view::OriginAllowed("http://localhost:8080", true, "127.0.0.1:8080"));
    EXPECT_FALSE(view::OriginAllowed("http://evil.example", true, "127.0.0.1:8080"));
    EXPECT_FALSE(view::OriginAllowed("https://127.0.0.1:8080", true, "127.0.0.1:8080"));
    EXPECT_FALSE(view::OriginAllowed("null", true, "127.0.0.1:8080"));
    EXPECT_FALSE(view::OriginAllowed("", true, "127.0.0.1:8080"));
}

TEST(RequestGuardTest, TokensAreFreshAndCompareExactly) {
    const std::string a = view::MakeToken();
    const std::string b = view::MakeToken();
    EXPECT_EQ(a.size(), 32u);
    EXPECT_EQ(a.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_NE(a, b);
    EXPECT_TRUE(view::TokenMatches(a, a));
    EXPECT_FALSE(view::TokenMatches(b, a));
    EXPECT_FALSE(view::TokenMatches(a.substr(0, 31), a));
    EXPECT_FALSE(view::TokenMatches(a + "0", a));
    EXPECT_FALSE(view::TokenMatches("", a));
    EXPECT_FALSE(view::TokenMatches("", ""));
}

TEST(StreamFormatTest, QueryValues) {
    view::StreamFormat f;
    std::string error;
    ASSERT_TRUE(view::ParseStreamFormat("", "", "", 70, f, error));
    EXPECT_FALSE(f.png);
    EXPECT_EQ(f.quality, 70);
    EXPECT_EQ(f.maxFps, 0);
    EXPECT_EQ(f.Key(), "jpeg70");
    ASSERT_TRUE(view::ParseStreamFormat("png", "", "2.5", 70, f, error));
    EXPECT_TRUE(f.png);
    EXPECT_EQ(f.maxFps, 2.5);
    EXPECT_EQ(f.MimeType(), "image/png");
    ASSERT_TRUE(view::ParseStreamFormat("jpeg", "100", "0", 70, f, error));
    EXPECT_EQ(f.quality, 100);
    for (const auto& [format, quality, fps] :
         std::vector<std::tuple<const char*, const char*, const char*>>{{"gif", "", ""},
                                                                        {"JPEG", "", ""},
                                                                        {"jpeg", "0", ""},
                                                                        {"jpeg", "101", ""},
                                                                        {"jpeg", "8x", ""},
                                                                        {"jpeg", "", "-1"},
                                                                        {"jpeg", "", "1e9"},
                                                                        {"jpeg", "", "nan"},
                                                                        {"jpeg", "", "5 "}}) {
        EXPECT_FALSE(view::ParseStreamFormat(format, quality, fps, 70, f, error))
            << format << " " << quality << " " << fps;
        EXPECT_FALSE(error.empty());
    }
}

TEST(StreamFormatTest, WholeNumbers) {
    int v = 0;
    EXPECT_TRUE(view::ParseWholeInt("-12", v));
    EXPECT_EQ(v, -12);
    EXPECT_TRUE(view::ParseWholeInt("2147483647", v));
    EXPECT_FALSE(view::ParseWholeInt("2147483648", v));
    EXPECT_FALSE(view::ParseWholeInt("", v));
    EXPECT_FALSE(view::ParseWholeInt("12 ", v));
    EXPECT_FALSE(view::ParseWholeInt("0x10", v));
    EXPECT_FALSE(view::ParseWholeInt("1.5", v));
}

std::vector<std::uint8_t> DecodeJpeg(const std::string& jpeg, int& w, int& h) {
    tjhandle handle = tjInitDecompress();
    int subsampling = 0;
    int colorspace = 0;
    auto* data = reinterpret_cast<const unsigned char*>(jpeg.data());
    std::vector<std::uint8_t> out;
    if (tjDecompressHeader3(handle, data, jpeg.size(), &w, &h, &subsampling, &colorspace) == 0) {
        out.resize(static_cast<std::size_t>(w) * h);
        if (tjDecompress2(handle, data, jpeg.size(), out.data(), w, w, h, TJPF_GRAY, 0) != 0) {
            out.clear();
        }
    }
    tjDestroy(handle);
    return out;
}

std::vector<std::uint8_t> DecodePng(const std::string& data, int& w, int& h) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    std::vector<std::uint8_t> out;
    if (png_image_begin_read_from_memory(&image, data.data(), data.size()) != 0) {
        image.format = PNG_FORMAT_GRAY;
        w = static_cast<int>(image.width);
        h = static_cast<int>(image.height);
        out.resize(PNG_IMAGE_SIZE(image));
        if (png_image_finish_read(&image, nullptr, out.data(), 0, nullptr) == 0) {
            out.clear();
        }
    }
    png_image_free(&image);
    return out;
}

TEST(EncodersTest, PngIsLossless) {
    const auto pixels = Ramp(320, 240, 7);
    std::string png;
    ASSERT_TRUE(view::EncodePng(pixels.data(), 320, 240, png));
    int w = 0;
    int h = 0;
    EXPECT_EQ(DecodePng(png, w, h), pixels);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 240);
    EXPECT_LT(png.size(), pixels.size());
    EXPECT_FALSE(view::EncodePng(nullptr, 320, 240, png));
    EXPECT_FALSE(view::EncodePng(pixels.data(), 0, 240, png));
}

TEST(EncodersTest, JpegIsCloseAndQualityMatters) {
    // A smooth image: JPEG's error there is what the quality sets.
    std::vector<std::uint8_t> pixels(256 * 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 256; ++x) {
            pixels[static_cast<std::size_t>(y) * 256 + x] = static_cast<std::uint8_t>(x);
        }
    }
    std::string high;
    std::string low;
    ASSERT_TRUE(view::EncodeJpeg(pixels.data(), 256, 64, 95, high));
    ASSERT_TRUE(view::EncodeJpeg(pixels.data(), 256, 64, 10, low));
    EXPECT_LT(low.size(), high.size());
    int w = 0;
    int h = 0;
    const auto decoded = DecodeJpeg(high, w, h);
    ASSERT_EQ(decoded.size(), pixels.size());
    EXPECT_EQ(w, 256);
    int worst = 0;
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        worst = std::max(worst, std::abs(decoded[i] - pixels[i]));
    }
    EXPECT_LE(worst, 3);
    EXPECT_FALSE(view::EncodeJpeg(pixels.data(), 256, 64, 0, high));
    EXPECT_FALSE(view::EncodeJpeg(pixels.data(), 256, 64, 101, high));
}

TEST(EncodersTest, PgmHeaderAndPixels) {
    const auto pixels = Ramp(5, 3, 1);
    std::string pgm;
    ASSERT_TRUE(view::EncodePgm(pixels.data(), 5, 3, pgm));
    const std::string header = "P5\n5 3\n255\n";
    ASSERT_EQ(pgm.size(), header.size() + 15);
    EXPECT_EQ(pgm.substr(0, header.size()), header);
    EXPECT_EQ(std::vector<std::uint8_t>(pgm.begin() + header.size(), pgm.end()), pixels);
}

TEST(FrameHubTest, WaitersGetOnlyTheLatestFrame) {
    view::FrameHub hub;
    EXPECT_EQ(hub.WaitNewer(0, 1ms), nullptr);
    for (int i = 0; i < 3; ++i) {
        auto f = hub.Acquire(4, 2);
        f->pixels[0] = static_cast<std::uint8_t>(i);
        hub.Publish(f);
    }
    // A slow reader skips frames 1 and 2 and gets the newest.
    const auto latest = hub.WaitNewer(0, 1ms);
    ASSERT_NE(latest, nullptr);
    EXPECT_EQ(latest->seq, 3u);
    EXPECT_EQ(latest->pixels[0], 2);
    // Nothing newer than 3: the wait times out with the same frame.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(hub.WaitNewer(3, 30ms)->seq, 3u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 25ms);
}

TEST(FrameHubTest, PublishWakesAWaiterAndShutdownWakesAll) {
    view::FrameHub hub;
    std::uint64_t seen = 0;
    std::thread waiter([&] { seen = hub.WaitNewer(0, 10s)->seq; });
    std::this_thread::sleep_for(10ms);
    hub.Publish(hub.Acquire(2, 2));
    waiter.join();
    EXPECT_EQ(seen, 1u);
    std::thread late([&] { hub.WaitNewer(1, 10s); });
    hub.Shutdown();
    late.join();  // would hang for 10 s without the wake-up
    EXPECT_TRUE(hub.IsShutDown());
}

TEST(FrameHubTest, AFrameInUseIsNeverRefilled) {
    view::FrameHub hub;
    auto first = hub.Acquire(8, 8);
    hub.Publish(first);
    const std::shared_ptr<const view::Frame> held = hub.Latest();
    first.reset();
    // The hub and a reader hold frame 1: the next frames are others, and
    // the held frame keeps its pixels and number.
    for (int i = 0; i < 10; ++i) {
        auto f = hub.Acquire(8, 8);
        EXPECT_NE(f.get(), held.get());
        f->pixels.assign(64, 0xEE);
        hub.Publish(f);
    }
    EXPECT_EQ(held->seq, 1u);
    EXPECT_EQ(held->pixels[0], 0);
    // Once nobody holds them, frames are reused (the pool is small).
    const view::Frame* before = hub.Latest().get();
    auto again = hub.Acquire(8, 8);
    EXPECT_NE(again.get(), before);
}

TEST(FrameTest, EncodingsAreMadeOnceAndForgottenOnReuse) {
    view::Frame f;
    int calls = 0;
    const auto encode = [&calls](const view::Frame&, std::string& out) {
        ++calls;
        out = "x";
        return true;
    };
    EXPECT_EQ(*f.Encoded("a", encode), "x");
    EXPECT_EQ(*f.Encoded("a", encode), "x");
    EXPECT_EQ(calls, 1);
    f.Encoded("b", encode);
    EXPECT_EQ(calls, 2);
    f.ClearEncodings();
    f.Encoded("a", encode);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(f.Encoded("c", [](const view::Frame&, std::string&) { return false; }), nullptr);
}

TEST(LogRingTest, StampAndTextPairsWithLevels) {
    view::LogRing log(3);
    log.Feed("12:00:00.000 ");
    log.Feed("MilDigitizer::SetProperty: ERROR: Height=5 refused\n");
    log.Feed("12:00:01.000 ");
    log.Feed("MilDigitizer::Init: WARNING: something\n");
    log.Feed("12:00:02.000 ");
    log.Feed("opened\n");
    auto lines = log.After(0, 0ms);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].stamp, "12:00:00.000");
    EXPECT_EQ(lines[0].text, "MilDigitizer::SetProperty: ERROR: Height=5 refused");
    EXPECT_EQ(lines[0].level, "error");
    EXPECT_EQ(lines[1].level, "warning");
    EXPECT_EQ(lines[2].level, "info");
    EXPECT_EQ(lines[2].id, 3u);
    // The ring keeps the latest lines only.
    log.Add("", "fourth");
    lines = log.After(0, 0ms);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines.front().id, 2u);
    EXPECT_EQ(log.After(4, 0ms).size(), 0u);
    EXPECT_EQ(log.After(3, 0ms).size(), 1u);
}

TEST(JsonTest, TextsStayValid) {
    EXPECT_EQ(view::JsonText("a\"b\\c\nd"), "\"a\\\"b\\\\c\\nd\"");
    EXPECT_EQ(view::JsonText(std::string("\x01\xe9", 2)), "\"\\u0001\\u00e9\"");
}

TEST(PropertyCatalogTest, LimitsComeFromTheSettings) {
    const view::PropertySpec* gain = view::FindViewedProperty("Gain");
    ASSERT_NE(gain, nullptr);
    EXPECT_EQ(gain->min, 0);
    EXPECT_EQ(gain->max, 255);
    const view::PropertySpec* exposure = view::FindViewedProperty("Exposure");
    ASSERT_NE(exposure, nullptr);
    EXPECT_EQ(exposure->max, 1000000000);  // 1000 library units in millionths
    EXPECT_EQ(view::FindViewedProperty("continuous"), nullptr);
    EXPECT_EQ(view::FindViewedProperty("gain"), nullptr);
}

}  // namespace

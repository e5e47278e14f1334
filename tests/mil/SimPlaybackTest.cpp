// Recorded images played through the simulated library's calls: the size,
// depth, offset and mirror rules, folders and patterns that loop, and bad
// files that are reported and survived.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "tests/mil/SimTestSupport.h"
#include "tests/support/LogCapture.h"

namespace korvane::test {
namespace {

using namespace mil;
using Pixel = std::function<unsigned(int x, int y)>;

// A P5 file of the given maxval with pixel(x, y) as samples.
void WritePgm(const std::string& path, int width, int height, int maxval, const Pixel& pixel) {
    std::string data = "P5\n" + std::to_string(width) + " " + std::to_string(height) + "\n" +
                       std::to_string(maxval) + "\n";
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned v = pixel(x, y);
            if (maxval > 255) {
                data.push_back(static_cast<char>(v >> 8));
            }
            data.push_back(static_cast<char>(v & 0xFF));
        }
    }
    WriteFile(path, data);
}

// Distinct values everywhere in a small image.
unsigned Pattern8(int x, int y) {
    return static_cast<unsigned>(1 + 10 * y + x) & 0xFF;
}
unsigned Pattern16(int x, int y) {
    return static_cast<unsigned>(0x0100 * (1 + 10 * y + x) + 7 * x + 3) & 0xFFFF;
}

class SimPlayback : public SimTest {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        DriverLog::Instance().SetMessageProc(&LogCapture::Callback);
    }

    // One board with one camera of this sensor playing the given text.
    MilId Camera(int width, int height, int bits, const std::string& playback) {
        UseConfig("[System0]\nDigitizers=1\n[System0.Digitizer0]\nWidth=" + std::to_string(width) +
                  "\nHeight=" + std::to_string(height) + "\nBits=" + std::to_string(bits) +
                  "\nPlayback=" + playback + "\n");
        App();
        sys_ = System();
        const MilId dig = Digitizer(sys_);
        EXPECT_NE(dig, 0) << ErrorText();
        return dig;
    }
    // The grabbed image, every pixel as unsigned.
    std::vector<std::vector<unsigned>> GrabImage(MilId dig, int width, int height, int bits) {
        const MilId buf = Buffer(sys_, width, height, bits);
        EXPECT_TRUE(Grab(dig, buf)) << ErrorText();
        std::vector<std::vector<unsigned>> rows;
        for (int y = 0; y < height; ++y) {
            if (bits == 16) {
                const auto row = Row16(buf, y, width);
                rows.emplace_back(row.begin(), row.end());
            } else {
                const auto row = Row8(buf, y, width);
                rows.emplace_back(row.begin(), row.end());
            }
        }
        api().MbufFree(buf);
        return rows;
    }
    static void ExpectImage(const std::vector<std::vector<unsigned>>& got, const Pixel& expected,
                            const std::string& what) {
        for (std::size_t y = 0; y < got.size(); ++y) {
            for (std::size_t x = 0; x < got[y].size(); ++x) {
                ASSERT_EQ(got[y][x], expected(static_cast<int>(x), static_cast<int>(y)))
                    << what << " at " << x << "," << y;
            }
        }
    }

    MilId sys_ = 0;
    LogCapture log_;
};

TEST_F(SimPlayback, OffsetsMirrorsAndBufferDepthApplyAsToTheRamp) {
    WritePgm(dir_.File("shot.pgm"), 8, 6, 255, Pattern8);
    const MilId dig = Camera(8, 6, 8, dir_.File("shot.pgm"));
    ExpectImage(GrabImage(dig, 8, 6, 8), Pattern8, "whole sensor");
    // The same picture every frame: a recording does not move.
    ExpectImage(GrabImage(dig, 8, 6, 8), Pattern8, "second frame");

    api().MdigControl(dig, M_SOURCE_OFFSET_X, 3);
    api().MdigControl(dig, M_SOURCE_OFFSET_Y, 2);
    ASSERT_FALSE(Failed()) << ErrorText();
    // Image (x, y) shows sensor (3 + x, 2 + y); beyond the sensor 0.
    const Pixel shifted = [](int x, int y) {
        return 3 + x < 8 && 2 + y < 6 ? Pattern8(3 + x, 2 + y) : 0u;
    };
    ExpectImage(GrabImage(dig, 7, 5, 8), shifted, "offsets");
    ExpectImage(GrabImage(dig, 7, 5, 16), shifted, "8-bit sensor into a 16-bit buffer");

    api().MdigControl(dig, M_GRAB_DIRECTION_X, M_DIRECTION_REVERSE);
    ExpectImage(
        GrabImage(dig, 4, 3, 8), [](int x, int y) { return Pattern8(3 + 3 - x, 2 + y); },
        "mirrored in x");
    api().MdigControl(dig, M_GRAB_DIRECTION_Y, M_DIRECTION_REVERSE);
    const Pixel both = [](int x, int y) {
        return 3 + 6 - x < 8 && 2 + 4 - y < 6 ? Pattern8(3 + 6 - x, 2 + 4 - y) : 0u;
    };
    ExpectImage(GrabImage(dig, 7, 5, 8), both, "mirrored in x and y, partly off the sensor");

    // The gain is kept but, as for the ramp, leaves the picture alone.
    api().MdigControl(dig, M_GAIN, 200);
    ASSERT_FALSE(Failed()) << ErrorText();
    ExpectImage(GrabImage(dig, 7, 5, 8), both, "with gain");
}

TEST_F(SimPlayback, DepthRules) {
    WritePgm(dir_.File("eight.pgm"), 6, 4, 255, Pattern8);
    WritePgm(dir_.File("sixteen.pgm"), 6, 4, 65535, Pattern16);
    {
        // An 8-bit recording on a 16-bit sensor: times 257 (so 255 becomes
        // 65535); read 8 bits deep it is the recording again.
        const MilId dig = Camera(6, 4, 16, dir_.File("eight.pgm"));
        ExpectImage(
            GrabImage(dig, 6, 4, 16), [](int x, int y) { return Pattern8(x, y) * 257; },
            "8-bit file on a 16-bit sensor");
        ExpectImage(GrabImage(dig, 6, 4, 8), Pattern8, "its 8-bit buffer");
        sim::ResetSimulator();
    }
    {
        const MilId dig = Camera(6, 4, 8, dir_.File("sixteen.pgm"));
        ExpectImage(
            GrabImage(dig, 6, 4, 8), [](int x, int y) { return Pattern16(x, y) >> 8; },
            "16-bit file on an 8-bit sensor");
        sim::ResetSimulator();
    }
    {
        const MilId dig = Camera(6, 4, 16, dir_.File("sixteen.pgm"));
        ExpectImage(GrabImage(dig, 6, 4, 16), Pattern16, "16-bit file on a 16-bit sensor");
        api().MdigControl(dig, M_GRAB_DIRECTION_X, M_DIRECTION_REVERSE);
        ExpectImage(
            GrabImage(dig, 6, 4, 8), [](int x, int y) { return Pattern16(5 - x, y) >> 8; },
            "its 8-bit buffer, mirrored");
    }
}

TEST_F(SimPlayback, OtherSizesAreCentredCroppedOrPaddedWithZero) {
    // 3 x 2 on a 8 x 5 sensor: it starts at ((8-3)/2, (5-2)/2) = (2, 1).
    WritePgm(dir_.File("small.pgm"), 3, 2, 255, Pattern8);
    MilId dig = Camera(8, 5, 8, dir_.File("small.pgm"));
    ExpectImage(
        GrabImage(dig, 8, 5, 8),
        [](int x, int y) {
            return x >= 2 && x < 5 && y >= 1 && y < 3 ? Pattern8(x - 2, y - 1) : 0u;
        },
        "padded");
    sim::ResetSimulator();

    // 9 x 7 on a 4 x 4 sensor: cut (9-4)/2 = 2 on the left, (7-4)/2 = 1 on top.
    WritePgm(dir_.File("big.pgm"), 9, 7, 255, Pattern8);
    dig = Camera(4, 4, 8, dir_.File("big.pgm"));
    ExpectImage(
        GrabImage(dig, 4, 4, 8), [](int x, int y) { return Pattern8(x + 2, y + 1); }, "cropped");
    sim::ResetSimulator();

    // Wider but lower: cropped in x, padded in y.
    WritePgm(dir_.File("strip.pgm"), 10, 1, 255, Pattern8);
    dig = Camera(6, 3, 8, dir_.File("strip.pgm"));
    ExpectImage(
        GrabImage(dig, 6, 3, 8), [](int x, int y) { return y == 1 ? Pattern8(x + 2, 0) : 0u; },
        "cropped and padded");
}

TEST_F(SimPlayback, FoldersAndPatternsPlayInNameOrderAndLoop) {
    std::filesystem::create_directories(dir_.File("rec"));
    // Each file is one flat grey level.
    const auto flat = [](unsigned v) { return [v](int, int) { return v; }; };
    WritePgm(dir_.File("rec/b.pgm"), 4, 2, 255, flat(20));
    WritePgm(dir_.File("rec/a.pgm"), 4, 2, 255, flat(10));
    WritePgm(dir_.File("rec/c.PGM"), 4, 2, 255, flat(30));
    WritePgm(dir_.File("rec/skip.pgm.bak"), 4, 2, 255, flat(99));
    WriteFile(dir_.File("rec/notes.txt"), "not an image");
    std::filesystem::create_directories(dir_.File("rec/sub.pgm"));  // a folder is skipped

    // A relative text is taken from the configuration file's folder.
    MilId dig = Camera(4, 2, 8, "rec");
    for (unsigned expected : {10u, 20u, 30u, 10u, 20u, 30u, 10u}) {
        EXPECT_EQ(GrabImage(dig, 4, 2, 8)[1][3], expected);
    }
    EXPECT_TRUE(log_.Contains("3 file(s) from " + dir_.File("rec")));
    sim::ResetSimulator();

    // A pattern picks by name, including files of another extension.
    dig = Camera(4, 2, 8, dir_.File("rec/zz*"));
    EXPECT_EQ(GrabImage(dig, 4, 2, 8)[0][0], Ramp8(0, 0, 1)) << "no file matches: the ramp";
    sim::ResetSimulator();
    dig = Camera(4, 2, 8, dir_.File("rec/?.*"));
    for (unsigned expected : {10u, 20u, 30u, 10u}) {
        EXPECT_EQ(GrabImage(dig, 4, 2, 8)[0][1], expected);
    }
    sim::ResetSimulator();
    dig = Camera(4, 2, 8, dir_.File("rec/s*"));
    EXPECT_EQ(GrabImage(dig, 4, 2, 8)[0][0], 99u) << "only skip.pgm.bak matches";
}

TEST_F(SimPlayback, BadFilesAreReportedOnceAndShowTheRamp) {
    std::filesystem::create_directories(dir_.File("rec"));
    WritePgm(dir_.File("rec/1-good.pgm"), 4, 2, 255, [](int, int) { return 77u; });
    WriteFile(dir_.File("rec/2-magic.pgm"), "P2\n4 2\n255\n1 2 3 4 5 6 7 8\n");
    WriteFile(dir_.File("rec/3-truncated.pgm"), "P5\n4 2\n255\nabc");
    WriteFile(dir_.File("rec/4-huge.pgm"), "P5\n# big\n100000 100000\n255\nx");
    WriteFile(dir_.File("rec/5-maxval.pgm"), "P5\n4 2\n0\n12345678");
    const MilId dig = Camera(4, 2, 8, dir_.File("rec"));
    // Two rounds through the five files: frames 2-5 and 7-10 are the ramp.
    for (int n = 1; n <= 10; ++n) {
        const auto image = GrabImage(dig, 4, 2, 8);
        if (n % 5 == 1) {
            EXPECT_EQ(image[1][2], 77u) << "frame " << n;
        } else {
            ExpectImage(
                image, [n](int x, int y) { return Ramp8(x, y, n); }, "frame " + std::to_string(n));
        }
    }
    const std::vector<std::pair<std::string, std::string>> reports = {
        {"2-magic.pgm line 1: ", "magic 'P5' missing"},
        {"3-truncated.pgm line 3: ", "truncated"},
        {"4-huge.pgm line 3: ", "width 100000"},
        {"5-maxval.pgm line 3: ", "maxval 0"},
    };
    for (const auto& [where, what] : reports) {
        const std::string line = dir_.File("rec/" + where);
        EXPECT_EQ(log_.Count(line), 1u) << where << " reported once";
        const int index = log_.IndexOf(line);
        ASSERT_GE(index, 0) << where;
        const std::string message = log_.Messages()[static_cast<std::size_t>(index)];
        EXPECT_NE(message.find(what), std::string::npos) << message;
        EXPECT_NE(message.find("WARNING"), std::string::npos) << message;
    }
    EXPECT_FALSE(log_.Contains("1-good.pgm line"));
}

TEST_F(SimPlayback, NothingToPlayIsReportedOnceAndTheRampShows) {
    std::filesystem::create_directories(dir_.File("empty"));
    for (const std::string& source :
         {dir_.File("absent.pgm"), dir_.File("empty"), dir_.File("empty/*.pgm")}) {
        log_.Clear();
        const MilId dig = Camera(5, 3, 16, source);
        for (int n = 1; n <= 2; ++n) {
            ExpectImage(
                GrabImage(dig, 5, 3, 16), [n](int x, int y) { return Ramp16(x, y, n); }, source);
        }
        EXPECT_EQ(log_.Count(source), 1u) << source;
        EXPECT_EQ(log_.Count("frames show the ramp"), 1u) << source;
        sim::ResetSimulator();
    }
}

}  // namespace
}  // namespace korvane::test

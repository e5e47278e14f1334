#pragma once
// The simulator's own reader of binary greyscale images (PGM, magic "P5"):
// recorded frames to play back instead of the ramp. Strict on purpose: a
// header that is not exactly width, height and maxval (decimal, with '#'
// comments and whitespace between them) is refused, and so is a size the
// simulator could not use, before any pixel memory is allocated.
#include <cstdint>
#include <string>
#include <vector>

namespace korvane::mil::sim {

struct PgmImage {
    int width = 0;
    int height = 0;
    int maxval = 0;  // 1 to 255: one byte per sample, 256 to 65535: two
    // Samples as stored, row after row; two-byte samples are read big-endian.
    std::vector<std::uint16_t> samples;

    int Bits() const { return maxval > 255 ? 16 : 8; }
};

struct PgmError {
    int line = 0;  // of the header where reading stopped (1 for the first)
    std::string message;
};

// Largest width and height accepted, the simulator's largest sensor side.
inline constexpr int kPgmMaxSide = 16384;

// Reads the first image of a PGM file held in memory. False, with image
// unchanged, when the data is not a usable P5 image; later images of a
// multi-image file are ignored.
bool ParsePgm(const std::string& data, PgmImage& image, PgmError& error);

// Reads the file at path; an unreadable file is an error of line 0. Files
// larger than the largest image the limits allow are refused unread.
bool ReadPgmFile(const std::string& path, PgmImage& image, PgmError& error);

}  // namespace korvane::mil::sim

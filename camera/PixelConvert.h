#pragma once
// Conversion of grabbed pixels to the one byte per pixel the host receives.
// Each routine has a vector path and a scalar path with identical results;
// the scalar ones are exposed so tests can compare the two.
#include <cstddef>
#include <cstdint>

namespace korvane::pixels {

// 8-bit pixels, converted in place.
void ShiftInPlace8(std::uint8_t* pixels, std::size_t n, int shift);
void LookupInPlace8(std::uint8_t* pixels, std::size_t n, const std::uint8_t* table);

// 16-bit pixels into bytes.
void ShiftSaturate16(const std::uint16_t* src, std::uint8_t* dest, std::size_t n, int shift);
void LowByte16(const std::uint16_t* src, std::uint8_t* dest, std::size_t n);
void Lookup16(const std::uint16_t* src, std::uint8_t* dest, std::size_t n,
              const std::uint8_t* table);

namespace scalar {
void ShiftInPlace8(std::uint8_t* pixels, std::size_t n, int shift);
void ShiftSaturate16(const std::uint16_t* src, std::uint8_t* dest, std::size_t n, int shift);
void LowByte16(const std::uint16_t* src, std::uint8_t* dest, std::size_t n);
}  // namespace scalar

// One set of conversions for one instruction set. The plain entry points
// above use the fastest set the processor running the driver supports,
// chosen when the library is loaded.
struct ConvertPath {
    const char* name;
    void (*shiftInPlace8)(std::uint8_t* pixels, std::size_t n, int shift);
    void (*shiftSaturate16)(const std::uint16_t* src, std::uint8_t* dest, std::size_t n, int shift);
    void (*lowByte16)(const std::uint16_t* src, std::uint8_t* dest, std::size_t n);
};

// Every vector set this build has and this processor can run, slowest
// first; empty where there is none. Tests hold each against the scalar set.
const ConvertPath* VectorPaths(std::size_t& count);

// The byte a 16-bit pixel shifted right by shift yields: saturated at 255,
// 0 for shifts of 16 or more; no shift at all for 0 or less.
inline std::uint8_t ShiftSaturate(std::uint16_t pixel, int shift) {
    if (shift >= 16) {
        return 0;
    }
    if (shift < 0) {
        shift = 0;
    }
    unsigned v = static_cast<unsigned>(pixel) >> shift;
    return static_cast<std::uint8_t>(v > 255 ? 255 : v);
}

}  // namespace korvane::pixels

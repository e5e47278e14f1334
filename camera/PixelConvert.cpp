#include "camera/PixelConvert.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define KORVANE_HAVE_SSE2 1
#endif

namespace korvane::pixels {

namespace scalar {

void ShiftInPlace8(std::uint8_t* pixels, std::size_t n, int shift) {
    for (std::size_t i = 0; i < n; ++i) {
        pixels[i] = ShiftSaturate(pixels[i], shift);
    }
}

void ShiftSaturate16(const std::uint16_t* src, std::uint8_t* dest, std::size_t n, int shift) {
    for (std::size_t i = 0; i < n; ++i) {
        dest[i] = ShiftSaturate(src[i], shift);
    }
}

void LowByte16(const std::uint16_t* src, std::uint8_t* dest, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        dest[i] = static_cast<std::uint8_t>(src[i] & 0xFF);
    }
}

}  // namespace scalar

void LookupInPlace8(std::uint8_t* pixels, std::size_t n, const std::uint8_t* table) {
    for (std::size_t i = 0; i < n; ++i) {
        pixels[i] = table[pixels[i]];
    }
}

void Lookup16(const std::uint16_t* src, std::uint8_t* dest, std::size_t n,
              const std::uint8_t* table) {
    // Four independent loads per step keep the table reads in flight together.
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const std::uint8_t a = table[src[i]];
        const std::uint8_t b = table[src[i + 1]];
        const std::uint8_t c = table[src[i + 2]];
        const std::uint8_t d = table[src[i + 3]];
        dest[i] = a;
        dest[i + 1] = b;
        dest[i + 2] = c;
        dest[i + 3] = d;
    }
    for (; i < n; ++i) {
        dest[i] = table[src[i]];
    }
}

#if KORVANE_HAVE_SSE2

void ShiftInPlace8(std::uint8_t* pixels, std::size_t n, int shift) {
    if (shift <= 0) {
        return;
    }
    if (shift >= 8) {
        for (std::size_t i = 0; i < n; ++i) {
            pixels[i] = 0;
        }
        return;
    }
    // SSE2 has no byte shift: shift 16-bit lanes and clear the bits that
    // crossed over from the neighbouring byte.
    const __m128i count = _mm_cvtsi32_si128(shift);
    const __m128i mask = _mm_set1_epi8(static_cast<char>(0xFF >> shift));
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + i));
        v = _mm_and_si128(_mm_srl_epi16(v, count), mask);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + i), v);
    }
    scalar::ShiftInPlace8(pixels + i, n - i, shift);
}

void ShiftSaturate16(const std::uint16_t* src, std::uint8_t* dest, std::size_t n, int shift) {
    if (shift <= 0 || shift >= 16) {
        scalar::ShiftSaturate16(src, dest, n, shift);
        return;
    }
    // After a shift of at least one bit every lane is below 0x8000, so the
    // signed saturating pack gives the unsigned saturation wanted.
    const __m128i count = _mm_cvtsi32_si128(shift);
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 8));
        a = _mm_srl_epi16(a, count);
        b = _mm_srl_epi16(b, count);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + i), _mm_packus_epi16(a, b));
    }
    scalar::ShiftSaturate16(src + i, dest + i, n - i, shift);
}

void LowByte16(const std::uint16_t* src, std::uint8_t* dest, std::size_t n) {
    const __m128i low = _mm_set1_epi16(0x00FF);
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 8));
        a = _mm_and_si128(a, low);
        b = _mm_and_si128(b, low);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + i), _mm_packus_epi16(a, b));
    }
    scalar::LowByte16(src + i, dest + i, n - i);
}

#else

void ShiftInPlace8(std::uint8_t* pixels, std::size_t n, int shift) {
    scalar::ShiftInPlace8(pixels, n, shift);
}
void ShiftSaturate16(const std::uint16_t* src, std::uint8_t* dest, std::size_t n, int shift) {
    scalar::ShiftSaturate16(src, dest, n, shift);
}
void LowByte16(const std::uint16_t* src, std::uint8_t* dest, std::size_t n) {
    scalar::LowByte16(src, dest, n);
}

#endif

}  // namespace korvane::pixels

#include "camera/PixelConvert.h"

#include "platform/CpuFeatures.h"

#if KORVANE_HAVE_SSE2
#include <emmintrin.h>
#endif
#if KORVANE_HAVE_AVX2
#include <immintrin.h>
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

namespace {

#if KORVANE_HAVE_SSE2
namespace sse2 {

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

}  // namespace sse2
#endif

#if KORVANE_HAVE_AVX2
namespace avx2 {

// 32 pixels per step; what is left (under 32) goes through the SSE2 path.
// The 256-bit pack works within 128-bit halves, so its 64-bit quarters come
// out as a0 b0 a1 b1 and are put back in order a0 a1 b0 b1.

KORVANE_TARGET_AVX2 void ShiftInPlace8(std::uint8_t* pixels, std::size_t n, int shift) {
    if (shift <= 0 || shift >= 8) {
        sse2::ShiftInPlace8(pixels, n, shift);
        return;
    }
    const __m128i count = _mm_cvtsi32_si128(shift);
    const __m256i mask = _mm256_set1_epi8(static_cast<char>(0xFF >> shift));
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels + i));
        v = _mm256_and_si256(_mm256_srl_epi16(v, count), mask);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels + i), v);
    }
    sse2::ShiftInPlace8(pixels + i, n - i, shift);
}

KORVANE_TARGET_AVX2 void ShiftSaturate16(const std::uint16_t* src, std::uint8_t* dest,
                                         std::size_t n, int shift) {
    if (shift <= 0 || shift >= 16) {
        scalar::ShiftSaturate16(src, dest, n, shift);
        return;
    }
    const __m128i count = _mm_cvtsi32_si128(shift);
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i + 16));
        a = _mm256_srl_epi16(a, count);
        b = _mm256_srl_epi16(b, count);
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dest + i), packed);
    }
    sse2::ShiftSaturate16(src + i, dest + i, n - i, shift);
}

KORVANE_TARGET_AVX2 void LowByte16(const std::uint16_t* src, std::uint8_t* dest, std::size_t n) {
    const __m256i low = _mm256_set1_epi16(0x00FF);
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i + 16));
        a = _mm256_and_si256(a, low);
        b = _mm256_and_si256(b, low);
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dest + i), packed);
    }
    sse2::LowByte16(src + i, dest + i, n - i);
}

}  // namespace avx2
#endif

struct Paths {
    ConvertPath list[2];
    std::size_t count = 0;
};

Paths Detect() {
    Paths paths{};
#if KORVANE_HAVE_SSE2
    paths.list[paths.count++] =
        ConvertPath{"sse2", &sse2::ShiftInPlace8, &sse2::ShiftSaturate16, &sse2::LowByte16};
#endif
#if KORVANE_HAVE_AVX2
    if (platform::CpuHasAvx2()) {
        paths.list[paths.count++] =
            ConvertPath{"avx2", &avx2::ShiftInPlace8, &avx2::ShiftSaturate16, &avx2::LowByte16};
    }
#endif
    return paths;
}

const Paths& Available() {
    static const Paths paths = Detect();
    return paths;
}

ConvertPath ChooseFastest() {
    return Available().count > 0 ? Available().list[Available().count - 1]
                                 : ConvertPath{"scalar", &scalar::ShiftInPlace8,
                                               &scalar::ShiftSaturate16, &scalar::LowByte16};
}

// Chosen once, when the library is loaded: a converted row pays one
// indirect call and no check.
const ConvertPath fastest = ChooseFastest();

}  // namespace

const ConvertPath* VectorPaths(std::size_t& count) {
    count = Available().count;
    return Available().list;
}

void ShiftInPlace8(std::uint8_t* pixels, std::size_t n, int shift) {
    fastest.shiftInPlace8(pixels, n, shift);
}

void ShiftSaturate16(const std::uint16_t* src, std::uint8_t* dest, std::size_t n, int shift) {
    fastest.shiftSaturate16(src, dest, n, shift);
}

void LowByte16(const std::uint16_t* src, std::uint8_t* dest, std::size_t n) {
    fastest.lowByte16(src, dest, n);
}

}  // namespace korvane::pixels

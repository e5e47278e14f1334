#pragma once
// The vector instruction sets the per-pixel and per-row loops may use.
// SSE2 is compiled in when the build's baseline has it (every x86-64 build);
// AVX2 is compiled in for x86-64 whatever the baseline, into functions
// marked KORVANE_TARGET_AVX2, and such a function is only called where
// CpuHasAvx2() says the processor runs it.
#if defined(__SSE2__)
#define KORVANE_HAVE_SSE2 1
#endif
#if defined(KORVANE_HAVE_SSE2) && defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define KORVANE_HAVE_AVX2 1
#define KORVANE_TARGET_AVX2 __attribute__((target("avx2")))
#endif

namespace korvane::platform {

// True when the processor and the system run AVX2 code (the system saves
// the wide registers). Asked once; safe to call from static initialisers.
bool CpuHasAvx2();

}  // namespace korvane::platform

#pragma once
// The simulator's copy of image rows into a caller's memory.
#include <cstddef>

namespace korvane::mil::sim {

// Copies n bytes front to back in vector steps. Rows are read one call at a
// time out of a frame far larger than the cache; the C library's copy
// chooses its method per call (copying backwards, or string moves, for some
// sizes and address pairs), which defeats the processor's prefetching on
// exactly this pattern and made a row read cost up to twice a plain copy.
void CopyRow(void* dest, const void* src, std::size_t n);

// One way of copying, and every way this build has that this processor can
// run (the plain C library copy first, CopyRow's last). Tests hold each to
// the same result.
struct RowCopyPath {
    const char* name;
    void (*copy)(void* dest, const void* src, std::size_t n);
};
const RowCopyPath* RowCopyPaths(std::size_t& count);

}  // namespace korvane::mil::sim

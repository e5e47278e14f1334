#include "platform/CpuFeatures.h"

namespace korvane::platform {

bool CpuHasAvx2() {
#if defined(KORVANE_HAVE_AVX2)
    static const bool has = [] {
        // Static initialisers of other libraries may ask before the
        // compiler's own start-up code has read the processor's features.
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
#else
    return false;
#endif
}

}  // namespace korvane::platform

// Compiled with the include directories of one layer target: the header
// named by KORVANE_ALLOWED_HEADER must be found; the build with
// KORVANE_FORBIDDEN_HEADER as well must fail to find that one.
#include KORVANE_ALLOWED_HEADER
#ifdef KORVANE_FORBIDDEN_HEADER
#include KORVANE_FORBIDDEN_HEADER
#endif

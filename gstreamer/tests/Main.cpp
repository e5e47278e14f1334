// The element's tests: GoogleTest cases in a program that has GStreamer's
// check library set up (a critical or warning of GLib fails the test).
// GoogleTest comes first: check.h defines macros (fail, ...) that the
// standard streams use as names.
#include <gtest/gtest.h>
// clang-format off
#include <gst/check/gstcheck.h>
// clang-format on

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    gst_check_init(&argc, &argv);
    return RUN_ALL_TESTS();
}

// The element's tests: GoogleTest cases in a program that has GStreamer's
// check library set up. A critical or warning of GLib or GStreamer fails the
// test that caused it (check's own handler would need check's runner).
// GoogleTest comes first: check.h defines macros (fail, ...) that the
// standard streams use as names.
#include <gtest/gtest.h>
// clang-format off
#include <gst/check/gstcheck.h>
// clang-format on

#include <cstdlib>

// LeakSanitizer asks the program for suppressions: GLib's type system,
// GStreamer's registry and their thread pools keep what they allocate for
// the life of the process on purpose, and so do libraries the registry's
// scan of the installed plugins loads (libsrt, for one). This program's own
// code and the driver's are still checked.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libglib-2.0.so.0\n"
           "leak:libgobject-2.0.so.0\n"
           "leak:libgstreamer-1.0.so.0\n"
           "leak:libgstbase-1.0.so.0\n"
           "leak:/gstreamer-1.0/\n"
           "leak:libsrt\n";
}

namespace {

void FailOnMessage(const gchar* domain, GLogLevelFlags, const gchar* message, gpointer) {
    ADD_FAILURE() << "GLib message of " << (domain != nullptr ? domain : "the program") << ": "
                  << message;
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests (CTest's discovery) needs no GStreamer, and starts
    // none, so that nothing of it is left for a leak check at exit.
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();
    }
    // A registry of this build's own, not the user's.
    setenv("GST_REGISTRY", KORVANE_GST_REGISTRY, 0);
    gst_check_init(&argc, &argv);
    const auto levels = static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING);
    for (const char* domain :
         {"GStreamer", "GLib", "GLib-GObject", "GStreamer-Video", "GStreamer-Base"}) {
        g_log_set_handler(domain, levels, FailOnMessage, nullptr);
    }
    g_log_set_handler(nullptr, levels, FailOnMessage, nullptr);
    return RUN_ALL_TESTS();
}

// The plugin GStreamer loads from its plugin path: one element, korvanesrc.
#include <gst/gst.h>

#include "gstreamer/KorvaneSrc.h"

#define PACKAGE "korvane"
#define VERSION KORVANE_VERSION

namespace {

gboolean PluginInit(GstPlugin* plugin) {
    return korvane_src_register(plugin);
}

}  // namespace

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, korvane, "Korvane camera sources",
                  PluginInit, VERSION, "Proprietary", "Korvane", "https://korvane.invalid/")

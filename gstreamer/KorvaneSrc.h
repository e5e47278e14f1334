#pragma once
// korvanesrc: a live source of GRAY8 frames from a Korvane camera, either a
// camera share of another process (share=NAME) or a camera this process
// opens through the driver (camera=NAME).
#include <gst/base/gstpushsrc.h>
#include <gst/gst.h>

G_BEGIN_DECLS

#define KORVANE_TYPE_SRC (korvane_src_get_type())
G_DECLARE_FINAL_TYPE(KorvaneSrc, korvane_src, KORVANE, SRC, GstPushSrc)

// Registers korvanesrc with plugin: called by the plugin's init, and by
// programs that register the element statically.
gboolean korvane_src_register(GstPlugin* plugin);

G_END_DECLS

#include "gstreamer/KorvaneSrc.h"

#include <gst/video/video.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "gstreamer/CameraFrameSource.h"
#include "gstreamer/PropertyList.h"
#include "gstreamer/ShareFrameSource.h"

GST_DEBUG_CATEGORY_STATIC(korvane_src_debug);
#define GST_CAT_DEFAULT korvane_src_debug

namespace {

using korvane::gst::BufferPtr;
using korvane::gst::FrameResult;
using korvane::gst::FrameSource;

constexpr int kDefaultConnectTimeoutMs = 5000;

// What the properties hold; read and written under the object lock.
struct Settings {
    std::string share;
    int connectTimeoutMs = kDefaultConnectTimeoutMs;
    std::string camera;
    std::string systemPath = ".";
    int port = 1;
    std::string library;
    std::string properties;
};

// The element's C++ state, owned by the GObject instance. The streaming
// thread, the application thread and GStreamer's unlock calls meet here:
// the pointers are swapped under the mutex and used through copies.
struct State {
    Settings settings;  // under GST_OBJECT_LOCK

    std::mutex mutex;
    std::shared_ptr<FrameSource> source;  // set between start and stop
    GstVideoInfo info{};                  // what the caps say
    bool haveInfo = false;
    // What the sources of earlier runs dropped, for the dropped property.
    std::atomic<guint64> droppedBefore{0};
};

}  // namespace

struct _KorvaneSrc {
    GstPushSrc parent;
    State* state;
};

G_DEFINE_TYPE(KorvaneSrc, korvane_src, GST_TYPE_PUSH_SRC)

namespace {

enum {
    kPropShare = 1,
    kPropConnectTimeout,
    kPropCamera,
    kPropSystemPath,
    kPropPort,
    kPropLibrary,
    kPropProperties,
    kPropDropped,
};

void SetString(std::string& field, const GValue* value) {
    const char* text = g_value_get_string(value);
    field = text != nullptr ? text : "";
}

GstStaticPadTemplate srcTemplate = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("video/x-raw, format=(string)GRAY8, width=(int)[ 1, 2147483647 ], "
                    "height=(int)[ 1, 2147483647 ], framerate=(fraction)0/1"));

State& StateOf(gpointer object) {
    return *KORVANE_SRC(object)->state;
}

std::shared_ptr<FrameSource> CurrentSource(State& state) {
    std::lock_guard lock(state.mutex);
    return state.source;
}

// The pipeline's running time now, for stamping a frame as it arrives.
GstClockTime RunningTimeNow(GstElement* element) {
    GstClock* clock = gst_element_get_clock(element);
    if (clock == nullptr) {
        return GST_CLOCK_TIME_NONE;
    }
    const GstClockTime now = gst_clock_get_time(clock);
    gst_object_unref(clock);
    const GstClockTime base = gst_element_get_base_time(element);
    return now > base ? now - base : 0;
}

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
    State& state = StateOf(object);
    GST_OBJECT_LOCK(object);
    switch (id) {
        case kPropShare:
            SetString(state.settings.share, value);
            break;
        case kPropConnectTimeout:
            state.settings.connectTimeoutMs = g_value_get_int(value);
            break;
        case kPropCamera:
            SetString(state.settings.camera, value);
            break;
        case kPropSystemPath:
            SetString(state.settings.systemPath, value);
            break;
        case kPropPort:
            state.settings.port = g_value_get_int(value);
            break;
        case kPropLibrary:
            SetString(state.settings.library, value);
            break;
        case kPropProperties:
            SetString(state.settings.properties, value);
            break;
        default:
            G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
            break;
    }
    GST_OBJECT_UNLOCK(object);
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
    State& state = StateOf(object);
    GST_OBJECT_LOCK(object);
    switch (id) {
        case kPropShare:
            g_value_set_string(value, state.settings.share.c_str());
            break;
        case kPropConnectTimeout:
            g_value_set_int(value, state.settings.connectTimeoutMs);
            break;
        case kPropCamera:
            g_value_set_string(value, state.settings.camera.c_str());
            break;
        case kPropSystemPath:
            g_value_set_string(value, state.settings.systemPath.c_str());
            break;
        case kPropPort:
            g_value_set_int(value, state.settings.port);
            break;
        case kPropLibrary:
            g_value_set_string(value, state.settings.library.c_str());
            break;
        case kPropProperties:
            g_value_set_string(value, state.settings.properties.c_str());
            break;
        case kPropDropped: {
            GST_OBJECT_UNLOCK(object);
            guint64 dropped = state.droppedBefore.load();
            if (const auto source = CurrentSource(state)) {
                dropped += source->Dropped();
            }
            g_value_set_uint64(value, dropped);
            return;
        }
        default:
            G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
            break;
    }
    GST_OBJECT_UNLOCK(object);
}

gboolean Start(GstBaseSrc* base) {
    State& state = StateOf(base);
    GST_OBJECT_LOCK(base);
    const Settings settings = state.settings;
    GST_OBJECT_UNLOCK(base);

    GstElement* element = GST_ELEMENT(base);
    auto now = [element] { return RunningTimeNow(element); };
    std::shared_ptr<FrameSource> source;
    if (!settings.share.empty() && !settings.camera.empty()) {
        GST_ELEMENT_ERROR(base, RESOURCE, SETTINGS,
                          ("Set either share or camera, not both (share '%s', camera '%s').",
                           settings.share.c_str(), settings.camera.c_str()),
                          (nullptr));
        return FALSE;
    }
    if (!settings.share.empty()) {
        source = std::make_shared<korvane::gst::ShareFrameSource>(settings.share,
                                                                  settings.connectTimeoutMs, now);
    } else if (!settings.camera.empty()) {
        korvane::gst::CameraSettings camera;
        camera.camera = settings.camera;
        camera.systemPath = settings.systemPath;
        camera.port = settings.port;
        camera.library = settings.library;
        std::string error;
        if (!korvane::gst::ParsePropertyList(settings.properties, camera.properties, error)) {
            GST_ELEMENT_ERROR(base, RESOURCE, SETTINGS, ("Bad properties: %s.", error.c_str()),
                              ("properties='%s'", settings.properties.c_str()));
            return FALSE;
        }
        source = std::make_shared<korvane::gst::CameraFrameSource>(std::move(camera), now);
    } else {
        GST_ELEMENT_ERROR(base, RESOURCE, SETTINGS,
                          ("Set share to the name of a camera share, or camera to the name of a "
                           "camera to open."),
                          ("korvanesrc has neither share nor camera"));
        return FALSE;
    }
    std::string error;
    if (!source->Open(error)) {
        GST_ELEMENT_ERROR(base, RESOURCE, OPEN_READ, ("%s", error.c_str()), (nullptr));
        return FALSE;
    }
    GST_INFO_OBJECT(base, "frames of %d x %d", source->Width(), source->Height());
    std::lock_guard lock(state.mutex);
    state.source = std::move(source);
    state.haveInfo = false;
    return TRUE;
}

gboolean Stop(GstBaseSrc* base) {
    State& state = StateOf(base);
    std::shared_ptr<FrameSource> source;
    {
        std::lock_guard lock(state.mutex);
        source = std::move(state.source);
        state.haveInfo = false;
    }
    if (source) {
        source->Close();
        state.droppedBefore.fetch_add(source->Dropped());
    }
    return TRUE;
}

GstCaps* GetCaps(GstBaseSrc* base, GstCaps* filter) {
    const std::shared_ptr<FrameSource> source = CurrentSource(StateOf(base));
    GstCaps* caps = nullptr;
    if (source) {
        caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "GRAY8", "width",
                                   G_TYPE_INT, source->Width(), "height", G_TYPE_INT,
                                   source->Height(), "framerate", GST_TYPE_FRACTION, 0, 1, nullptr);
    } else {
        caps = gst_pad_get_pad_template_caps(GST_BASE_SRC_PAD(base));
    }
    if (filter != nullptr) {
        GstCaps* both = gst_caps_intersect_full(filter, caps, GST_CAPS_INTERSECT_FIRST);
        gst_caps_unref(caps);
        caps = both;
    }
    return caps;
}

gboolean SetCaps(GstBaseSrc* base, GstCaps* caps) {
    GstVideoInfo info;
    if (!gst_video_info_from_caps(&info, caps)) {
        return FALSE;
    }
    State& state = StateOf(base);
    std::lock_guard lock(state.mutex);
    state.info = info;
    state.haveInfo = true;
    return TRUE;
}

// Buffers come from a video pool of the negotiated layout; a few are enough
// for a live source, and a bound keeps a stalled pipeline from eating
// memory.
gboolean DecideAllocation(GstBaseSrc*, GstQuery* query) {
    GstCaps* caps = nullptr;
    gst_query_parse_allocation(query, &caps, nullptr);
    GstVideoInfo info;
    if (caps == nullptr || !gst_video_info_from_caps(&info, caps)) {
        return FALSE;
    }
    GstBufferPool* pool = nullptr;
    guint size = 0;
    guint min = 0;
    guint max = 0;
    const bool proposed = gst_query_get_n_allocation_pools(query) > 0;
    if (proposed) {
        gst_query_parse_nth_allocation_pool(query, 0, &pool, &size, &min, &max);
    }
    // Only a video pool lays rows out as the caps say.
    if (pool != nullptr && !GST_IS_VIDEO_BUFFER_POOL(pool)) {
        gst_object_unref(pool);
        pool = nullptr;
    }
    if (pool == nullptr) {
        pool = gst_video_buffer_pool_new();
    }
    size = std::max<guint>(size, static_cast<guint>(GST_VIDEO_INFO_SIZE(&info)));
    min = std::max<guint>(min, 2);
    max = max == 0 ? std::max<guint>(min, 12) : std::max(max, min);
    GstStructure* config = gst_buffer_pool_get_config(pool);
    gst_buffer_pool_config_set_params(config, caps, size, min, max);
    if (!gst_buffer_pool_set_config(pool, config)) {
        // A pool of another element may refuse our numbers: take its own.
        config = gst_buffer_pool_get_config(pool);
        if (!gst_buffer_pool_config_validate_params(config, caps, size, min, max) &&
            !gst_buffer_pool_set_config(pool, config)) {
            gst_object_unref(pool);
            return FALSE;
        }
        gst_structure_free(config);
    }
    if (proposed) {
        gst_query_set_nth_allocation_pool(query, 0, pool, size, min, max);
    } else {
        gst_query_add_allocation_pool(query, pool, size, min, max);
    }
    gst_object_unref(pool);
    return TRUE;
}

gboolean Unlock(GstBaseSrc* base) {
    if (const auto source = CurrentSource(StateOf(base))) {
        source->Unlock();
    }
    return TRUE;
}

gboolean UnlockStop(GstBaseSrc* base) {
    if (const auto source = CurrentSource(StateOf(base))) {
        source->UnlockStop();
    }
    return TRUE;
}

GstFlowReturn Create(GstPushSrc* push, GstBuffer** out) {
    GstBaseSrc* base = GST_BASE_SRC(push);
    State& state = StateOf(push);
    std::shared_ptr<FrameSource> source;
    GstVideoInfo info;
    bool haveInfo = false;
    {
        std::lock_guard lock(state.mutex);
        source = state.source;
        info = state.info;
        haveInfo = state.haveInfo;
    }
    if (!source) {
        return GST_FLOW_FLUSHING;
    }
    // A source that came back with another size (a restart) negotiates
    // again before its first frame.
    if (!haveInfo || GST_VIDEO_INFO_WIDTH(&info) != source->Width() ||
        GST_VIDEO_INFO_HEIGHT(&info) != source->Height()) {
        if (!gst_base_src_negotiate(base)) {
            return GST_FLOW_NOT_NEGOTIATED;
        }
        std::lock_guard lock(state.mutex);
        info = state.info;
    }
    GstBufferPool* pool = gst_base_src_get_buffer_pool(base);
    if (pool == nullptr) {
        return GST_FLOW_NOT_NEGOTIATED;
    }
    BufferPtr frame;
    std::string error;
    const FrameResult result = source->Next(pool, info, frame, error);
    gst_object_unref(pool);
    switch (result) {
        case FrameResult::kOk:
            *out = frame.release();
            return GST_FLOW_OK;
        case FrameResult::kFlushing:
            return GST_FLOW_FLUSHING;
        case FrameResult::kEndOfStream:
            GST_INFO_OBJECT(push, "the camera stopped: end of stream");
            return GST_FLOW_EOS;
        case FrameResult::kError:
            break;
    }
    GST_ELEMENT_ERROR(push, RESOURCE, READ, ("%s", error.c_str()), (nullptr));
    return GST_FLOW_ERROR;
}

void Finalize(GObject* object) {
    KorvaneSrc* self = KORVANE_SRC(object);
    std::unique_ptr<State> owned(self->state);
    self->state = nullptr;
    owned.reset();
    G_OBJECT_CLASS(korvane_src_parent_class)->finalize(object);
}

}  // namespace

static void korvane_src_class_init(KorvaneSrcClass* klass) {
    GObjectClass* object = G_OBJECT_CLASS(klass);
    GstElementClass* element = GST_ELEMENT_CLASS(klass);
    GstBaseSrcClass* base = GST_BASE_SRC_CLASS(klass);
    GstPushSrcClass* push = GST_PUSH_SRC_CLASS(klass);

    object->set_property = SetProperty;
    object->get_property = GetProperty;
    object->finalize = Finalize;
    const auto flags = static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS |
                                                GST_PARAM_MUTABLE_READY);
    g_object_class_install_property(
        object, kPropShare,
        g_param_spec_string("share", "Share name",
                            "Receive the frames another process shares under this name (the "
                            "camera's ShareName)",
                            "", flags));
    g_object_class_install_property(
        object, kPropConnectTimeout,
        g_param_spec_int("connect-timeout", "Connect time-out",
                         "Milliseconds to wait for the share to appear and tell its size", 0,
                         G_MAXINT, kDefaultConnectTimeoutMs, flags));
    g_object_class_install_property(
        object, kPropCamera,
        g_param_spec_string("camera", "Camera name",
                            "Open this camera through the driver (\"Camera 1\", ...) and grab it "
                            "continuously; this process is then the camera's host",
                            "", flags));
    g_object_class_install_property(
        object, kPropSystemPath,
        g_param_spec_string("system-path", "System path",
                            "Camera mode: the driver's system path (Korvane.ini, Korvane.log)", ".",
                            flags));
    g_object_class_install_property(
        object, kPropPort,
        g_param_spec_int("port", "Port", "Camera mode: the port number to open the camera on", 0,
                         G_MAXINT, 1, flags));
    g_object_class_install_property(
        object, kPropLibrary,
        g_param_spec_string("library", "Driver library",
                            "Camera mode: the driver library to load (empty: beside the plugin's "
                            "folder, then $KORVANE_LIBRARY and the loader's other places)",
                            "", flags));
    g_object_class_install_property(
        object, kPropProperties,
        g_param_spec_string("properties", "Camera properties",
                            "Camera mode: Name=value,... set through setProperty before the first "
                            "grab (docs/properties.md lists the names)",
                            "", flags));
    g_object_class_install_property(
        object, kPropDropped,
        g_param_spec_uint64("dropped", "Dropped frames",
                            "Camera mode: frames grabbed while no buffer was free or the queue was "
                            "full, since the element was made",
                            0, G_MAXUINT64, 0,
                            static_cast<GParamFlags>(G_PARAM_READABLE | G_PARAM_STATIC_STRINGS)));

    gst_element_class_add_static_pad_template(element, &srcTemplate);
    gst_element_class_set_static_metadata(element, "Korvane camera source", "Source/Video",
                                          "Live GRAY8 frames of a Korvane camera",
                                          "Korvane developers");

    base->start = Start;
    base->stop = Stop;
    base->get_caps = GetCaps;
    base->set_caps = SetCaps;
    base->decide_allocation = DecideAllocation;
    base->unlock = Unlock;
    base->unlock_stop = UnlockStop;
    push->create = Create;
    GST_DEBUG_CATEGORY_INIT(korvane_src_debug, "korvanesrc", 0, "Korvane camera source");
}

static void korvane_src_init(KorvaneSrc* self) {
    self->state = std::make_unique<State>().release();
    gst_base_src_set_live(GST_BASE_SRC(self), TRUE);
    gst_base_src_set_format(GST_BASE_SRC(self), GST_FORMAT_TIME);
    gst_base_src_set_do_timestamp(GST_BASE_SRC(self), FALSE);
}

gboolean korvane_src_register(GstPlugin* plugin) {
    return gst_element_register(plugin, "korvanesrc", GST_RANK_NONE, KORVANE_TYPE_SRC);
}

// korvane-rtsp: serves a Korvane camera as H.264 over RTSP, with
// korvanesrc built in, for players and pipelines on other machines.
//   korvane-rtsp (--share NAME | --camera NAME [--system-path DIR])
//                [--port N] [--mount PATH] [--address A]
#include <gst/gst.h>
#include <gst/rtsp-server/rtsp-server.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gstreamer/KorvaneSrc.h"

namespace {

constexpr const char* kUsage =
    "usage: korvane-rtsp (--share NAME | --camera NAME [--system-path DIR]) [--port N]\n"
    "                    [--mount PATH] [--address A]\n"
    "Serves the camera as H.264 (x264enc tune=zerolatency) at rtsp://A:N/PATH\n"
    "(defaults: port 8554, mount /korvane, address 0.0.0.0). Prints the URL once it listens.\n";

struct Options {
    std::string share;
    std::string camera;
    std::string systemPath = ".";
    std::string port = "8554";
    std::string mount = "/korvane";
    std::string address = "0.0.0.0";
};

bool Parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        }
        if (i + 1 >= argc) {
            return false;
        }
        const char* value = argv[++i];
        if (arg == "--share") {
            options.share = value;
        } else if (arg == "--camera") {
            options.camera = value;
        } else if (arg == "--system-path") {
            options.systemPath = value;
        } else if (arg == "--port") {
            options.port = value;
        } else if (arg == "--mount") {
            options.mount = value;
        } else if (arg == "--address") {
            options.address = value;
        } else {
            return false;
        }
    }
    return options.share.empty() != options.camera.empty() && !options.mount.empty() &&
           options.mount[0] == '/';
}

// A value inside a gst-launch description, quoted.
std::string Quoted(const std::string& value) {
    std::string out = "\"";
    for (const char c : value) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

GMainLoop* loop = nullptr;

void OnSignal(int) {
    if (loop != nullptr) {
        g_main_loop_quit(loop);
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!Parse(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    gst_init(&argc, &argv);
    gst_plugin_register_static(GST_VERSION_MAJOR, GST_VERSION_MINOR, "korvane",
                               "Korvane camera sources", korvane_src_register, "korvane-rtsp",
                               "Proprietary", "korvane", "korvane", "https://korvane.invalid/");
    const std::string source = options.share.empty()
                                   ? "korvanesrc camera=" + Quoted(options.camera) +
                                         " system-path=" + Quoted(options.systemPath)
                                   : "korvanesrc share=" + Quoted(options.share);
    // One camera, one pipeline: every client of the mount shares it.
    const std::string launch = "( " + source +
                               " ! videoconvert ! x264enc tune=zerolatency ! "
                               "rtph264pay name=pay0 pt=96 config-interval=1 )";
    GstRTSPServer* server = gst_rtsp_server_new();
    gst_rtsp_server_set_address(server, options.address.c_str());
    gst_rtsp_server_set_service(server, options.port.c_str());
    GstRTSPMediaFactory* factory = gst_rtsp_media_factory_new();
    gst_rtsp_media_factory_set_launch(factory, launch.c_str());
    gst_rtsp_media_factory_set_shared(factory, TRUE);
    GstRTSPMountPoints* mounts = gst_rtsp_server_get_mount_points(server);
    gst_rtsp_mount_points_add_factory(mounts, options.mount.c_str(), factory);
    g_object_unref(mounts);
    const guint id = gst_rtsp_server_attach(server, nullptr);
    if (id == 0) {
        std::fprintf(stderr, "korvane-rtsp: cannot listen on %s:%s\n", options.address.c_str(),
                     options.port.c_str());
        g_object_unref(server);
        return 1;
    }
    loop = g_main_loop_new(nullptr, FALSE);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::printf("korvane-rtsp: rtsp://%s:%d%s\n", options.address.c_str(),
                gst_rtsp_server_get_bound_port(server), options.mount.c_str());
    std::fflush(stdout);
    g_main_loop_run(loop);
    g_source_remove(id);
    g_main_loop_unref(loop);
    g_object_unref(server);
    return 0;
}

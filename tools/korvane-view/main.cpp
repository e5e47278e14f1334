// korvane-view: a live view of a Korvane camera in the browser. It hosts a
// camera through the driver's exports (or receives a shared one), serves
// one page on this machine and pushes every frame it can to each open tab.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "tools/korvane-view/CameraHost.h"
#include "tools/korvane-view/FrameHub.h"
#include "tools/korvane-view/LogRing.h"
#include "tools/korvane-view/Options.h"
#include "tools/korvane-view/RequestGuard.h"
#include "tools/korvane-view/ShareSource.h"
#include "tools/korvane-view/WebServer.h"

namespace {

std::string UrlHost(const std::string& listen) {
    if (listen == "0.0.0.0") {
        return "127.0.0.1";
    }
    if (listen == "::") {
        return "[::1]";
    }
    if (listen.find(':') != std::string::npos) {
        return "[" + listen + "]";
    }
    return listen;
}

int Run(const view::Options& options) {
    // A tab closed in the middle of a frame must not end the process: the
    // write fails and the connection ends instead.
    // SIGINT and SIGTERM are taken by one thread with sigwait, which then
    // stops the server in an ordinary context.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    view::FrameHub hub;
    view::LogRing log;
    std::unique_ptr<view::CameraHost> host;
    std::unique_ptr<view::ShareSource> share;
    view::Source* source = nullptr;
    std::string what;
    if (options.share.empty()) {
        host = std::make_unique<view::CameraHost>(hub, log);
        std::string error;
        if (!host->Start(options, error)) {
            std::fprintf(stderr, "korvane-view: %s\n", error.c_str());
            for (const view::LogLine& line : log.After(0, std::chrono::milliseconds(0))) {
                if (line.level != "info") {
                    std::fprintf(stderr, "%s\n", line.text.c_str());
                }
            }
            return 1;
        }
        source = host.get();
        what = host->Camera();
    } else {
        share = std::make_unique<view::ShareSource>(hub, log, options.share);
        share->Start();
        source = share.get();
        what = "shared camera " + options.share;
    }

    const std::string token = view::MakeToken();
    view::WebServer server(hub, log, *source, token, options.quality);
    const int port = server.Bind(options.listen, options.httpPort);
    if (port < 0) {
        std::fprintf(stderr, "korvane-view: cannot listen on %s port %d\n", options.listen.c_str(),
                     options.httpPort);
        return 1;
    }
    std::printf("korvane-view: %s on http://%s:%d/?token=%s\n", what.c_str(),
                UrlHost(options.listen).c_str(), port, token.c_str());
    std::fflush(stdout);

    std::thread stopper([&] {
        int signalNumber = 0;
        sigwait(&stopSignals, &signalNumber);
        hub.Shutdown();
        log.Shutdown();
        server.Stop();
    });
    server.Serve();
    // Serve also ends when listening fails; the stopper then still waits.
    if (!hub.IsShutDown()) {
        pthread_kill(stopper.native_handle(), SIGTERM);
    }
    stopper.join();
    if (share) {
        share->Stop();
    }
    if (host) {
        host->Stop();
    }
    std::printf("korvane-view: stopped\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    view::Options options;
    std::string error;
    if (!view::ParseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "korvane-view: %s\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(view::Usage(), stdout);
        return 0;
    }
    return Run(options);
}

#include "tools/korvane-view/WebServer.h"

#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "tools/korvane-view/Encoders.h"
#include "tools/korvane-view/Json.h"
#include "tools/korvane-view/PageAssets.h"
#include "tools/korvane-view/PropertyCatalog.h"
#include "tools/korvane-view/RequestGuard.h"
#include "tools/korvane-view/StreamFormat.h"

namespace view {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kBoundary = "korvaneframe";
// Long-lived streams hold a thread each: two per tab, and room for the
// short requests beside them.
constexpr std::size_t kThreads = 48;
// With nothing new to send, a stream sends an empty part this often, so a
// closed tab is noticed and its thread freed.
constexpr auto kIdlePart = 1000ms;

// The page, with its script and style put in: one response, no other
// request for assets.
std::string BuildPage() {
    std::string page = assets::kPageHtml;
    const auto put = [&page](const std::string& marker, const char* text) {
        const std::size_t at = page.find(marker);
        if (at != std::string::npos) {
            page.replace(at, marker.size(), text);
        }
    };
    put("/*PAGE_CSS*/", assets::kPageCss);
    put("/*PAGE_JS*/", assets::kPageJs);
    return page;
}

void Refuse(httplib::Response& res, int status, const std::string& why) {
    res.status = status;
    res.set_content(why + "\n", "text/plain; charset=utf-8");
}

std::string PartHeader(const Frame* frame, const std::string& mime, std::size_t length) {
    std::string h = std::string("--") + kBoundary + "\r\nContent-Type: " + mime +
                    "\r\nContent-Length: " + std::to_string(length) + "\r\n";
    if (frame != nullptr) {
        char stamp[48];
        std::snprintf(stamp, sizeof stamp, "%.3f", frame->stampMs);
        h += "X-Frame-Seq: " + std::to_string(frame->seq) + "\r\nX-Frame-Stamp: " + stamp +
             "\r\nX-Frame-Size: " + std::to_string(frame->width) + "x" +
             std::to_string(frame->height) + "\r\n";
    }
    return h + "\r\n";
}

bool Encode(const StreamFormat& format, const Frame& f, std::string& out) {
    return format.png ? EncodePng(f.pixels.data(), f.width, f.height, out)
                      : EncodeJpeg(f.pixels.data(), f.width, f.height, format.quality, out);
}

// One frame stream's state between the provider's calls.
struct StreamState {
    StreamFormat format;
    std::uint64_t lastSeq = 0;
    Clock::time_point lastSent{};
};

// The guard every request passes: this server by address, from here, with
// the token. Refused requests get a 403 that says why.
bool Admit(const httplib::Request& req, httplib::Response& res, int port,
           const std::string& token) {
    const std::string host = req.get_header_value("Host");
    if (!HostAllowed(host, port)) {
        Refuse(res, 403, "this server answers only to its address (the Host header)");
        return false;
    }
    if (!OriginAllowed(req.get_header_value("Origin"), req.has_header("Origin"), host)) {
        Refuse(res, 403, "requests from other pages are refused (the Origin header)");
        return false;
    }
    const std::string given = req.has_header("X-Korvane-Token")
                                  ? req.get_header_value("X-Korvane-Token")
                                  : req.get_param_value("token");
    if (!TokenMatches(given, token)) {
        Refuse(res, 403, "open the URL korvane-view printed: it carries this run's token");
        return false;
    }
    return true;
}

}  // namespace

WebServer::WebServer(FrameHub& hub, LogRing& log, Source& source, std::string token, int quality)
    : hub_(hub),
      log_(log),
      source_(source),
      token_(std::move(token)),
      quality_(quality),
      page_(BuildPage()),
      server_(std::make_unique<httplib::Server>()) {
    // The library owns and deletes the queue it is handed.
    server_->new_task_queue = [] {
        return std::make_unique<httplib::ThreadPool>(kThreads).release();
    };
    server_->set_payload_max_length(4096);
    server_->set_read_timeout(5, 0);
    server_->set_write_timeout(5, 0);
    server_->set_keep_alive_max_count(100);
    Routes();
}

WebServer::~WebServer() = default;

int WebServer::Bind(const std::string& address, int port) {
    if (port == 0) {
        port_ = server_->bind_to_any_port(address);
    } else {
        port_ = server_->bind_to_port(address, port) ? port : -1;
    }
    return port_ > 0 ? port_ : -1;
}

void WebServer::Serve() {
    server_->listen_after_bind();
}

void WebServer::Stop() {
    server_->stop();
}

void WebServer::Routes() {
    httplib::Server& s = *server_;
    s.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        return Admit(req, res, port_, token_) ? httplib::Server::HandlerResponse::Unhandled
                                              : httplib::Server::HandlerResponse::Handled;
    });
    s.set_exception_handler([](const httplib::Request&, httplib::Response& res,
                               std::exception_ptr) { Refuse(res, 500, "internal error"); });
    s.set_default_headers({{"Cache-Control", "no-store"}, {"X-Content-Type-Options", "nosniff"}});

    s.Get("/", [this](const httplib::Request&, httplib::Response& res) {
        // Nothing but this server: scripts and styles are in the page, frames
        // arrive over fetch from here.
        res.set_header("Content-Security-Policy",
                       "default-src 'none'; script-src 'unsafe-inline'; style-src "
                       "'unsafe-inline'; img-src blob: data:; connect-src 'self'");
        res.set_content(page_, "text/html; charset=utf-8");
    });

    s.Get("/api/info", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(source_.InfoJson(), "application/json");
    });

    s.Get("/api/stats", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content("{" + source_.StatsMembers() +
                            ",\"streams\":" + std::to_string(streams_.load()) +
                            ",\"eventStreams\":" + std::to_string(events_.load()) + "}",
                        "application/json");
    });

    s.Post("/api/property", [this](const httplib::Request& req, httplib::Response& res) {
        const std::string name = req.get_param_value("name");
        int value = 0;
        if (source_.ReadOnly()) {
            Refuse(res, 403, "a shared camera is read-only");
            return;
        }
        if (FindViewedProperty(name) == nullptr) {
            Refuse(res, 400, "not a setting this page edits");
            return;
        }
        if (!ParseWholeInt(req.get_param_value("value"), value)) {
            Refuse(res, 400, "value must be a whole number");
            return;
        }
        res.set_content(source_.SetProperty(name, value).json, "application/json");
    });

    s.Post("/api/grab", [this](const httplib::Request& req, httplib::Response& res) {
        const std::string mode = req.get_param_value("mode");
        if (source_.ReadOnly()) {
            Refuse(res, 403, "a shared camera is read-only");
            return;
        }
        if (mode != "single" && mode != "continuous" && mode != "stop") {
            Refuse(res, 400, "mode must be single, continuous or stop");
            return;
        }
        res.set_content(source_.Grab(mode).json, "application/json");
    });

    s.Get("/api/snapshot", [this](const httplib::Request& req, httplib::Response& res) {
        const std::string format = req.get_param_value("format");
        if (format != "pgm" && format != "png") {
            Refuse(res, 400, "format must be pgm or png");
            return;
        }
        const std::shared_ptr<const Frame> frame = hub_.Latest();
        if (!frame) {
            Refuse(res, 409, "no frame yet: grab one first");
            return;
        }
        std::string data;
        const bool ok = format == "png"
                            ? EncodePng(frame->pixels.data(), frame->width, frame->height, data)
                            : EncodePgm(frame->pixels.data(), frame->width, frame->height, data);
        if (!ok) {
            Refuse(res, 500, "the frame could not be encoded");
            return;
        }
        char name[64];
        std::snprintf(name, sizeof name, "frame-%05llu.%s",
                      static_cast<unsigned long long>(frame->seq), format.c_str());
        res.set_header("Content-Disposition", std::string("attachment; filename=\"") + name + "\"");
        res.set_header("X-Frame-Seq", std::to_string(frame->seq));
        res.set_content(data, format == "png" ? "image/png" : "image/x-portable-graymap");
    });

    s.Get("/stream", [this](const httplib::Request& req, httplib::Response& res) {
        auto state = std::make_shared<StreamState>();
        std::string error;
        if (!ParseStreamFormat(req.get_param_value("format"), req.get_param_value("quality"),
                               req.get_param_value("fps"), quality_, state->format, error)) {
            Refuse(res, 400, error);
            return;
        }
        streams_.fetch_add(1);
        res.set_content_provider(
            std::string("multipart/x-mixed-replace; boundary=") + kBoundary,
            [this, state](std::size_t, httplib::DataSink& sink) {
                if (hub_.IsShutDown()) {
                    sink.done();
                    return true;
                }
                StreamState& st = *state;
                // A rate limit: wait out the interval, then take whatever is
                // newest then.
                if (st.format.maxFps > 0) {
                    const auto interval = std::chrono::duration_cast<Clock::duration>(
                        std::chrono::duration<double>(1.0 / st.format.maxFps));
                    const auto due = st.lastSent + interval;
                    while (Clock::now() < due && !hub_.IsShutDown()) {
                        std::this_thread::sleep_for(
                            std::min<Clock::duration>(due - Clock::now(), 100ms));
                    }
                }
                const std::shared_ptr<const Frame> frame = hub_.WaitNewer(st.lastSeq, kIdlePart);
                if (!frame || frame->seq <= st.lastSeq) {
                    const std::string idle = PartHeader(nullptr, "text/plain", 0) + "\r\n";
                    return sink.write(idle.data(), idle.size());
                }
                const std::shared_ptr<const std::string> data = frame->Encoded(
                    st.format.Key(),
                    [&st](const Frame& f, std::string& out) { return Encode(st.format, f, out); });
                st.lastSeq = frame->seq;
                st.lastSent = Clock::now();
                if (!data) {
                    return true;
                }
                const std::string head =
                    PartHeader(frame.get(), st.format.MimeType(), data->size());
                return sink.write(head.data(), head.size()) &&
                       sink.write(data->data(), data->size()) && sink.write("\r\n", 2);
            },
            [this](bool) { streams_.fetch_sub(1); });
    });

    s.Get("/events", [this](const httplib::Request&, httplib::Response& res) {
        events_.fetch_add(1);
        // The page gets the latest lines first, then each as it comes.
        auto lastId =
            std::make_shared<std::uint64_t>(log_.LastId() > 200 ? log_.LastId() - 200 : 0);
        auto lastStats = std::make_shared<Clock::time_point>();
        res.set_chunked_content_provider(
            "text/event-stream",
            [this, lastId, lastStats](std::size_t, httplib::DataSink& sink) {
                if (hub_.IsShutDown()) {
                    sink.done();
                    return true;
                }
                std::string out;
                for (const LogLine& line : log_.After(*lastId, 250ms)) {
                    *lastId = line.id;
                    out += "event: log\ndata: {\"id\":" + std::to_string(line.id) +
                           ",\"level\":\"" + line.level + "\",\"stamp\":" + JsonText(line.stamp) +
                           ",\"text\":" + JsonText(line.text) + "}\n\n";
                }
                if (Clock::now() - *lastStats >= 500ms) {
                    *lastStats = Clock::now();
                    out += "event: stats\ndata: {" + source_.StatsMembers() +
                           ",\"streams\":" + std::to_string(streams_.load()) + "}\n\n";
                }
                return out.empty() || sink.write(out.data(), out.size());
            },
            [this](bool) { events_.fetch_sub(1); });
    });
}

}  // namespace view

#include "tools/korvane-view/CameraHost.h"

#include <algorithm>
#include <filesystem>

#include "tools/korvane-view/Json.h"
#include "tools/korvane-view/PropertyCatalog.h"

namespace view {
namespace {

// The driver's callbacks carry no context: the one host of this process.
std::atomic<CameraHost*> g_host{nullptr};
std::atomic<LogRing*> g_log{nullptr};

}  // namespace

CameraHost::~CameraHost() {
    Stop();
}

void CameraHost::OnFrame(int /*grabberNo*/, int portNo) {
    CameraHost* host = g_host.load();
    if (host != nullptr) {
        host->Fetch(portNo);
    }
}

void CameraHost::OnLog(const char* text) {
    LogRing* log = g_log.load();
    if (log != nullptr) {
        log->Feed(text);
    }
}

void CameraHost::Fetch(int portNo) {
    // The stamp is taken first: the latency the page shows starts at the
    // callback, as a host's processing would.
    const double stamp = WallClockMs();
    const int w = width_.load();
    const int h = height_.load();
    if (w <= 0 || h <= 0) {
        return;
    }
    std::shared_ptr<Frame> frame = hub_.Acquire(w, h);
    frame->stampMs = stamp;
    const int rows =
        korvane::loader::ReadFrame(driver_.Api(), 0, portNo, frame->pixels.data(), w, h, w);
    grabbed_.fetch_add(1);
    if (rows != h) {
        rowFailures_.fetch_add(static_cast<std::uint64_t>(h - std::max(rows, 0)));
        return;
    }
    hub_.Publish(std::move(frame));
}

bool CameraHost::Start(const Options& options, std::string& error) {
    if (!driver_.Load(options.library, error)) {
        return false;
    }
    std::error_code ignored;
    std::filesystem::create_directories(options.systemPath, ignored);
    if (!std::filesystem::is_directory(options.systemPath, ignored)) {
        error = "cannot use '" + options.systemPath + "' as the system path";
        return false;
    }
    g_log.store(&log_);
    g_host.store(this);
    const korvane::loader::Exports& d = driver_.Api();
    if (d.initialize(options.systemPath.c_str(), &CameraHost::OnLog) != 1) {
        error = "initialize failed";
        return false;
    }
    initialized_ = true;
    char** names = d.getXELCameraConfigNames();
    if (names == nullptr || names[0] == nullptr) {
        error = "no camera found";
        return false;
    }
    camera_ = options.camera.empty() ? names[0] : options.camera;
    port_ = options.port;
    int size[2] = {0, 0};
    if (d.openXELPort(0, port_, camera_.c_str(), size) != 1) {
        error = "cannot open '" + camera_ + "' on port " + std::to_string(port_);
        return false;
    }
    open_ = true;
    openWidth_ = size[0];
    openHeight_ = size[1];
    RefreshSize();
    d.setCompleteCallback(0, port_, &CameraHost::OnFrame);
    {
        std::lock_guard lock(rateMutex_);
        rateTime_ = std::chrono::steady_clock::now();
    }
    if (options.continuous) {
        const ChangeAnswer started = Grab("continuous");
        if (!started.ok) {
            error = "continuous grabbing was refused";
            return false;
        }
    }
    return true;
}

void CameraHost::Stop() {
    std::lock_guard lock(driverMutex_);
    const korvane::loader::Exports& d = driver_.Api();
    if (open_) {
        d.setProperty(0, port_, "continuous", 0);
        d.closeXELPort(0, port_);
        open_ = false;
    }
    if (initialized_) {
        d.finalize();
        initialized_ = false;
    }
    g_host.store(nullptr);
    g_log.store(nullptr);
}

void CameraHost::RefreshSize() {
    const korvane::loader::Exports& d = driver_.Api();
    int w = openWidth_;
    int h = openHeight_;
    d.getProperty(0, port_, "Width", &w);
    d.getProperty(0, port_, "Height", &h);
    // A larger size reaches the buffer only at the next open.
    width_.store(std::clamp(w, 0, openWidth_));
    height_.store(std::clamp(h, 0, openHeight_));
}

std::string CameraHost::InfoJson() {
    std::lock_guard lock(driverMutex_);
    const korvane::loader::Exports& d = driver_.Api();
    std::string props;
    for (const PropertySpec& property : ViewedProperties()) {
        int value = 0;
        const bool has = d.getProperty(0, port_, property.name.c_str(), &value) == 1;
        int lo = property.min;
        int hi = property.max;
        const bool driverRange = d.getPropertyRange(0, port_, property.name.c_str(), &lo, &hi) == 1;
        if (!driverRange) {
            lo = property.min;
            hi = property.max;
        }
        if (!props.empty()) {
            props += ',';
        }
        props += "{\"name\":" + JsonText(property.name) +
                 ",\"value\":" + (has ? std::to_string(value) : "null") +
                 ",\"min\":" + std::to_string(lo) + ",\"max\":" + std::to_string(hi) +
                 ",\"rangeFrom\":\"" + (driverRange ? "driver" : "catalogue") +
                 "\",\"effect\":" + JsonText(property.effect) + "}";
    }
    int continuous = 0;
    d.getProperty(0, port_, "continuous", &continuous);
    return "{\"mode\":\"host\",\"readOnly\":false,\"camera\":" + JsonText(camera_) +
           ",\"port\":" + std::to_string(port_) + ",\"width\":" + std::to_string(width_.load()) +
           ",\"height\":" + std::to_string(height_.load()) +
           ",\"continuous\":" + (continuous != 0 ? "true" : "false") + ",\"properties\":[" + props +
           "]}";
}

std::string CameraHost::StatsMembers() {
    const std::uint64_t grabbed = grabbed_.load();
    double rate = 0;
    {
        std::lock_guard lock(rateMutex_);
        const auto now = std::chrono::steady_clock::now();
        const double dt = std::chrono::duration<double>(now - rateTime_).count();
        if (dt >= 0.5) {
            rate_ = static_cast<double>(grabbed - rateCount_) / dt;
            rateTime_ = now;
            rateCount_ = grabbed;
        }
        rate = rate_;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", rate);
    return "\"source\":\"camera\",\"grabbed\":" + std::to_string(grabbed) +
           ",\"grabRate\":" + text + ",\"rowFailures\":" + std::to_string(rowFailures_.load()) +
           ",\"published\":" + std::to_string(hub_.Published());
}

ChangeAnswer CameraHost::Answer(bool driverOk, std::uint64_t sinceLogId, const std::string& extra) {
    // The driver answers 1 for a setting it passed on even when the camera
    // refused it; the refusal is in the error line it logged meanwhile.
    bool errorLogged = false;
    std::string lines;
    for (const LogLine& line : log_.After(sinceLogId, std::chrono::milliseconds(0))) {
        if (!lines.empty()) {
            lines += ',';
        }
        lines += JsonText(line.text);
        errorLogged = errorLogged || line.level == "error";
    }
    const bool ok = driverOk && !errorLogged;
    return ChangeAnswer{ok, "{\"ok\":" + std::string(ok ? "true" : "false") +
                                ",\"driverAnswer\":" + (driverOk ? "1" : "0") + ",\"messages\":[" +
                                lines + "]" + extra + "}"};
}

ChangeAnswer CameraHost::SetProperty(const std::string& name, int value) {
    std::lock_guard lock(driverMutex_);
    const korvane::loader::Exports& d = driver_.Api();
    const std::uint64_t before = log_.LastId();
    const bool ok = d.setProperty(0, port_, name.c_str(), value) == 1;
    int now = 0;
    const bool has = d.getProperty(0, port_, name.c_str(), &now) == 1;
    if (ok && (name == "Width" || name == "Height")) {
        RefreshSize();
    }
    const std::string extra = ",\"name\":" + JsonText(name) +
                              ",\"asked\":" + std::to_string(value) +
                              ",\"value\":" + (has ? std::to_string(now) : "null");
    return Answer(ok, before, extra);
}

ChangeAnswer CameraHost::Grab(const std::string& mode) {
    std::lock_guard lock(driverMutex_);
    const korvane::loader::Exports& d = driver_.Api();
    const std::uint64_t before = log_.LastId();
    bool ok = false;
    if (mode == "single") {
        ok = d.doXELGrab(0, port_) == 1;
    } else if (mode == "continuous") {
        ok = d.setProperty(0, port_, "continuous", 1) == 1 && d.doXELGrab(0, port_) == 1;
    } else if (mode == "stop") {
        ok = d.setProperty(0, port_, "continuous", 0) == 1;
    }
    return Answer(ok, before, ",\"mode\":" + JsonText(mode));
}

}  // namespace view

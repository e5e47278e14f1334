#include "tools/korvane-view/ShareSource.h"

#include <chrono>

#include "korvane/korvane_share.h"
#include "tools/korvane-view/Json.h"

namespace view {
namespace {

struct ShareClose {
    void operator()(korvane_share* share) const { korvane_share_close(share); }
};

}  // namespace

ShareSource::~ShareSource() {
    Stop();
}

void ShareSource::Start() {
    thread_ = std::thread([this] { Run(); });
}

void ShareSource::Stop() {
    stop_.store(true);
    if (thread_.joinable()) {
        thread_.join();
    }
}

void ShareSource::SetState(const std::string& state) {
    bool changed = false;
    {
        std::lock_guard lock(stateMutex_);
        changed = state_ != state;
        state_ = state;
    }
    if (changed) {
        log_.Add("", "korvane-view: share " + name_ + ": " + state);
    }
}

void ShareSource::Run() {
    while (!stop_.load()) {
        korvane_share* raw = nullptr;
        if (korvane_share_open(name_.c_str(), &raw) != KORVANE_SHARE_OK || raw == nullptr) {
            SetState("waiting for the camera to share");
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            continue;
        }
        std::unique_ptr<korvane_share, ShareClose> share(raw);
        Receive(share.get());
    }
}

void ShareSource::Receive(korvane_share* share) {
    int w = 0;
    int h = 0;
    if (korvane_share_dimensions(share, 2000, &w, &h) != KORVANE_SHARE_OK || w <= 0 || h <= 0) {
        SetState("no image size from the camera");
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        return;
    }
    width_.store(w);
    height_.store(h);
    SetState("connected, " + std::to_string(w) + " x " + std::to_string(h));
    while (!stop_.load()) {
        const int rc = korvane_share_wait_frame(share, 250);
        if (rc == KORVANE_SHARE_TIMEOUT) {
            continue;
        }
        if (rc != KORVANE_SHARE_OK) {
            SetState("the camera stopped sharing");
            return;
        }
        const double stamp = WallClockMs();
        std::shared_ptr<Frame> frame = hub_.Acquire(w, h);
        frame->stampMs = stamp;
        if (korvane_share_copy_frame(share, frame->pixels.data(), frame->pixels.size()) !=
            KORVANE_SHARE_OK) {
            SetState("the camera stopped sharing");
            return;
        }
        received_.fetch_add(1);
        hub_.Publish(std::move(frame));
    }
}

std::string ShareSource::InfoJson() {
    return "{\"mode\":\"share\",\"readOnly\":true,\"camera\":" + JsonText(name_) +
           ",\"width\":" + std::to_string(width_.load()) +
           ",\"height\":" + std::to_string(height_.load()) + ",\"properties\":[]}";
}

std::string ShareSource::StatsMembers() {
    std::string state;
    {
        std::lock_guard lock(stateMutex_);
        state = state_;
    }
    return "\"source\":\"share\",\"grabbed\":" + std::to_string(received_.load()) +
           ",\"state\":" + JsonText(state) + ",\"published\":" + std::to_string(hub_.Published());
}

ChangeAnswer ShareSource::SetProperty(const std::string&, int) {
    return ChangeAnswer{false, "{\"ok\":false,\"messages\":[\"a shared camera is read-only\"]}"};
}

ChangeAnswer ShareSource::Grab(const std::string&) {
    return ChangeAnswer{false, "{\"ok\":false,\"messages\":[\"a shared camera is read-only\"]}"};
}

}  // namespace view

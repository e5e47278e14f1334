#include "tests/support/GrabWaiter.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace korvane::test {
namespace {
struct Shared {
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<GrabCall> calls;
    std::function<void(int)> action;
    bool active = false;
};
Shared& State() {
    static Shared s;
    return s;
}
}  // namespace

void GrabWaiter::Callback(int grabberNo, int portNo) {
    Shared& s = State();
    std::function<void(int)> action;
    {
        std::lock_guard lock(s.mutex);
        if (!s.active) {
            return;
        }
        s.calls.push_back({grabberNo, portNo});
        action = s.action;
    }
    if (action) {
        action(portNo);
    }
    s.cv.notify_all();
}

GrabWaiter::GrabWaiter() {
    std::lock_guard lock(State().mutex);
    State().calls.clear();
    State().action = nullptr;
    State().active = true;
}

GrabWaiter::~GrabWaiter() {
    std::lock_guard lock(State().mutex);
    State().active = false;
    State().action = nullptr;
}

bool GrabWaiter::WaitFor(std::size_t n, std::chrono::milliseconds timeout) {
    std::unique_lock lock(State().mutex);
    return State().cv.wait_for(lock, timeout, [&] { return State().calls.size() >= n; });
}

std::size_t GrabWaiter::Count() const {
    std::lock_guard lock(State().mutex);
    return State().calls.size();
}

std::vector<GrabCall> GrabWaiter::Calls() const {
    std::lock_guard lock(State().mutex);
    return State().calls;
}

void GrabWaiter::OnCall(std::function<void(int port)> action) {
    std::lock_guard lock(State().mutex);
    State().action = std::move(action);
}

}  // namespace korvane::test

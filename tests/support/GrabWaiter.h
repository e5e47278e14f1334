#pragma once
// A grab-complete callback for host tests: counts calls per port and lets a
// test wait for them.
#include <chrono>
#include <functional>
#include <vector>

namespace korvane::test {

struct GrabCall {
    int grabber;
    int port;
};

class GrabWaiter {
  public:
    // The callback to register; it records into the active waiter.
    static void Callback(int grabberNo, int portNo);

    GrabWaiter();
    ~GrabWaiter();
    GrabWaiter(const GrabWaiter&) = delete;
    GrabWaiter& operator=(const GrabWaiter&) = delete;

    // Waits until at least n calls arrived; false on time-out.
    bool WaitFor(std::size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    std::size_t Count() const;
    std::vector<GrabCall> Calls() const;
    // Runs inside each callback, on the grab thread, after recording.
    void OnCall(std::function<void(int port)> action);
};

}  // namespace korvane::test

#pragma once
// The page, the frame stream, the event stream and the page's requests,
// served with cpp-httplib. Every request passes the guard first.
#include <atomic>
#include <memory>
#include <string>

#include "tools/korvane-view/FrameHub.h"
#include "tools/korvane-view/LogRing.h"
#include "tools/korvane-view/Source.h"

namespace httplib {
class Server;
}

namespace view {

class WebServer {
  public:
    WebServer(FrameHub& hub, LogRing& log, Source& source, std::string token, int quality);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Binds; port 0 takes a free port. Answers the port, or -1.
    int Bind(const std::string& address, int port);
    // Serves until Stop (from another thread).
    void Serve();
    void Stop();

    int Clients() const { return streams_.load(); }

  private:
    void Routes();

    FrameHub& hub_;
    LogRing& log_;
    Source& source_;
    const std::string token_;
    const int quality_;
    std::string page_;
    int port_ = 0;
    std::unique_ptr<httplib::Server> server_;
    std::atomic<int> streams_{0};  // frame streams open now
    std::atomic<int> events_{0};   // event streams open now
};

}  // namespace view

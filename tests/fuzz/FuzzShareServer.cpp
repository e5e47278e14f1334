// Fuzzes the share server's handling of client messages: a running
// CCameraShare gets arbitrary pipe messages from a real client connection
// (empty, short, exact, oversized), mixed with published frames and client
// reconnections. Every answer must be a well-formed message, dimension
// requests must be answered exactly once each, and every announced frame in
// the segment must be one whole frame.
//
// Input: a sequence of items, each one control byte and one length byte
// followed by the message bytes. Control bit 0: publish a frame first;
// bit 1: the message is 64 times longer (filled by repetition); bit 2:
// reconnect the client first. Publishing and reconnecting each wait for a
// round trip through the server's threads, the rest is queued: only the
// first kMaxSlowSteps of each per input are carried out, so that a long
// input costs about as much as a short one (more of them would repeat
// states that a shorter input reaches) and the fuzzer tries more inputs.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "driver/DriverLog.h"
#include "platform/NamedObjects.h"
#include "sharing/CameraShare.h"
#include "sharing/ShareProtocol.h"
#include "sharing/SharedMemory.h"
#include "tests/fuzz/FuzzScratch.h"

namespace {

constexpr int kWidth = 16;
constexpr int kHeight = 4;
constexpr const char* kShareName = "fuzzshare";
constexpr int kReplyWaitMs = 5000;
constexpr int kMaxSlowSteps = 4;

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Frame n: pixel (row, column) = row * 3 + column + n. A frame is counted
// when its first row is fetched, and released when the server lets it go.
class RampSource : public korvane::ShareSource {
  public:
    const char* ShareCameraName() const override { return "Fuzz camera"; }
    int SharePort() const override { return 1; }
    int ShareWidth() const override { return kWidth; }
    int ShareHeight() const override { return kHeight; }
    bool ShareGetRow(std::uint8_t* dest, int row, int first, int last) override {
        Check(row >= 0 && row < kHeight && first >= 0 && first <= last && last < kWidth);
        if (row == 0) {
            frame_.fetch_add(1);
        }
        for (int c = first; c <= last; ++c) {
            dest[c - first] =
                static_cast<std::uint8_t>(row * 3 + c + static_cast<int>(frame_.load()));
        }
        return true;
    }
    // The server lets a frame go only once it takes announcements again.
    void ShareEndFrame() override { released_.fetch_add(1); }
    std::uint32_t Released() const { return released_.load(); }

  private:
    std::atomic<std::uint32_t> frame_{0};
    std::atomic<std::uint32_t> released_{0};
};

class Server {
  public:
    Server() {
        setenv("XDG_RUNTIME_DIR", scratch_.path().c_str(), 1);
        korvane::DriverLog::Instance().SetLevel(0);
        share_.Start(kShareName);
        Check(segment_.Create(kShareName, true, kWidth * kHeight));
    }
    ~Server() {
        Disconnect();
        share_.Stop();
        segment_.Release();
    }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    void Connect() {
        Disconnect();
        fd_ = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        Check(fd_ >= 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path =
            korvane::platform::ObjectPath(korvane::platform::ObjectKind::Pipe, kShareName);
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        Check(connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0);
    }
    void Disconnect() {
        if (fd_ >= 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    bool Connected() const { return fd_ >= 0; }

    // Waits for room only when the socket is full (the server has stopped
    // reading: a hang).
    void Send(const std::vector<std::uint8_t>& message) {
        ssize_t n = send(fd_, message.data(), message.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd_, POLLOUT, 0};
            Check(poll(&p, 1, kReplyWaitMs) == 1);
            n = send(fd_, message.data(), message.size(), MSG_NOSIGNAL);
        }
        Check(n == static_cast<ssize_t>(message.size()));
    }

    // Publishes one frame: announces until the server has taken it and
    // let it go, so that the next announcement finds it taking frames again
    // (one while the server is busy, or not yet serving a client that has
    // just connected, is dropped by design). The server usually takes it
    // within microseconds: yield instead of sleeping (a thread put to sleep
    // wakes later than that), and announce again every 100 us, for 20 ms
    // at most.
    void PublishFrame() {
        const std::uint32_t before = source_.Released();
        const auto start = std::chrono::steady_clock::now();
        auto announced = start - std::chrono::seconds(1);
        while (source_.Released() == before) {
            const auto now = std::chrono::steady_clock::now();
            if (now - start > std::chrono::milliseconds(20)) {
                break;
            }
            if (now - announced > std::chrono::microseconds(100)) {
                share_.NotifyFrame();
                announced = now;
            }
            std::this_thread::yield();
        }
    }

    // Reads until `dims` dimension answers arrived; checks each message.
    void ExpectAnswers(int dims) {
        bool dimensionsFollow = false;
        while (dims > 0 || dimensionsFollow) {
            std::uint8_t buffer[64];
            ssize_t n = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                pollfd p{fd_, POLLIN, 0};
                Check(poll(&p, 1, kReplyWaitMs) == 1);  // no answer: the server hangs
                n = recv(fd_, buffer, sizeof buffer, 0);
            }
            Check(n == 12);
            if (dimensionsFollow) {
                korvane::ShareDimensions d{};
                std::memcpy(&d, buffer, sizeof d);
                Check(d.width == kWidth && d.height == kHeight && d.bytesPerPixel == 1);
                dimensionsFollow = false;
                --dims;
                continue;
            }
            korvane::ShareHeader h{};
            std::memcpy(&h, buffer, sizeof h);
            Check(h.magic == korvane::kShareMagic);
            if (h.type == korvane::kShareTypeDimensions) {
                Check(h.length == 12);
                dimensionsFollow = true;
            } else {
                Check(h.type == korvane::kShareTypeFrame && h.length == 0);
                CheckSegmentHoldsOneFrame();
            }
        }
    }

  private:
    void CheckSegmentHoldsOneFrame() {
        std::uint8_t image[kWidth * kHeight];
        Check(segment_.Read(image, sizeof image));
        const int frame = image[0];
        for (int r = 0; r < kHeight; ++r) {
            for (int c = 0; c < kWidth; ++c) {
                Check(image[r * kWidth + c] == static_cast<std::uint8_t>(r * 3 + c + frame));
            }
        }
    }

    korvane::fuzz::ScratchDir scratch_;
    RampSource source_;
    korvane::CCameraShare share_{source_};
    korvane::CSharedMemory segment_;
    int fd_ = -1;
};

Server& TheServer() {
    static Server server;
    return server;
}

// What the server reads of a message: 12 bytes over a buffer holding type 0;
// shorter than 8 bytes counts as type 0, longer than 12 is refused whole.
bool IsDimensionsRequest(const std::vector<std::uint8_t>& message) {
    if (message.size() < 8 || message.size() > 12) {
        return false;
    }
    std::int32_t type = 0;
    std::memcpy(&type, message.data() + 4, sizeof type);
    return type == korvane::kShareTypeDimensions;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Server& server = TheServer();
    if (!server.Connected()) {
        server.Connect();
    }
    int requests = 0;
    int reconnects = 0;
    int publishes = 0;
    std::size_t at = 0;
    while (at + 2 <= size) {
        const std::uint8_t control = data[at];
        const std::size_t length = data[at + 1] % 24;
        at += 2;
        const std::size_t take = length < size - at ? length : size - at;
        std::vector<std::uint8_t> message(data + at, data + at + take);
        at += take;
        if ((control & 4) != 0 && reconnects++ < kMaxSlowSteps) {
            // Whatever was asked before is answered on the old connection.
            server.ExpectAnswers(requests);
            requests = 0;
            server.Connect();
        }
        if ((control & 2) != 0 && !message.empty()) {
            const std::size_t base = message.size();
            message.resize(base * 64);
            for (std::size_t i = base; i < message.size(); ++i) {
                message[i] = message[i % base];
            }
        }
        if ((control & 1) != 0 && publishes++ < kMaxSlowSteps) {
            server.PublishFrame();
        }
        server.Send(message);
        requests += IsDimensionsRequest(message) ? 1 : 0;
    }
    // A well-formed request at the end: it is answered after all the others.
    const korvane::ShareHeader request{korvane::kShareMagic, korvane::kShareTypeDimensions, 0};
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&request);
    server.Send(std::vector<std::uint8_t>(bytes, bytes + sizeof request));
    server.ExpectAnswers(requests + 1);
    return 0;
}

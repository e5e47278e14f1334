#pragma once
// Helpers of the fault tests: the simulator's ramp check, a raw client of a
// share's pipe, process figures, and this test program run as a peer.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/ShareTestSupport.h"

namespace korvane::test {

// True when an 8-bit image is one whole frame of the simulator's ramp:
// pixel (x, y) of frame n is (x + 2y + 3n) mod 256. frame receives n mod 256.
bool IsWholeRampFrame(const std::uint8_t* image, int width, int height, int* frame = nullptr);

// A client of a share's pipe that talks bytes: any message, any size.
class RawShareClient {
  public:
    RawShareClient() = default;
    ~RawShareClient();
    RawShareClient(const RawShareClient&) = delete;
    RawShareClient& operator=(const RawShareClient&) = delete;

    // Connects to the pipe of the share of that name (retrying for up to
    // timeoutMs while the server is not there yet).
    bool Connect(const std::string& shareName, int timeoutMs = 10000);
    void Close();
    // Sends one message; false when it could not leave within timeoutMs.
    bool Send(const void* bytes, std::size_t size, int timeoutMs = 10000);
    bool SendHeader(std::int32_t type);
    // The next message (empty optional on time-out, empty vector at end of
    // stream).
    std::optional<std::vector<std::uint8_t>> Receive(int timeoutMs = 10000);
    // Shrinks the receive buffer, so that a client that stops reading fills
    // the pipe quickly (POSIX only: on Windows the server sizes the pipe).
    void SetReceiveBuffer(int bytes);

  private:
#ifdef _WIN32
    void* pipe_ = nullptr;
#else
    int fd_ = -1;
#endif
};

// Open file descriptors (handles on Windows) and resident memory (the
// working set) of this process.
int OpenFdCount();
long ResidentKb();

// This test program run as a peer process: see ReliabilityPeer.cpp for the
// steps. The peer inherits the environment (XDG_RUNTIME_DIR included).
ShareProcess StartReliabilityPeer(const std::string& script);

}  // namespace korvane::test

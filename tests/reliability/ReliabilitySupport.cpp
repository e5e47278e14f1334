#include "tests/reliability/ReliabilitySupport.h"

#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "platform/NamedObjects.h"
#include "sharing/ShareProtocol.h"

namespace korvane::test {

bool IsWholeRampFrame(const std::uint8_t* image, int width, int height, int* frame) {
    // 3 * 171 = 513 = 1 (mod 256): the frame number follows from pixel (0, 0).
    const int n = (image[0] * 171) & 0xFF;
    if (frame != nullptr) {
        *frame = n;
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (image[static_cast<std::size_t>(y) * width + x] !=
                static_cast<std::uint8_t>(x + 2 * y + 3 * n)) {
                return false;
            }
        }
    }
    return true;
}

RawShareClient::~RawShareClient() {
    Close();
}

bool RawShareClient::Connect(const std::string& shareName, int timeoutMs) {
    Close();
    const std::string path = platform::ObjectPath(platform::ObjectKind::Pipe, shareName);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return Eventually(
        [&] {
            const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
            if (fd < 0) {
                return false;
            }
            if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
                close(fd);
                return false;
            }
            fd_ = fd;
            return true;
        },
        timeoutMs);
}

void RawShareClient::Close() {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
}

bool RawShareClient::Send(const void* bytes, std::size_t size, int timeoutMs) {
    pollfd p{fd_, POLLOUT, 0};
    if (fd_ < 0 || poll(&p, 1, timeoutMs) != 1) {
        return false;
    }
    return send(fd_, bytes, size, MSG_NOSIGNAL) == static_cast<ssize_t>(size);
}

bool RawShareClient::SendHeader(std::int32_t type) {
    const ShareHeader header{kShareMagic, type, 0};
    return Send(&header, sizeof header);
}

std::optional<std::vector<std::uint8_t>> RawShareClient::Receive(int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    if (fd_ < 0 || poll(&p, 1, timeoutMs) != 1) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> message(65536);
    const ssize_t n = recv(fd_, message.data(), message.size(), 0);
    message.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return message;
}

void RawShareClient::SetReceiveBuffer(int bytes) {
    setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

int OpenFdCount() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') {
                ++count;
            }
        }
        closedir(dir);
        --count;  // the directory stream itself
    }
    return count;
}

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

ShareProcess StartReliabilityPeer(const std::string& script) {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    self[n > 0 ? n : 0] = '\0';
    return ShareProcess(self, {}, {"KORVANE_RELIABILITY_PEER=" + script});
}

}  // namespace korvane::test

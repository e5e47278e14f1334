#include "tests/reliability/ReliabilitySupport.h"

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>
#else
#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <fstream>
#endif

#include <chrono>
#include <cstring>
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

#ifdef _WIN32
namespace {

// Waits for an overlapped operation on the pipe; cancels it when it did not
// end in time. Answers the bytes moved, or -1 (time-out or failure, with
// the end of the stream reported through *ended).
long Finish(HANDLE pipe, OVERLAPPED& ov, BOOL started, int timeoutMs, bool* ended) {
    const auto failed = [ended](DWORD error) {
        *ended = error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED ||
                 error == ERROR_NO_DATA;
        return -1L;
    };
    if (!started && ::GetLastError() != ERROR_IO_PENDING) {
        return failed(::GetLastError());
    }
    if (!started &&
        ::WaitForSingleObject(ov.hEvent, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
        ::CancelIoEx(pipe, &ov);
    }
    DWORD n = 0;
    if (!::GetOverlappedResult(pipe, &ov, &n, TRUE)) {
        return failed(::GetLastError());
    }
    return static_cast<long>(n);
}

struct Overlapped {
    OVERLAPPED ov{};
    Overlapped() { ov.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr); }
    ~Overlapped() { ::CloseHandle(ov.hEvent); }
    Overlapped(const Overlapped&) = delete;
    Overlapped& operator=(const Overlapped&) = delete;
};

}  // namespace

bool RawShareClient::Connect(const std::string& shareName, int timeoutMs) {
    Close();
    const std::string path = platform::ObjectPath(platform::ObjectKind::Pipe, shareName);
    return Eventually(
        [&] {
            HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
            if (h == INVALID_HANDLE_VALUE) {
                return false;
            }
            DWORD mode = PIPE_READMODE_MESSAGE;
            if (!::SetNamedPipeHandleState(h, &mode, nullptr, nullptr)) {
                ::CloseHandle(h);
                return false;
            }
            pipe_ = h;
            return true;
        },
        timeoutMs);
}

void RawShareClient::Close() {
    if (pipe_ != nullptr) {
        ::CloseHandle(static_cast<HANDLE>(pipe_));
        pipe_ = nullptr;
    }
}

bool RawShareClient::Send(const void* bytes, std::size_t size, int timeoutMs) {
    if (pipe_ == nullptr) {
        return false;
    }
    HANDLE pipe = static_cast<HANDLE>(pipe_);
    Overlapped op;
    const BOOL started = ::WriteFile(pipe, bytes, static_cast<DWORD>(size), nullptr, &op.ov);
    bool ended = false;
    return Finish(pipe, op.ov, started, timeoutMs, &ended) == static_cast<long>(size);
}

bool RawShareClient::SendHeader(std::int32_t type) {
    const ShareHeader header{kShareMagic, type, 0};
    return Send(&header, sizeof header);
}

std::optional<std::vector<std::uint8_t>> RawShareClient::Receive(int timeoutMs) {
    if (pipe_ == nullptr) {
        return std::nullopt;
    }
    HANDLE pipe = static_cast<HANDLE>(pipe_);
    std::vector<std::uint8_t> message(65536);
    Overlapped op;
    const BOOL started =
        ::ReadFile(pipe, message.data(), static_cast<DWORD>(message.size()), nullptr, &op.ov);
    bool ended = false;
    const long n = Finish(pipe, op.ov, started, timeoutMs, &ended);
    if (n < 0) {
        if (ended) {
            return std::vector<std::uint8_t>{};
        }
        return std::nullopt;
    }
    message.resize(static_cast<std::size_t>(n));
    return message;
}

void RawShareClient::SetReceiveBuffer(int /*bytes*/) {
    // The server sizes a Windows pipe's buffers; a client cannot shrink
    // them, so a stalled client simply takes more messages to fill it.
}

int OpenFdCount() {
    DWORD count = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &count);
    return static_cast<int>(count);
}

long ResidentKb() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)) {
        return -1;
    }
    return static_cast<long>(counters.WorkingSetSize / 1024);
}

#else

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

#endif

ShareProcess StartReliabilityPeer(const std::string& script) {
    return StartThisProgram("KORVANE_RELIABILITY_PEER=" + script);
}

}  // namespace korvane::test

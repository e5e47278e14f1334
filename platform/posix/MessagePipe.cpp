#include "platform/MessagePipe.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/NamedObjects.h"
#include "platform/SystemError.h"
#include "platform/posix/ObjectFiles.h"

namespace korvane::platform {
namespace {

using posix::FileHandle;

constexpr int kListenBacklog = 8;

struct Operation {
    bool pending = false;
    Event* done = nullptr;
    void* buffer = nullptr;
    std::size_t count = 0;
    std::size_t bytes = 0;
    ErrorCode error = kErrorSuccess;
};

bool FillAddress(const std::string& path, sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        SetLastError(kErrorFilenameTooLong);
        return false;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

int NewSocket() {
    return socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
}

// True when the other end of a connection has closed.
bool PeerHungUp(int fd) {
    pollfd p{fd, POLLRDHUP, 0};
    return poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLRDHUP | POLLERR)) != 0;
}

// Serialises the servers' check-and-bind of a pipe name, so two servers
// replacing the same stale socket cannot both win.
FileHandle LockPipeNames() {
    const std::string path = RuntimeDirectory() + "/pipe.lock";
    FileHandle fd(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (fd.Valid()) {
        while (flock(fd.Get(), LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    return fd;
}

}  // namespace

// The I/O thread waits in epoll for exactly the operations that are
// pending: each descriptor is armed one-shot with the events its pending
// operations need when they go pending, and disarmed by the event that
// fires. Starting an operation thus costs one epoll_ctl instead of waking
// the thread to change what it polls, and a descriptor the thread does not
// wait for can be dropped without stopping it: every event carries the
// connection's generation, and one of an earlier connection is ignored.
enum : std::uint64_t { kWakeTag = 0, kListenTag = 1, kConnTag = 2, kTagBits = 2 };

struct MessagePipe::Impl {
    std::mutex mutex;
    FileHandle listenFd;
    FileHandle connFd;
    FileHandle wakeFd;  // only to end the thread
    FileHandle epollFd;
    std::thread io;
    bool quit = false;
    std::uint64_t generation = 0;  // of connFd
    bool server = false;
    bool peerGone = false;
    bool waitingReader = false;  // reads are completed in WaitRead, not by the thread
    std::string path;
    dev_t pathDev = 0;
    ino_t pathIno = 0;
    Operation connect;
    Operation read;
    Operation write;

    void Wake() {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(wakeFd.Get(), &one, sizeof one);
    }

    void Watch(int op, int fd, std::uint32_t events, std::uint64_t tag) {
        epoll_event ev{};
        ev.events = events;
        ev.data.u64 = tag;
        epoll_ctl(epollFd.Get(), op, fd, &ev);
    }
    std::uint64_t ConnTag() const { return (generation << kTagBits) | kConnTag; }

    // Arms the descriptors for what is pending on them now.
    void ArmListen() {
        if (connect.pending && listenFd.Valid() && epollFd.Valid()) {
            Watch(EPOLL_CTL_MOD, listenFd.Get(), EPOLLIN | EPOLLONESHOT, kListenTag);
        }
    }
    void ArmConn() {
        const std::uint32_t events = (read.pending && !waitingReader ? EPOLLIN | EPOLLRDHUP : 0u) |
                                     (write.pending ? EPOLLOUT : 0u);
        if (events != 0 && connFd.Valid() && epollFd.Valid()) {
            Watch(EPOLL_CTL_MOD, connFd.Get(), events | EPOLLONESHOT, ConnTag());
        }
    }

    // Takes a new connection; it is watched, disarmed, from now on.
    void Adopt(int fd) {
        DropConnection();
        connFd.Reset(fd);
        ++generation;
        peerGone = false;
        if (epollFd.Valid()) {
            Watch(EPOLL_CTL_ADD, fd, EPOLLONESHOT, ConnTag());
        }
    }
    void DropConnection() {
        if (connFd.Valid()) {
            if (epollFd.Valid()) {
                epoll_ctl(epollFd.Get(), EPOLL_CTL_DEL, connFd.Get(), nullptr);
            }
            connFd.Reset();
            ++generation;
        }
    }

    static void Finish(Operation& op, ErrorCode error, std::size_t bytes) {
        op.pending = false;
        op.error = error;
        op.bytes = bytes;
    }
    static void End(Operation& op, ErrorCode error) {
        if (op.pending) {
            Finish(op, error, 0);
            if (op.done != nullptr) {
                op.done->Set();
            }
        }
    }

    // Each attempt answers true when the operation has finished, with its
    // outcome recorded; false when it has to wait for the socket.
    bool AttemptAccept() {
        const int fd = accept4(listenFd.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            Adopt(fd);
            Finish(connect, kErrorSuccess, 0);
            return true;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNABORTED) {
            return false;
        }
        Finish(connect, ErrorFromErrno(errno), 0);
        return true;
    }

    bool AttemptRead() {
        iovec iov{read.buffer, read.count};
        msghdr msg{};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        const ssize_t n = recvmsg(connFd.Get(), &msg, MSG_DONTWAIT);
        if (n > 0) {
            Finish(read, (msg.msg_flags & MSG_TRUNC) != 0 ? kErrorMoreData : kErrorSuccess,
                   static_cast<std::size_t>(n));
            return true;
        }
        if (n == 0) {
            // End of stream, or an empty message from a live peer.
            if (read.count > 0 && PeerHungUp(connFd.Get())) {
                peerGone = true;
                Finish(read, kErrorBrokenPipe, 0);
            } else {
                Finish(read, kErrorSuccess, 0);
            }
            return true;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
            return false;
        }
        if (errno == ECONNRESET || errno == EPIPE) {
            peerGone = true;
        }
        Finish(read, ErrorFromErrno(errno), 0);
        return true;
    }

    bool AttemptWrite() {
        const ssize_t n =
            send(connFd.Get(), write.buffer, write.count, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n >= 0) {
            Finish(write, kErrorSuccess, static_cast<std::size_t>(n));
            return true;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
            return false;
        }
        if (errno == ECONNRESET || errno == EPIPE) {
            peerGone = true;
        }
        Finish(write, ErrorFromErrno(errno), 0);
        return true;
    }

    void Loop() {
        for (;;) {
            epoll_event events[4];
            const int n = epoll_wait(epollFd.Get(), events, 4, -1);
            std::lock_guard lock(mutex);
            if (quit) {
                return;
            }
            for (int i = 0; i < n; ++i) {
                const std::uint64_t tag = events[i].data.u64;
                if (tag == kListenTag) {
                    if (connect.pending && listenFd.Valid() && AttemptAccept()) {
                        connect.done->Set();
                    }
                    ArmListen();
                } else if (tag == ConnTag() && connFd.Valid()) {
                    if (read.pending && !waitingReader && AttemptRead()) {
                        read.done->Set();
                    }
                    if (write.pending && connFd.Valid() && AttemptWrite()) {
                        write.done->Set();
                    }
                    ArmConn();
                }
                // Anything else is the end signal (checked above) or an
                // event of a connection dropped meanwhile.
            }
        }
    }

    bool StartThread() {
        wakeFd.Reset(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
        epollFd.Reset(epoll_create1(EPOLL_CLOEXEC));
        if (!wakeFd.Valid() || !epollFd.Valid()) {
            SetLastErrorFromErrno(errno);
            wakeFd.Reset();
            epollFd.Reset();
            return false;
        }
        Watch(EPOLL_CTL_ADD, wakeFd.Get(), EPOLLIN, kWakeTag);
        if (listenFd.Valid()) {
            Watch(EPOLL_CTL_ADD, listenFd.Get(), EPOLLONESHOT, kListenTag);
        }
        if (connFd.Valid()) {
            Watch(EPOLL_CTL_ADD, connFd.Get(), EPOLLONESHOT, ConnTag());
        }
        quit = false;
        io = std::thread([this] { Loop(); });
        return true;
    }

    // Starts an operation that may finish at once or later.
    bool Start(Operation& op, void* buffer, std::size_t count, Event& done,
               bool (Impl::*attempt)()) {
        if (!connFd.Valid()) {
            SetLastError(server ? kErrorPipeNotConnected : kErrorInvalidHandle);
            return false;
        }
        if (op.pending) {
            SetLastError(kErrorBusy);
            return false;
        }
        done.Reset();
        op = Operation{false, &done, buffer, count, 0, kErrorSuccess};
        if ((this->*attempt)()) {
            if (op.error == kErrorSuccess || op.error == kErrorMoreData) {
                // A cut message still delivered its first bytes.
                done.Set();
            }
            SetLastError(op.error);
            return op.error == kErrorSuccess;
        }
        op.pending = true;
        ArmConn();
        SetLastError(kErrorIoPending);
        return false;
    }

    static bool Result(const Operation& op, std::size_t& bytes) {
        if (op.pending) {
            SetLastError(kErrorIoIncomplete);
            return false;
        }
        bytes = op.bytes;
        SetLastError(op.error);
        return op.error == kErrorSuccess;
    }
};

MessagePipe::MessagePipe() : impl_(std::make_unique<Impl>()) {}

MessagePipe::~MessagePipe() {
    Close();
}

bool MessagePipe::Create(const std::string& name) {
    Close();
    if (!CheckObjectName(name, ObjectKind::Pipe) || !posix::PrepareFolder(ObjectKind::Pipe, true)) {
        return false;
    }
    const std::string path = ObjectPath(ObjectKind::Pipe, name);
    sockaddr_un addr{};
    if (!FillAddress(path, addr)) {
        return false;
    }
    FileHandle names = LockPipeNames();
    if (!names.Valid()) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            SetLastError(kErrorAccessDenied);
            return false;
        }
        FileHandle probe(NewSocket());
        if (!probe.Valid()) {
            SetLastErrorFromErrno(errno);
            return false;
        }
        const int rc = connect(probe.Get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
        if (rc == 0 || errno == EAGAIN) {
            SetLastError(kErrorPipeBusy);
            return false;
        }
        if (errno == ECONNREFUSED) {
            unlink(path.c_str());  // left by a server that died
        }
    }
    FileHandle fd(NewSocket());
    if (!fd.Valid() || bind(fd.Get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(fd.Get(), kListenBacklog) != 0 || lstat(path.c_str(), &st) != 0) {
        SetLastErrorFromErrno(errno == EADDRINUSE ? EEXIST : errno);
        return false;
    }
    std::lock_guard lock(impl_->mutex);
    impl_->listenFd = std::move(fd);
    impl_->server = true;
    impl_->path = path;
    impl_->pathDev = st.st_dev;
    impl_->pathIno = st.st_ino;
    if (!impl_->StartThread()) {
        impl_->listenFd.Reset();
        unlink(path.c_str());
        return false;
    }
    SetLastError(kErrorSuccess);
    return true;
}

bool MessagePipe::Open(const std::string& name) {
    Close();
    if (!CheckObjectName(name, ObjectKind::Pipe) ||
        !posix::PrepareFolder(ObjectKind::Pipe, false)) {
        return false;
    }
    sockaddr_un addr{};
    if (!FillAddress(ObjectPath(ObjectKind::Pipe, name), addr)) {
        return false;
    }
    FileHandle fd(NewSocket());
    if (!fd.Valid()) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    if (connect(fd.Get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        SetLastError(errno == EAGAIN ? kErrorPipeBusy : ErrorFromErrno(errno));
        return false;
    }
    std::lock_guard lock(impl_->mutex);
    impl_->connFd = std::move(fd);
    ++impl_->generation;
    impl_->server = false;
    impl_->peerGone = false;
    if (!impl_->StartThread()) {
        impl_->connFd.Reset();
        return false;
    }
    SetLastError(kErrorSuccess);
    return true;
}

bool MessagePipe::IsOpen() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->listenFd.Valid() || impl_->connFd.Valid();
}

bool MessagePipe::Connect(Event& done) {
    Impl& p = *impl_;
    std::lock_guard lock(p.mutex);
    if (!p.server || !p.listenFd.Valid()) {
        SetLastError(kErrorInvalidHandle);
        return false;
    }
    if (p.connFd.Valid()) {
        if (p.peerGone || PeerHungUp(p.connFd.Get())) {
            SetLastError(kErrorNoData);
        } else {
            done.Set();
            SetLastError(kErrorPipeConnected);
        }
        return false;
    }
    if (p.connect.pending) {
        SetLastError(kErrorIoPending);
        return false;
    }
    done.Reset();
    p.connect = Operation{false, &done, nullptr, 0, 0, kErrorSuccess};
    if (p.AttemptAccept()) {
        if (p.connect.error != kErrorSuccess) {
            SetLastError(p.connect.error);
            return false;
        }
        done.Set();
        SetLastError(kErrorPipeConnected);
        return false;
    }
    p.connect.pending = true;
    p.ArmListen();
    SetLastError(kErrorIoPending);
    return false;
}

bool MessagePipe::Read(void* buffer, std::size_t count, Event& done) {
    std::lock_guard lock(impl_->mutex);
    return impl_->Start(impl_->read, buffer, count, done, &Impl::AttemptRead);
}

bool MessagePipe::Write(const void* buffer, std::size_t count, Event& done) {
    std::lock_guard lock(impl_->mutex);
    // send() only reads the buffer; the operation record is shared with reads.
    return impl_->Start(impl_->write, const_cast<void*>(buffer), count, done, &Impl::AttemptWrite);
}

void MessagePipe::UseWaitingReader() {
    std::lock_guard lock(impl_->mutex);
    impl_->waitingReader = true;
}

bool MessagePipe::WaitRead(Event& done, int timeoutMs) {
    Impl& p = *impl_;
    const auto start = std::chrono::steady_clock::now();
    std::unique_lock lock(p.mutex);
    if (!p.waitingReader) {
        lock.unlock();
        return done.Wait(timeoutMs);
    }
    for (;;) {
        // Finished (or ended by Cancel, Disconnect or Close) meanwhile.
        if (!p.read.pending) {
            return done.IsSet();
        }
        if (!p.connFd.Valid()) {
            return false;
        }
        if (p.AttemptRead()) {
            p.read.done->Set();
            return true;
        }
        int waitMs = kInfinite;
        if (timeoutMs >= 0) {
            const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now() - start)
                                     .count();
            if (elapsed >= timeoutMs) {
                return false;
            }
            waitMs = static_cast<int>(timeoutMs - elapsed);
        }
        // Only this thread reads the socket, so it may wait on it unlocked;
        // Close and Disconnect reset the descriptor under the lock, which is
        // checked again before the next read.
        pollfd waitFor{p.connFd.Get(), static_cast<short>(POLLIN | POLLRDHUP), 0};
        lock.unlock();
        poll(&waitFor, 1, waitMs);
        lock.lock();
    }
}

bool MessagePipe::ReadResult(std::size_t& bytes) {
    std::lock_guard lock(impl_->mutex);
    return Impl::Result(impl_->read, bytes);
}

bool MessagePipe::WriteResult(std::size_t& bytes) {
    std::lock_guard lock(impl_->mutex);
    return Impl::Result(impl_->write, bytes);
}

void MessagePipe::Disconnect() {
    Impl& p = *impl_;
    std::lock_guard lock(p.mutex);
    if (!p.server || !p.connFd.Valid()) {
        return;
    }
    Impl::End(p.read, kErrorPipeNotConnected);
    Impl::End(p.write, kErrorPipeNotConnected);
    p.DropConnection();
    p.peerGone = false;
}

bool MessagePipe::Cancel() {
    Impl& p = *impl_;
    std::lock_guard lock(p.mutex);
    Impl::End(p.connect, kErrorOperationAborted);
    Impl::End(p.read, kErrorOperationAborted);
    Impl::End(p.write, kErrorOperationAborted);
    return true;
}

void MessagePipe::Close() {
    Impl& p = *impl_;
    std::unique_lock lock(p.mutex);
    if (p.io.joinable()) {
        p.quit = true;
        p.Wake();
        lock.unlock();
        p.io.join();
        lock.lock();
    }
    Impl::End(p.connect, kErrorOperationAborted);
    Impl::End(p.read, kErrorOperationAborted);
    Impl::End(p.write, kErrorOperationAborted);
    p.DropConnection();
    p.wakeFd.Reset();
    p.epollFd.Reset();
    if (p.listenFd.Valid()) {
        p.listenFd.Reset();
        // Free the name unless another server has taken it over meanwhile.
        FileHandle names = LockPipeNames();
        struct stat st {};
        if (lstat(p.path.c_str(), &st) == 0 && st.st_dev == p.pathDev && st.st_ino == p.pathIno) {
            unlink(p.path.c_str());
        }
    }
    p.server = false;
    p.peerGone = false;
    p.path.clear();
}

}  // namespace korvane::platform

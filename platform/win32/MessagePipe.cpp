#include "platform/MessagePipe.h"

#include "platform/NamedObjects.h"
#include "platform/SystemError.h"
#include "platform/win32/WinHandle.h"

namespace korvane::platform {
namespace {

constexpr DWORD kBufferSize = 4096;
constexpr DWORD kMaxInstances = PIPE_UNLIMITED_INSTANCES;

// One overlapped operation: its record, whether the system may still be
// using the record and buffer, and the event its completion signals.
struct Operation {
    OVERLAPPED ov{};
    bool started = false;
    bool restDropped = false;  // a read's overlong message was dealt with

    void Begin(Event& done) {
        ov = OVERLAPPED{};
        ov.hEvent = static_cast<HANDLE>(done.NativeHandle());
        started = true;
        restDropped = false;
    }
};

}  // namespace

struct MessagePipe::Impl {
    HANDLE pipe = INVALID_HANDLE_VALUE;
    bool server = false;
    Operation connect;
    Operation read;
    Operation write;

    // Waits until the system is done with an operation's record and buffer
    // (after it completed, failed or was cancelled). Its event is then set.
    void Settle(Operation& op) {
        if (op.started) {
            DWORD bytes = 0;
            ::GetOverlappedResult(pipe, &op.ov, &bytes, TRUE);
            op.started = false;
        }
    }

    bool Pending(const Operation& op) const {
        return op.started && !HasOverlappedIoCompleted(&op.ov);
    }

    // Starts a read or write; the Win32 rules for the result carry over.
    template <typename Call>
    bool Start(Operation& op, Event& done, Call call) {
        if (pipe == INVALID_HANDLE_VALUE) {
            ::SetLastError(ERROR_INVALID_HANDLE);
            return false;
        }
        if (Pending(op)) {
            ::SetLastError(ERROR_BUSY);
            return false;
        }
        op.started = false;
        op.Begin(done);
        if (call(&op.ov)) {
            return true;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_IO_PENDING && error != ERROR_MORE_DATA) {
            op.started = false;  // nothing was queued
        }
        ::SetLastError(error);
        return false;
    }

    bool Result(Operation& op, std::size_t& bytes) {
        if (!op.started) {
            ::SetLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
        DWORD n = 0;
        const BOOL ok = ::GetOverlappedResult(pipe, &op.ov, &n, FALSE);
        const DWORD error = ::GetLastError();
        if (ok || error != ERROR_IO_INCOMPLETE) {
            bytes = n;
        }
        ::SetLastError(ok ? ERROR_SUCCESS : error);
        return ok != FALSE;
    }

    // Message mode leaves the rest of a message longer than the read in the
    // pipe, where the next read would take it for a message of its own (and
    // a tail that looks like a request would be served). It is read and
    // dropped here: each read takes one whole message, as on POSIX.
    void DropRestOfMessage() {
        HANDLE event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (event == nullptr) {
            return;
        }
        char scratch[4096];
        for (;;) {
            OVERLAPPED ov{};
            ov.hEvent = event;
            DWORD n = 0;
            BOOL ok = ::ReadFile(pipe, scratch, sizeof scratch, nullptr, &ov);
            DWORD error = ok ? ERROR_SUCCESS : ::GetLastError();
            if (!ok && error == ERROR_IO_PENDING) {
                // The writer is still handing over the message; a second is
                // plenty, and a stalled writer must not hold the reader.
                if (::WaitForSingleObject(event, 1000) != WAIT_OBJECT_0) {
                    ::CancelIoEx(pipe, &ov);
                }
                ok = ::GetOverlappedResult(pipe, &ov, &n, TRUE);
                error = ok ? ERROR_SUCCESS : ::GetLastError();
            }
            if (ok || error != ERROR_MORE_DATA) {
                break;
            }
        }
        ::CloseHandle(event);
    }

    // After a read that failed: when it was cut short (ERROR_MORE_DATA),
    // drops the rest of its message once (asked again, the same read must
    // not drop the next message). The error stays the caller's to see.
    void DropRestIfCut() {
        if (::GetLastError() != ERROR_MORE_DATA || read.restDropped) {
            return;
        }
        DropRestOfMessage();
        read.restDropped = true;
        ::SetLastError(ERROR_MORE_DATA);
    }

    void CancelAll() {
        if (pipe != INVALID_HANDLE_VALUE) {
            ::CancelIoEx(pipe, nullptr);
            Settle(connect);
            Settle(read);
            Settle(write);
        }
    }
};

MessagePipe::MessagePipe() : impl_(std::make_unique<Impl>()) {}

MessagePipe::~MessagePipe() {
    Close();
}

bool MessagePipe::Create(const std::string& name) {
    Close();
    if (!CheckObjectName(name, ObjectKind::Pipe)) {
        return false;
    }
    const std::string path = ObjectPath(ObjectKind::Pipe, name);
    // Some Win32 implementations (Wine) ignore the first-instance flag below;
    // a name with a live instance answers anything but "not found" here.
    if (::WaitNamedPipeA(path.c_str(), 1) || ::GetLastError() != ERROR_FILE_NOT_FOUND) {
        ::SetLastError(ERROR_PIPE_BUSY);
        return false;
    }
    // The first instance only: a second server under a live name is refused
    // rather than sharing the clients with the first.
    HANDLE h = ::CreateNamedPipeA(
        path.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
        kMaxInstances, kBufferSize, kBufferSize, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        ::SetLastError(error == ERROR_ACCESS_DENIED ? ERROR_PIPE_BUSY : error);
        return false;
    }
    impl_->pipe = h;
    impl_->server = true;
    ::SetLastError(ERROR_SUCCESS);
    return true;
}

bool MessagePipe::Open(const std::string& name) {
    Close();
    if (!CheckObjectName(name, ObjectKind::Pipe)) {
        return false;
    }
    const std::string path = ObjectPath(ObjectKind::Pipe, name);
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD mode = PIPE_READMODE_MESSAGE;
    if (!::SetNamedPipeHandleState(h, &mode, nullptr, nullptr)) {
        const DWORD error = ::GetLastError();
        ::CloseHandle(h);
        ::SetLastError(error);
        return false;
    }
    impl_->pipe = h;
    impl_->server = false;
    ::SetLastError(ERROR_SUCCESS);
    return true;
}

bool MessagePipe::IsOpen() const {
    return impl_->pipe != INVALID_HANDLE_VALUE;
}

bool MessagePipe::Connect(Event& done) {
    Impl& p = *impl_;
    if (p.pipe == INVALID_HANDLE_VALUE || !p.server) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (p.Pending(p.connect)) {
        ::SetLastError(ERROR_BUSY);
        return false;
    }
    p.connect.Begin(done);
    if (::ConnectNamedPipe(p.pipe, &p.connect.ov)) {
        return true;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_IO_PENDING) {
        p.connect.started = false;
    }
    if (error == ERROR_PIPE_CONNECTED) {
        // The client came between Create (or Disconnect) and now; nothing
        // completes later, so say so on the event.
        done.Set();
    }
    ::SetLastError(error);
    return false;
}

bool MessagePipe::Read(void* buffer, std::size_t count, Event& done) {
    const bool ok = impl_->Start(impl_->read, done, [&](OVERLAPPED* ov) {
        return ::ReadFile(impl_->pipe, buffer, static_cast<DWORD>(count), nullptr, ov) != FALSE;
    });
    if (!ok) {
        impl_->DropRestIfCut();
    }
    return ok;
}

bool MessagePipe::Write(const void* buffer, std::size_t count, Event& done) {
    return impl_->Start(impl_->write, done, [&](OVERLAPPED* ov) {
        return ::WriteFile(impl_->pipe, buffer, static_cast<DWORD>(count), nullptr, ov) != FALSE;
    });
}

bool MessagePipe::ReadResult(std::size_t& bytes) {
    const bool ok = impl_->Result(impl_->read, bytes);
    if (!ok) {
        impl_->DropRestIfCut();
    }
    return ok;
}

bool MessagePipe::WriteResult(std::size_t& bytes) {
    return impl_->Result(impl_->write, bytes);
}

void MessagePipe::Disconnect() {
    Impl& p = *impl_;
    if (p.pipe == INVALID_HANDLE_VALUE || !p.server) {
        return;
    }
    // No flush first: a client that stopped reading would hold the caller
    // here for ever. Pending operations end with 233 and are waited for, so
    // their buffers are free when this returns.
    ::DisconnectNamedPipe(p.pipe);
    for (Operation* op : {&p.read, &p.write, &p.connect}) {
        if (p.Pending(*op) && ::WaitForSingleObject(op->ov.hEvent, 1000) != WAIT_OBJECT_0) {
            ::CancelIoEx(p.pipe, &op->ov);
        }
    }
    p.Settle(p.connect);
    p.Settle(p.read);
    p.Settle(p.write);
}

bool MessagePipe::Cancel() {
    Impl& p = *impl_;
    if (p.pipe == INVALID_HANDLE_VALUE) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    const BOOL ok = ::CancelIoEx(p.pipe, nullptr);
    const DWORD error = ::GetLastError();
    // Wait for the cancelled operations so their events are set on return.
    for (Operation* op : {&p.connect, &p.read, &p.write}) {
        if (op->started) {
            DWORD bytes = 0;
            ::GetOverlappedResult(p.pipe, &op->ov, &bytes, TRUE);
        }
    }
    // Nothing pending is not a failure of the caller's intent.
    if (!ok && error == ERROR_NOT_FOUND) {
        ::SetLastError(ERROR_SUCCESS);
        return true;
    }
    ::SetLastError(ok ? ERROR_SUCCESS : error);
    return ok != FALSE;
}

void MessagePipe::Close() {
    Impl& p = *impl_;
    if (p.pipe == INVALID_HANDLE_VALUE) {
        return;
    }
    if (p.server) {
        ::DisconnectNamedPipe(p.pipe);
    }
    p.CancelAll();
    ::CloseHandle(p.pipe);
    p.pipe = INVALID_HANDLE_VALUE;
    p.server = false;
}

}  // namespace korvane::platform

#pragma once
// One end of the share's message-mode pipe with overlapped operations:
// Connect, Read and Write start their I/O and hand back the event that
// signals its completion, so one thread can wait for pipe traffic and its
// own events together. Failures throw Win32Exception.
#include <cstdint>
#include <string>

#include "platform/Event.h"
#include "platform/MessagePipe.h"

namespace korvane {

class NamedPipe {
  public:
    static constexpr std::uint32_t kBufferSize = 4096;

    NamedPipe();
    ~NamedPipe();
    NamedPipe(const NamedPipe&) = delete;
    NamedPipe& operator=(const NamedPipe&) = delete;

    // Server end under the name.
    void Create(const std::string& name);
    // Client end of the server listening under the name (2 when none).
    void Open(const std::string& name);

    // Starts waiting for a client; the event is set once one is connected
    // (at once when a client was already waiting).
    platform::Event& Connect();
    // Drops the client of a connected server end. Never throws.
    void Disconnect();
    // Disconnects and gives up the end. Never throws; repeatable.
    void Close();

    // One message each. The buffer must stay valid and unchanged until the
    // event is signalled or the I/O is cancelled.
    platform::Event& Read(void* buffer, std::uint32_t count);
    platform::Event& Write(const void* buffer, std::uint32_t count);
    // For a client that waits for nothing but its reads: a read is then
    // completed by the thread waiting in WaitRead (see MessagePipe).
    void UseWaitingReader() { pipe_.UseWaitingReader(); }
    // Waits for the outstanding read up to timeoutMs; true once it is done.
    bool WaitRead(int timeoutMs) { return pipe_.WaitRead(readEvent_, timeoutMs); }
    // After a read's or write's event: the bytes moved. Throws when the
    // operation failed (kErrorBrokenPipe when the other end has gone,
    // kErrorMoreData for a message longer than the read buffer).
    std::uint32_t ReadResult();
    std::uint32_t WriteResult();

    // Ends the outstanding I/O of this end; their events are set.
    bool Cancel();

    bool IsValid() const { return pipe_.IsOpen(); }
    bool IsConnected() const { return connected_; }
    const std::string& Name() const { return name_; }
    // Where the pipe lives in the file system (a Unix socket).
    std::string Path() const;
    std::uint32_t BufferSize() const { return bufferSize_; }

    platform::Event& ConnectEvent() { return connectEvent_; }
    platform::Event& ReadEvent() { return readEvent_; }
    platform::Event& WriteEvent() { return writeEvent_; }

  private:
    std::string name_;
    bool connected_ = false;
    std::uint32_t bufferSize_ = kBufferSize;
    // Manual-reset and signalled while nothing is outstanding.
    platform::Event connectEvent_{platform::Event::Mode::ManualReset, true};
    platform::Event readEvent_{platform::Event::Mode::ManualReset, true};
    platform::Event writeEvent_{platform::Event::Mode::ManualReset, true};
    // Declared after the events: it is closed before they go.
    platform::MessagePipe pipe_;
};

}  // namespace korvane

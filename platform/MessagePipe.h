#pragma once
// One end of a local message-mode pipe with overlapped operations: Connect,
// Read and Write only start their work and signal an Event when it is done,
// so a thread can wait for pipe traffic and its own events together
// (Event::WaitAny). Each message keeps its boundaries. One connect, one read
// and one write may be outstanding at a time.
//
// Results follow the Win32 overlapped calls: an operation answers true when
// it finished at once (its event is then set), or false with the last error
// kErrorIoPending when it goes on in the background, or false with another
// error when it failed to start. The error names are those of
// platform/SystemError.h.
#include <cstddef>
#include <memory>
#include <string>

#include "platform/Event.h"
#include "platform/SystemError.h"

namespace korvane::platform {

class MessagePipe {
  public:
    MessagePipe();
    ~MessagePipe();
    MessagePipe(const MessagePipe&) = delete;
    MessagePipe& operator=(const MessagePipe&) = delete;

    // Server end: starts listening under the name. A name left behind by a
    // dead server is taken over; one a live server listens on fails with
    // kErrorPipeBusy. Closes what the object held first.
    bool Create(const std::string& name);
    // Client end: connects to the server listening under the name;
    // kErrorFileNotFound when none does.
    bool Open(const std::string& name);
    bool IsOpen() const;

    // Server: waits for a client. False with kErrorPipeConnected when a client is
    // connected already (done is set then), with kErrorNoData when the
    // connected client has gone and Disconnect was not called yet.
    bool Connect(Event& done);
    // Receives one message into buffer. A longer message is cut to count
    // bytes and its read ends with kErrorMoreData. The buffer must stay valid until
    // done is signalled or the read is cancelled.
    bool Read(void* buffer, std::size_t count, Event& done);
    // Sends count bytes as one message; the same rule for the buffer.
    bool Write(const void* buffer, std::size_t count, Event& done);

    // For an end whose reader waits for nothing but its reads: from now on
    // a read that cannot finish at once is completed by the thread waiting
    // for it in WaitRead, which reads the pipe itself, rather than handed
    // over from a background thread (one thread switch less per message).
    // Such a read finishes only inside WaitRead (or ends with Cancel,
    // Disconnect or Close). Windows completes reads in the kernel: there it
    // changes nothing.
    // Waits up to timeoutMs (kInfinite: no limit) for the outstanding read,
    // whose event is done; true once it has finished (done is set then).
    // After a time-out the read stays outstanding.
#if defined(_WIN32)
    void UseWaitingReader() {}
    bool WaitRead(Event& done, int timeoutMs) {
        return done.Wait(timeoutMs);
    }
#else
    void UseWaitingReader();
    bool WaitRead(Event& done, int timeoutMs);
#endif

    // The outcome of the last read or write, as far as it got: true with the
    // bytes moved when it completed; false with the last error otherwise
    // (kErrorIoIncomplete while still pending, kErrorBrokenPipe when the other
    // end has gone, ...).
    bool ReadResult(std::size_t& bytes);
    bool WriteResult(std::size_t& bytes);

    // Server: drops the connected client; its pending read and write end
    // with kErrorPipeNotConnected. A new Connect may follow.
    void Disconnect();
    // Ends every pending operation with kErrorOperationAborted (their events are set).
    bool Cancel();
    // Drops the connection, ends pending operations and frees the name.
    void Close();

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace korvane::platform

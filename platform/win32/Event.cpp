#include "platform/Event.h"

#include <system_error>
#include <vector>

#include "platform/win32/WinHandle.h"

namespace korvane::platform {

Event::Event(Mode mode, bool initiallySignalled) : mode_(mode), signalled_(false) {
    handle_ = ::CreateEventA(nullptr, mode == Mode::ManualReset ? TRUE : FALSE,
                             initiallySignalled ? TRUE : FALSE, nullptr);
    if (handle_ == nullptr) {
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                                "CreateEvent");
    }
}

Event::~Event() {
    ::CloseHandle(handle_);
}

void Event::Set() {
    ::SetEvent(handle_);
}

void Event::Reset() {
    ::ResetEvent(handle_);
}

void Event::Pulse() {
    ::PulseEvent(handle_);
}

bool Event::IsSet() const {
    if (::WaitForSingleObject(handle_, 0) != WAIT_OBJECT_0) {
        return false;
    }
    // Looking must not take the signal of an auto-reset event.
    if (mode_ == Mode::AutoReset) {
        ::SetEvent(handle_);
    }
    return true;
}

bool Event::Wait(int timeoutMs) {
    return ::WaitForSingleObject(handle_, win32::WaitMs(timeoutMs)) == WAIT_OBJECT_0;
}

int Event::WaitAny(std::span<Event* const> events, int timeoutMs) {
    if (events.empty() || events.size() > MAXIMUM_WAIT_OBJECTS) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return kWaitTimeout;
    }
    std::vector<HANDLE> handles;
    handles.reserve(events.size());
    for (Event* e : events) {
        handles.push_back(e->handle_);
    }
    // With several signalled, the system answers the lowest index.
    const DWORD rc = ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(),
                                              FALSE, win32::WaitMs(timeoutMs));
    if (rc >= WAIT_OBJECT_0 && rc < WAIT_OBJECT_0 + handles.size()) {
        return static_cast<int>(rc - WAIT_OBJECT_0);
    }
    return kWaitTimeout;
}

}  // namespace korvane::platform

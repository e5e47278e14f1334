#include "sharing/NamedPipe.h"

#include "platform/NamedObjects.h"
#include "platform/SystemError.h"
#include "sharing/PlatformReports.h"
#include "sharing/Win32Exception.h"

namespace korvane {

using platform::ErrorCode;

NamedPipe::NamedPipe() = default;

NamedPipe::~NamedPipe() {
    Close();
}

std::string NamedPipe::Path() const {
    return platform::ObjectPath(platform::ObjectKind::Pipe, name_);
}

void NamedPipe::Create(const std::string& name) {
    RoutePlatformReports();
    Close();
    name_ = name;
    if (!pipe_.Create(name)) {
        throw Win32Exception();
    }
}

void NamedPipe::Open(const std::string& name) {
    RoutePlatformReports();
    Close();
    name_ = name;
    if (!pipe_.Open(name)) {
        throw Win32Exception();
    }
}

platform::Event& NamedPipe::Connect() {
    if (!pipe_.Connect(connectEvent_)) {
        const ErrorCode error = platform::LastError();
        if (error != platform::kErrorIoPending && error != platform::kErrorPipeConnected) {
            throw Win32Exception(error);
        }
    }
    connected_ = true;
    return connectEvent_;
}

void NamedPipe::Disconnect() {
    if (connected_) {
        pipe_.Disconnect();
        connected_ = false;
    }
}

void NamedPipe::Close() {
    Disconnect();
    pipe_.Close();
}

platform::Event& NamedPipe::Read(void* buffer, std::uint32_t count) {
    if (!pipe_.Read(buffer, count, readEvent_) &&
        platform::LastError() != platform::kErrorIoPending) {
        throw Win32Exception();
    }
    return readEvent_;
}

platform::Event& NamedPipe::Write(const void* buffer, std::uint32_t count) {
    if (!pipe_.Write(buffer, count, writeEvent_) &&
        platform::LastError() != platform::kErrorIoPending) {
        throw Win32Exception();
    }
    return writeEvent_;
}

std::uint32_t NamedPipe::ReadResult() {
    std::size_t bytes = 0;
    if (!pipe_.ReadResult(bytes)) {
        throw Win32Exception();
    }
    return static_cast<std::uint32_t>(bytes);
}

std::uint32_t NamedPipe::WriteResult() {
    std::size_t bytes = 0;
    if (!pipe_.WriteResult(bytes)) {
        throw Win32Exception();
    }
    return static_cast<std::uint32_t>(bytes);
}

bool NamedPipe::Cancel() {
    return pipe_.Cancel();
}

}  // namespace korvane

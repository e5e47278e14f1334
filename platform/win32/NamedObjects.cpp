#include "platform/NamedObjects.h"

#include <atomic>
#include <cstdio>

#include "platform/SystemError.h"
#include "platform/win32/Report.h"

namespace korvane::platform {
namespace {

std::atomic<ReportProc> reportProc{nullptr};

const char* KindName(ObjectKind kind) {
    switch (kind) {
        case ObjectKind::Mapping:
            return "file mapping";
        case ObjectKind::Mutex:
            return "mutex";
        case ObjectKind::Event:
            return "event";
        case ObjectKind::Pipe:
            return "pipe";
    }
    return "object";
}

}  // namespace

namespace win32 {
void Report(const std::string& text) {
    if (ReportProc proc = reportProc.load()) {
        proc(text.c_str());
    }
}
}  // namespace win32

void SetReportProc(ReportProc proc) {
    reportProc.store(proc);
}

bool CheckObjectName(const std::string& name, ObjectKind kind) {
    const char* why = nullptr;
    ErrorCode error = kErrorInvalidName;
    if (name.empty()) {
        why = "the name is empty";
    } else if (name.size() > kMaxObjectName) {
        why = "the name is too long";
        error = kErrorFilenameTooLong;
    } else if (name.find('\0') != std::string::npos) {
        why = "the name holds a NUL byte";
    } else if (name.find_first_of("/\\") != std::string::npos) {
        // A backslash would reach another namespace (Global\, Session\...).
        why = "the name holds a slash or backslash";
    } else if (name == "." || name == "..") {
        why = "the name is a directory reference";
    }
    if (why == nullptr) {
        return true;
    }
    std::string shown = name.substr(0, 64);
    for (char& c : shown) {
        if (c == '\0') {
            c = '?';
        }
    }
    win32::Report(std::string("NamedObjects: ERROR: ") + KindName(kind) + " name '" + shown +
                  "' refused: " + why);
    SetLastError(error);
    return false;
}

// Kernel objects live in the namespace of the user's logon session; there
// is no directory behind them.
std::string RuntimeDirectory() {
    return "";
}

std::string ObjectPath(ObjectKind kind, const std::string& name) {
    if (kind == ObjectKind::Pipe) {
        return "\\\\.\\pipe\\" + name;
    }
    return name;
}

}  // namespace korvane::platform

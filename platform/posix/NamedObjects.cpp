#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/SystemError.h"
#include "platform/posix/ObjectFiles.h"

namespace korvane::platform {
namespace {

std::atomic<ReportProc> reportProc{nullptr};

const char* KindFolder(ObjectKind kind) {
    switch (kind) {
        case ObjectKind::Mapping:
            return "obj/map";
        case ObjectKind::Mutex:
            return "obj/mutex";
        case ObjectKind::Event:
            return "obj/event";
        case ObjectKind::Pipe:
            return "pipe";
    }
    return "obj/unknown";
}

// Why a directory of the namespace cannot be trusted, or null when it can.
const char* UnsafeReason(const struct stat& st, bool mustBePrivate) {
    if (S_ISLNK(st.st_mode)) {
        return "it is a symbolic link";
    }
    if (!S_ISDIR(st.st_mode)) {
        return "it is not a directory";
    }
    if (st.st_uid != geteuid()) {
        return "it is not owned by this user";
    }
    if (mustBePrivate && (st.st_mode & 077) != 0) {
        return "it is open to group or others";
    }
    return nullptr;
}

// Checks one directory of the namespace and creates it when asked.
bool PrepareDirectory(const std::string& path, bool create, bool mustBePrivate) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) {
        if (errno != ENOENT || !create) {
            SetLastErrorFromErrno(errno);
            return false;
        }
        if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
            const int err = errno;
            posix::Report("NamedObjects: ERROR: cannot create directory %s: %s", path.c_str(),
                          std::strerror(err));
            SetLastErrorFromErrno(err);
            return false;
        }
        if (lstat(path.c_str(), &st) != 0) {
            SetLastErrorFromErrno(errno);
            return false;
        }
    }
    if (const char* why = UnsafeReason(st, mustBePrivate)) {
        posix::Report("NamedObjects: ERROR: runtime directory %s refused: %s", path.c_str(), why);
        SetLastError(kErrorAccessDenied);
        return false;
    }
    return true;
}

}  // namespace

void SetReportProc(ReportProc proc) {
    reportProc.store(proc);
}

std::string RuntimeDirectory() {
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg != nullptr && xdg[0] == '/') {
        std::string dir = xdg;
        while (dir.size() > 1 && dir.back() == '/') {
            dir.pop_back();
        }
        return dir == "/" ? "/korvane" : dir + "/korvane";
    }
    return "/tmp/korvane-" + std::to_string(static_cast<unsigned long>(geteuid()));
}

std::string ObjectPath(ObjectKind kind, const std::string& name) {
    return RuntimeDirectory() + "/" + KindFolder(kind) + "/" + name;
}

bool CheckObjectName(const std::string& name, ObjectKind kind) {
    const char* why = nullptr;
    ErrorCode code = kErrorInvalidName;
    std::string detail;
    if (name.empty()) {
        why = "it is empty";
    } else if (name.find('\0') != std::string::npos) {
        why = "it contains a NUL byte";
    } else if (name.find('/') != std::string::npos) {
        why = "it contains '/'";
    } else if (name == "." || name == "..") {
        why = "it is '.' or '..'";
    } else if (name.size() > kMaxObjectName) {
        why = "it is longer than 200 bytes";
        code = kErrorFilenameTooLong;
    } else if (kind == ObjectKind::Pipe) {
        const std::string path = ObjectPath(kind, name);
        if (path.size() >= sizeof(sockaddr_un::sun_path)) {
            detail = "its socket path would be " + std::to_string(path.size()) +
                     " bytes, longer than 107 bytes";
            why = detail.c_str();
            code = kErrorFilenameTooLong;
        }
    }
    if (why == nullptr) {
        return true;
    }
    posix::Report("NamedObjects: ERROR: object name '%s' refused: %s", name.c_str(), why);
    SetLastError(code);
    return false;
}

namespace posix {

void Report(const char* format, ...) {
    ReportProc proc = reportProc.load();
    if (proc == nullptr) {
        return;
    }
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    proc(text);
}

bool PrepareFolder(ObjectKind kind, bool create) {
    const std::string root = RuntimeDirectory();
    if (!PrepareDirectory(root, create, true)) {
        return false;
    }
    std::string path = root;
    std::string folder = KindFolder(kind);
    // Each level of the kind's folder ("obj", then "obj/map").
    std::size_t start = 0;
    while (start <= folder.size()) {
        const std::size_t slash = folder.find('/', start);
        const std::size_t end = slash == std::string::npos ? folder.size() : slash;
        path += "/" + folder.substr(start, end - start);
        if (!PrepareDirectory(path, create, false)) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

std::size_t PageSize() {
    static const std::size_t size = [] {
        long page = sysconf(_SC_PAGESIZE);
        return page > 0 ? static_cast<std::size_t>(page) : std::size_t{4096};
    }();
    return size;
}

}  // namespace posix
}  // namespace korvane::platform

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/SystemError.h"
#include "platform/posix/ObjectFiles.h"

namespace korvane::platform::posix {
namespace {

constexpr ObjectKind kFileKinds[] = {ObjectKind::Mapping, ObjectKind::Mutex, ObjectKind::Event};

// True when another kind of object holds the name.
bool HeldByOtherKind(ObjectKind kind, const std::string& name) {
    for (ObjectKind other : kFileKinds) {
        struct stat st {};
        if (other != kind && lstat(ObjectPath(other, name).c_str(), &st) == 0) {
            return true;
        }
    }
    return false;
}

enum class OpenOutcome { Opened, Missing, Failed };

// Opens the file at path with a shared lock. A file whose name went away
// while we waited for the lock was removed by its last holder: try again.
OpenOutcome OpenLocked(const std::string& path, FileHandle& out) {
    for (;;) {
        FileHandle fd(open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
        if (!fd.Valid()) {
            if (errno == ENOENT) {
                return OpenOutcome::Missing;
            }
            SetLastErrorFromErrno(errno == ELOOP ? EACCES : errno);
            return OpenOutcome::Failed;
        }
        if (flock(fd.Get(), LOCK_SH) != 0) {
            SetLastErrorFromErrno(errno);
            return OpenOutcome::Failed;
        }
        struct stat st {};
        if (fstat(fd.Get(), &st) != 0) {
            SetLastErrorFromErrno(errno);
            return OpenOutcome::Failed;
        }
        if (st.st_nlink == 0) {
            continue;
        }
        if (!S_ISREG(st.st_mode)) {
            SetLastError(kErrorAccessDenied);
            return OpenOutcome::Failed;
        }
        out = std::move(fd);
        return OpenOutcome::Opened;
    }
}

std::string TempPath() {
    static std::atomic<unsigned> counter{0};
    return RuntimeDirectory() + "/obj/tmp/" + std::to_string(getpid()) + "." +
           std::to_string(counter.fetch_add(1));
}

// Makes the file under a temporary name, fills it and links it into place.
// Answers Opened when it got the name, Missing when someone else was faster.
OpenOutcome CreateLinked(const std::string& path, std::size_t bytes,
                         const ObjectFile::Initialiser& init, FileHandle& out) {
    const std::string tmp = TempPath();
    FileHandle fd(open(tmp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.Valid()) {
        SetLastErrorFromErrno(errno);
        return OpenOutcome::Failed;
    }
    struct Unlinker {
        const std::string& path;
        ~Unlinker() { unlink(path.c_str()); }
    } unlinkTmp{tmp};
    if (ftruncate(fd.Get(), static_cast<off_t>(bytes)) != 0) {
        SetLastErrorFromErrno(errno);
        return OpenOutcome::Failed;
    }
    if (init && !init(fd.Get())) {
        return OpenOutcome::Failed;
    }
    if (flock(fd.Get(), LOCK_SH) != 0) {
        SetLastErrorFromErrno(errno);
        return OpenOutcome::Failed;
    }
    if (link(tmp.c_str(), path.c_str()) != 0) {
        if (errno == EEXIST) {
            return OpenOutcome::Missing;
        }
        SetLastErrorFromErrno(errno);
        return OpenOutcome::Failed;
    }
    out = std::move(fd);
    return OpenOutcome::Opened;
}

bool PrepareTempFolder() {
    const std::string tmp = RuntimeDirectory() + "/obj/tmp";
    if (mkdir(tmp.c_str(), 0700) != 0 && errno != EEXIST) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

}  // namespace

FileHandle::~FileHandle() {
    Reset();
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        Reset(other.Release());
    }
    return *this;
}

void FileHandle::Reset(int fd) {
    if (fd_ >= 0) {
        close(fd_);
    }
    fd_ = fd;
}

std::unique_ptr<ObjectFile> ObjectFile::Create(ObjectKind kind, const std::string& name,
                                               std::size_t bytes, const Initialiser& init) {
    if (!CheckObjectName(name, kind) || !PrepareFolder(kind, true) || !PrepareTempFolder()) {
        return nullptr;
    }
    if (HeldByOtherKind(kind, name)) {
        SetLastError(kErrorInvalidHandle);
        return nullptr;
    }
    const std::string path = ObjectPath(kind, name);
    // Either we open what is there or we link ours in; a creator racing us
    // makes one of the two work on the next round.
    for (;;) {
        FileHandle fd;
        switch (OpenLocked(path, fd)) {
            case OpenOutcome::Opened:
                SetLastError(kErrorAlreadyExists);
                return std::unique_ptr<ObjectFile>(new ObjectFile(std::move(fd), path));
            case OpenOutcome::Failed:
                return nullptr;
            case OpenOutcome::Missing:
                break;
        }
        switch (CreateLinked(path, bytes, init, fd)) {
            case OpenOutcome::Opened:
                SetLastError(kErrorSuccess);
                return std::unique_ptr<ObjectFile>(new ObjectFile(std::move(fd), path));
            case OpenOutcome::Failed:
                return nullptr;
            case OpenOutcome::Missing:
                break;
        }
    }
}

std::unique_ptr<ObjectFile> ObjectFile::Open(ObjectKind kind, const std::string& name) {
    if (!CheckObjectName(name, kind) || !PrepareFolder(kind, false)) {
        return nullptr;
    }
    const std::string path = ObjectPath(kind, name);
    FileHandle fd;
    switch (OpenLocked(path, fd)) {
        case OpenOutcome::Opened:
            SetLastError(kErrorSuccess);
            return std::unique_ptr<ObjectFile>(new ObjectFile(std::move(fd), path));
        case OpenOutcome::Missing:
            SetLastError(HeldByOtherKind(kind, name) ? kErrorInvalidHandle : kErrorFileNotFound);
            return nullptr;
        case OpenOutcome::Failed:
            break;
    }
    return nullptr;
}

ObjectFile::~ObjectFile() {
    // Only the last holder gets the exclusive lock; it removes the name if
    // the name still means this file.
    if (flock(fd_.Get(), LOCK_EX | LOCK_NB) == 0) {
        struct stat mine {};
        struct stat named {};
        if (fstat(fd_.Get(), &mine) == 0 && lstat(path_.c_str(), &named) == 0 &&
            mine.st_dev == named.st_dev && mine.st_ino == named.st_ino) {
            unlink(path_.c_str());
        }
    }
}

std::size_t ObjectFile::Size() const {
    struct stat st {};
    if (fstat(fd_.Get(), &st) != 0) {
        return 0;
    }
    return static_cast<std::size_t>(st.st_size);
}

}  // namespace korvane::platform::posix

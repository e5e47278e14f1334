#include "platform/FileMapping.h"

#include <sys/mman.h>

#include <cerrno>

#include "platform/SystemError.h"
#include "platform/posix/ObjectFiles.h"

namespace korvane::platform {

struct FileMapping::Impl {
    std::unique_ptr<posix::ObjectFile> file;
};

MappedView::~MappedView() {
    munmap(data_, size_);
}

FileMapping::FileMapping(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

FileMapping::~FileMapping() = default;

std::unique_ptr<FileMapping> FileMapping::Create(const std::string& name, std::uint32_t size) {
    const std::size_t page = posix::PageSize();
    std::size_t bytes = (static_cast<std::size_t>(size) + page - 1) / page * page;
    if (bytes == 0) {
        bytes = page;
    }
    auto file = posix::ObjectFile::Create(ObjectKind::Mapping, name, bytes, nullptr);
    if (!file) {
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->file = std::move(file);
    return std::unique_ptr<FileMapping>(new FileMapping(std::move(impl)));
}

std::unique_ptr<FileMapping> FileMapping::Open(const std::string& name) {
    auto file = posix::ObjectFile::Open(ObjectKind::Mapping, name);
    if (!file) {
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->file = std::move(file);
    return std::unique_ptr<FileMapping>(new FileMapping(std::move(impl)));
}

std::unique_ptr<MappedView> FileMapping::MapView() const {
    const std::size_t size = impl_->file->Size();
    if (size == 0) {
        SetLastError(kErrorInvalidData);
        return nullptr;
    }
    const std::size_t page = posix::PageSize();
    const std::size_t region = (size + page - 1) / page * page;
    void* data = mmap(nullptr, region, PROT_READ | PROT_WRITE, MAP_SHARED, impl_->file->Fd(), 0);
    if (data == MAP_FAILED) {
        SetLastErrorFromErrno(errno);
        return nullptr;
    }
    return std::unique_ptr<MappedView>(new MappedView(static_cast<std::uint8_t*>(data), region));
}

}  // namespace korvane::platform

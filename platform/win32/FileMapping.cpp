#include "platform/FileMapping.h"

#include "platform/NamedObjects.h"
#include "platform/SystemError.h"
#include "platform/win32/WinHandle.h"

namespace korvane::platform {

struct FileMapping::Impl {
    win32::Handle mapping;
};

MappedView::~MappedView() {
    if (data_ != nullptr) {
        ::UnmapViewOfFile(data_);
    }
}

FileMapping::FileMapping(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

FileMapping::~FileMapping() = default;

std::unique_ptr<FileMapping> FileMapping::Create(const std::string& name, std::uint32_t size) {
    if (!CheckObjectName(name, ObjectKind::Mapping)) {
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    // Backed by the paging file; the system rounds up to whole pages and
    // zero-fills. A size of 0 is refused by the system, so ask for a byte.
    impl->mapping.Reset(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                             size == 0 ? 1 : size, name.c_str()));
    if (!impl->mapping.Valid()) {
        return nullptr;
    }
    const DWORD opened = ::GetLastError();  // 183 when it existed
    auto result = std::unique_ptr<FileMapping>(new FileMapping(std::move(impl)));
    ::SetLastError(opened);
    return result;
}

std::unique_ptr<FileMapping> FileMapping::Open(const std::string& name) {
    if (!CheckObjectName(name, ObjectKind::Mapping)) {
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->mapping.Reset(::OpenFileMappingA(FILE_MAP_ALL_ACCESS, TRUE, name.c_str()));
    if (!impl->mapping.Valid()) {
        return nullptr;
    }
    return std::unique_ptr<FileMapping>(new FileMapping(std::move(impl)));
}

std::unique_ptr<MappedView> FileMapping::MapView() const {
    void* data = ::MapViewOfFile(impl_->mapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (data == nullptr) {
        return nullptr;
    }
    MEMORY_BASIC_INFORMATION info{};
    if (::VirtualQuery(data, &info, sizeof info) == 0) {
        const DWORD error = ::GetLastError();
        ::UnmapViewOfFile(data);
        ::SetLastError(error);
        return nullptr;
    }
    return std::unique_ptr<MappedView>(
        new MappedView(static_cast<std::uint8_t*>(data), info.RegionSize));
}

}  // namespace korvane::platform

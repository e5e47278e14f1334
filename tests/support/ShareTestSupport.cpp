#include "tests/support/ShareTestSupport.h"

#include <cstdlib>

namespace korvane::test {

ShareRuntimeDir::ShareRuntimeDir() {
    if (const char* old = std::getenv("XDG_RUNTIME_DIR")) {
        previous_ = old;
    }
    setenv("XDG_RUNTIME_DIR", dir_.path().c_str(), 1);
}

ShareRuntimeDir::~ShareRuntimeDir() {
    if (previous_) {
        setenv("XDG_RUNTIME_DIR", previous_->c_str(), 1);
    } else {
        unsetenv("XDG_RUNTIME_DIR");
    }
}

FakeShareSource::FakeShareSource(int width, int height, std::string name, int port)
    : name_(std::move(name)), port_(port), width_(width), height_(height) {}

bool FakeShareSource::ShareGetRow(std::uint8_t* dest, int row, int first, int last) {
    const int width = width_.load();
    const int height = height_.load();
    // The same checks the camera's row delivery makes.
    if (dest == nullptr || row < 0 || row >= height || first >= last || last - first >= width) {
        return false;
    }
    const int span = last - first + 1;
    int seen = largestSpan_.load();
    while (span > seen && !largestSpan_.compare_exchange_weak(seen, span)) {
    }
    const std::uint32_t frame = frame_.load();
    for (int column = first; column <= last; ++column) {
        dest[column - first] = Pixel(frame, row, column);
    }
    if (row == 0) {
        std::lock_guard lock(mutex_);
        ++framesFetched_;
        fetched_.notify_all();
    }
    return true;
}

void FakeShareSource::SetSize(int width, int height) {
    width_.store(width);
    height_.store(height);
}

std::uint64_t FakeShareSource::FramesFetched() const {
    std::lock_guard lock(mutex_);
    return framesFetched_;
}

bool FakeShareSource::WaitFetchedBeyond(std::uint64_t seen, int timeoutMs) {
    std::unique_lock lock(mutex_);
    return fetched_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return framesFetched_ > seen; });
}

}  // namespace korvane::test

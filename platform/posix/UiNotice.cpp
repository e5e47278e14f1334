#include "platform/UiNotice.h"

#include <cstdio>
#include <mutex>

namespace korvane::platform {
namespace {
std::mutex& AnswererLock() {
    static std::mutex m;
    return m;
}
NoticeAnswerer& Answerer() {
    static NoticeAnswerer answerer;
    return answerer;
}
}  // namespace

NoticeAnswerer SetNoticeAnswerer(NoticeAnswerer answerer) {
    std::lock_guard lock(AnswererLock());
    NoticeAnswerer previous = std::move(Answerer());
    Answerer() = std::move(answerer);
    return previous;
}

bool NoticeUiAvailable() {
    std::lock_guard lock(AnswererLock());
    return static_cast<bool>(Answerer());
}

int ShowNotice(const std::string& text, const std::string& caption, unsigned flags,
               void* /*parentWindow*/) {
    NoticeAnswerer answerer;
    {
        std::lock_guard lock(AnswererLock());
        answerer = Answerer();
    }
    if (answerer) {
        return answerer(text, caption, flags);
    }
    // No window system: tell whoever watches the console, then take the
    // default button, which is OK for every notice the driver shows.
    std::fprintf(stderr, "Korvane notice (%s): %s\n", caption.c_str(), text.c_str());
    return kAnswerOk;
}

}  // namespace korvane::platform

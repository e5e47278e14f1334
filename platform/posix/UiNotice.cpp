#include <cstdio>

#include "platform/UiNotice.h"
#include "platform/common/SystemNotice.h"

namespace korvane::platform {

bool SystemNoticeUi() {
    return false;
}

int ShowSystemNotice(const std::string& text, const std::string& caption, unsigned /*flags*/,
                     void* /*parentWindow*/) {
    // No window system: tell whoever watches the console, then take the
    // default button, which is OK for every notice the driver shows.
    std::fprintf(stderr, "Korvane notice (%s): %s\n", caption.c_str(), text.c_str());
    return kAnswerOk;
}

}  // namespace korvane::platform

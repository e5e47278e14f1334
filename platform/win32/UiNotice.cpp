#include <cstdio>

#include "platform/UiNotice.h"
#include "platform/common/SystemNotice.h"
#include "platform/win32/WinHandle.h"

namespace korvane::platform {

bool SystemNoticeUi() {
    return true;
}  // Windows always has a desktop to show a message box on

int ShowSystemNotice(const std::string& text, const std::string& caption, unsigned flags,
                     void* parentWindow) {
    const int answer = ::MessageBoxA(static_cast<HWND>(parentWindow), text.c_str(), caption.c_str(),
                                     flags | (parentWindow == nullptr ? MB_TASKMODAL : 0u));
    if (answer != 0) {
        return answer;
    }
    // No box could be shown (a service without a desktop): tell the console
    // and take the default button, OK for every notice the driver shows.
    std::fprintf(stderr, "Korvane notice (%s): %s\n", caption.c_str(), text.c_str());
    return kAnswerOk;
}

}  // namespace korvane::platform

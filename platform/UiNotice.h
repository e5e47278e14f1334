#pragma once
// Modal notices (message boxes) shown to the user. The Windows build shows a
// real message box; elsewhere an installed answerer (tests, a headless host)
// decides, and without one the notice goes to the log and stderr and the
// default answer is taken.
#include <functional>
#include <string>

namespace korvane::platform {

// Flags and answers with the Windows values.
inline constexpr unsigned kBoxOk = 0x0;
inline constexpr unsigned kBoxOkCancel = 0x1;
inline constexpr unsigned kIconError = 0x10;
inline constexpr unsigned kIconQuestion = 0x20;
inline constexpr unsigned kIconExclamation = 0x30;
inline constexpr unsigned kIconWarning = 0x30;
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerCancel = 2;

using NoticeAnswerer =
    std::function<int(const std::string& text, const std::string& caption, unsigned flags)>;

// Shows a modal notice and answers the button chosen (kAnswerOk ...).
int ShowNotice(const std::string& text, const std::string& caption, unsigned flags,
               void* parentWindow = nullptr);

// True when a notice reaches a person or a script (a window system or an
// installed answerer), false when it only goes to the console.
bool NoticeUiAvailable();

// Installs an answerer (an empty one removes it); answers the previous one.
NoticeAnswerer SetNoticeAnswerer(NoticeAnswerer answerer);

}  // namespace korvane::platform

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

// A headless session can be scripted: the environment variable
// KORVANE_DIALOG_SCRIPT names a text file of user actions, one a line
// (docs/dialogs.md). Without an installed answerer a notice takes its answer
// from a "notice <answer>" line at the script's current position; the dialogs
// play the other lines. A session reads the file afresh from its first line
// and ends when a dialog session ends (EndUiScriptSession) or a notice is
// answered Cancel.
struct UiScriptLine {
    int number = 0;  // 1-based line number in the file
    std::string text;
};

// The script file named by the environment, empty when none is.
std::string UiScriptPath();
// The next line not yet played (blank lines and "#" comments skipped);
// false at the end of the script or without one.
bool PeekUiScriptLine(UiScriptLine& line);
// Marks the line PeekUiScriptLine answered as played.
void SkipUiScriptLine();
void EndUiScriptSession();
// "ok", "cancel", "abort", "retry", "ignore", "yes", "no" or a number, as the
// Windows answer value; false for anything else.
bool ParseNoticeAnswer(const std::string& word, int& answer);

}  // namespace korvane::platform

#include "platform/UiNotice.h"
#include "platform/common/SystemNotice.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <vector>

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

// The scripted session: the file's lines and the position reached.
struct ScriptState {
    std::mutex mutex;
    bool open = false;
    std::string path;
    std::vector<std::string> lines;
    std::size_t next = 0;
};
ScriptState& Script() {
    static ScriptState state;
    return state;
}

bool IsPlayable(const std::string& line) {
    const auto first = line.find_first_not_of(" \t");
    return first != std::string::npos && line[first] != '#';
}

// Opens a session on the named file (caller holds the lock); an unreadable
// file gives an empty script.
void OpenSession(ScriptState& state, const std::string& path) {
    state.open = true;
    state.path = path;
    state.lines.clear();
    state.next = 0;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        state.lines.push_back(line);
    }
}

// A "notice <answer>" line at the script's position answers the notice.
bool ScriptedAnswer(int& answer) {
    UiScriptLine line;
    if (!PeekUiScriptLine(line)) {
        return false;
    }
    std::istringstream words(line.text);
    std::string verb;
    std::string word;
    if (!(words >> verb >> word) || verb != "notice" || !ParseNoticeAnswer(word, answer)) {
        return false;
    }
    SkipUiScriptLine();
    if (answer == kAnswerCancel) {
        EndUiScriptSession();  // the operation that asked gives up
    }
    return true;
}
}  // namespace

std::string UiScriptPath() {
    const char* path = std::getenv("KORVANE_DIALOG_SCRIPT");
    return path != nullptr ? path : "";
}

bool PeekUiScriptLine(UiScriptLine& line) {
    const std::string path = UiScriptPath();
    if (path.empty()) {
        return false;
    }
    ScriptState& state = Script();
    std::lock_guard lock(state.mutex);
    if (!state.open || state.path != path) {
        OpenSession(state, path);
    }
    while (state.next < state.lines.size() && !IsPlayable(state.lines[state.next])) {
        ++state.next;
    }
    if (state.next >= state.lines.size()) {
        return false;
    }
    line.number = static_cast<int>(state.next) + 1;
    line.text = state.lines[state.next];
    return true;
}

void SkipUiScriptLine() {
    ScriptState& state = Script();
    std::lock_guard lock(state.mutex);
    if (state.open && state.next < state.lines.size()) {
        ++state.next;
    }
}

void EndUiScriptSession() {
    ScriptState& state = Script();
    std::lock_guard lock(state.mutex);
    state.open = false;
}

bool ParseNoticeAnswer(const std::string& word, int& answer) {
    static const char* const kNames[] = {"ok", "cancel", "abort", "retry", "ignore", "yes", "no"};
    for (int i = 0; i < 7; ++i) {
        if (word == kNames[i]) {
            answer = i + 1;
            return true;
        }
    }
    if (word.empty() || word.find_first_not_of("0123456789") != std::string::npos ||
        word.size() > 9) {
        return false;
    }
    answer = std::atoi(word.c_str());
    return true;
}

NoticeAnswerer SetNoticeAnswerer(NoticeAnswerer answerer) {
    std::lock_guard lock(AnswererLock());
    NoticeAnswerer previous = std::move(Answerer());
    Answerer() = std::move(answerer);
    return previous;
}

bool NoticeUiAvailable() {
    if (SystemNoticeUi()) {
        return true;
    }
    {
        std::lock_guard lock(AnswererLock());
        if (Answerer()) {
            return true;
        }
    }
    return !UiScriptPath().empty();
}

int ShowNotice(const std::string& text, const std::string& caption, unsigned flags,
               void* parentWindow) {
    NoticeAnswerer answerer;
    {
        std::lock_guard lock(AnswererLock());
        answerer = Answerer();
    }
    if (answerer) {
        return answerer(text, caption, flags);
    }
    int scripted = 0;
    if (ScriptedAnswer(scripted)) {
        return scripted;
    }
    return ShowSystemNotice(text, caption, flags, parentWindow);
}

}  // namespace korvane::platform

#include "dialogs/DialogScript.h"

#include <charconv>
#include <sstream>
#include <string_view>

#include "platform/UiNotice.h"

namespace korvane::dlg {
namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view TrimLeft(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

std::string_view TrimRight(std::string_view text) {
    const auto last = text.find_last_not_of(kBlanks);
    return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

// Splits off the first word; `rest` keeps what follows the single blank after
// it, unchanged.
std::string_view FirstWord(std::string_view text, std::string_view& rest) {
    text = TrimLeft(text);
    const auto end = text.find_first_of(kBlanks);
    if (end == std::string_view::npos) {
        rest = {};
        return text;
    }
    rest = text.substr(end + 1);
    return text.substr(0, end);
}

bool ParseNumber(std::string_view text, int& value) {
    if (text.empty()) {
        return false;
    }
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

}  // namespace

std::optional<ScriptAction> ParseScriptLine(const std::string& line, int lineNumber,
                                            std::string& error) {
    error.clear();
    const std::string_view trimmed = TrimLeft(line);
    if (trimmed.empty() || trimmed.front() == '#') {
        return std::nullopt;
    }
    ScriptAction action;
    action.line = lineNumber;
    action.source = std::string(TrimRight(trimmed));

    std::string_view rest;
    const std::string_view verb = FirstWord(trimmed, rest);
    using Kind = ScriptAction::Kind;
    auto fail = [&](const char* why) {
        error = "line " + std::to_string(lineNumber) + ": " + why + ": " + action.source;
        return std::nullopt;
    };

    if (verb == "ok" || verb == "cancel") {
        if (!TrimLeft(rest).empty()) {
            return fail("nothing may follow");
        }
        action.kind = verb == "ok" ? Kind::Ok : Kind::Cancel;
        return action;
    }
    if (verb == "type") {
        std::string_view text;
        const std::string_view id = FirstWord(rest, text);
        if (!ParseNumber(id, action.id)) {
            return fail("expected a control id");
        }
        action.kind = Kind::Type;
        action.text = std::string(text);
        return action;
    }
    if (verb == "click" || verb == "page") {
        std::string_view more;
        const std::string_view number = FirstWord(rest, more);
        int value = 0;
        if (!ParseNumber(number, value) || !TrimLeft(more).empty()) {
            return fail(verb == "click" ? "expected a control id" : "expected a page index");
        }
        action.kind = verb == "click" ? Kind::Click : Kind::Page;
        (verb == "click" ? action.id : action.value) = value;
        return action;
    }
    if (verb == "select") {
        std::string_view more;
        std::string_view tail;
        const std::string_view id = FirstWord(rest, more);
        const std::string_view index = FirstWord(more, tail);
        if (!ParseNumber(id, action.id) || !ParseNumber(index, action.value) ||
            !TrimLeft(tail).empty()) {
            return fail("expected a control id and an item index");
        }
        action.kind = Kind::Select;
        return action;
    }
    if (verb == "file") {
        rest = TrimLeft(rest);
        if (rest.empty()) {
            return fail("expected a path or cancel");
        }
        if (TrimRight(rest) == "cancel") {
            action.kind = Kind::FileCancel;
            return action;
        }
        action.kind = Kind::File;
        action.text = std::string(rest);
        return action;
    }
    if (verb == "notice") {
        std::string_view tail;
        const std::string word(FirstWord(rest, tail));
        if (!platform::ParseNoticeAnswer(word, action.value) || !TrimLeft(tail).empty()) {
            return fail(
                "expected an answer (ok, cancel, yes, no, abort, retry, ignore or a number)");
        }
        action.kind = Kind::Notice;
        return action;
    }
    return fail("unknown action");
}

TextScriptLines::TextScriptLines(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines_.push_back(line);
    }
}

std::optional<ScriptLine> TextScriptLines::Peek() {
    if (next_ >= lines_.size()) {
        return std::nullopt;
    }
    return ScriptLine{static_cast<int>(next_) + 1, lines_[next_]};
}

void TextScriptLines::Pop() {
    if (next_ < lines_.size()) {
        ++next_;
    }
}

PlatformScriptLines::~PlatformScriptLines() {
    platform::EndUiScriptSession();
}

std::optional<ScriptLine> PlatformScriptLines::Peek() {
    platform::UiScriptLine line;
    if (!platform::PeekUiScriptLine(line)) {
        return std::nullopt;
    }
    return ScriptLine{line.number, line.text};
}

void PlatformScriptLines::Pop() {
    platform::SkipUiScriptLine();
}

}  // namespace korvane::dlg

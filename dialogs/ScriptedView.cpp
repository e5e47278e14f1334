#include "dialogs/ScriptedView.h"

#include <filesystem>
#include <system_error>

#include "dialogs/ControlIds.h"
#include "driver/DriverLog.h"
#include "platform/UiNotice.h"

namespace korvane::dlg {

const ControlState* ScriptedView::Step::Control(int id) const {
    for (const ControlState& control : controls) {
        if (control.id == id) {
            return &control;
        }
    }
    return nullptr;
}

ScriptedView::ScriptedView(const std::string& script)
    : lines_(std::make_unique<TextScriptLines>(script)) {}

ScriptedView::ScriptedView(std::unique_ptr<ScriptLines> lines) : lines_(std::move(lines)) {}

void ScriptedView::Error(const std::string& text) {
    KLOG(kError, "DialogScript: WARNING: %s\n", text.c_str());
    errors_.push_back(text);
}

std::optional<ScriptAction> ScriptedView::PeekAction() {
    while (const std::optional<ScriptLine> line = lines_->Peek()) {
        std::string error;
        if (std::optional<ScriptAction> action = ParseScriptLine(line->text, line->number, error)) {
            return action;
        }
        if (!error.empty()) {
            Error(error);
        }
        lines_->Pop();
    }
    return std::nullopt;
}

bool ScriptedView::Exhausted() {
    return !PeekAction().has_value();
}

int ScriptedView::RunModal(ModalDialog& dialog, void* /*parentWindow*/) {
    dialog.Start();
    Record(dialog, "open", 0, true);
    while (!dialog.Finished()) {
        const std::optional<ScriptAction> action = PeekAction();
        if (!action) {
            // The user walks away: the dialog closes as if cancelled.
            Error("script ended while \"" + dialog.Caption() + "\" was open: cancelled");
            if (!dialog.UserClicks(kIdCancel)) {
                return kResultCancel;
            }
            Record(dialog, "cancel", 0, true);
            break;
        }
        PopAction();
        const bool done = Play(dialog, *action);
        Record(dialog, action->source, action->line, done);
    }
    KLOG(kProgress, "DialogScript: \"%s\" closed with %s\n", dialog.Caption().c_str(),
         dialog.Result() == kResultOk ? "OK" : "Cancel");
    return dialog.Result();
}

bool ScriptedView::Play(ModalDialog& dialog, const ScriptAction& action) {
    using Kind = ScriptAction::Kind;
    switch (action.kind) {
        case Kind::Type:
            return dialog.UserTypes(action.id, action.text);
        case Kind::Click:
            return dialog.UserClicks(action.id);
        case Kind::Select:
            return dialog.UserSelects(action.id, action.value);
        case Kind::Page:
            return dialog.ActivatePage(action.value);
        case Kind::Ok:
            return dialog.UserClicks(kIdOk);
        case Kind::Cancel:
            return dialog.UserClicks(kIdCancel);
        case Kind::File:
        case Kind::FileCancel:
            Error("line " + std::to_string(action.line) +
                  ": no file dialog is open: " + action.source);
            return false;
        case Kind::Notice:
            Error("line " + std::to_string(action.line) +
                  ": no message box is open: " + action.source);
            return false;
    }
    return false;
}

void ScriptedView::Record(ModalDialog& dialog, const std::string& action, int line, bool done) {
    Step step;
    step.action = action;
    step.line = line;
    step.done = done;
    step.dialog = dialog.Caption();
    step.page = dialog.ActivePage();
    ControlModel& frame = dialog.FrameControls();
    step.status = frame.Has(kIdStatusBar) ? frame.GetText(kIdStatusBar) : std::string();
    step.okEnabled = frame.Has(kIdOk) && frame.IsEnabled(kIdOk);
    if (ControlModel* page = dialog.PageControls(step.page)) {
        for (int id : page->Ids()) {
            step.controls.push_back(page->Get(id));
        }
    }
    if (line > 0) {
        KLOG(kProgress, "DialogScript: line %d: %s%s\n", line, action.c_str(),
             done ? "" : " (not possible, ignored)");
    }
    const bool changed = steps_.empty() || steps_.back().status != step.status ||
                         steps_.back().okEnabled != step.okEnabled ||
                         steps_.back().dialog != step.dialog;
    if (changed) {
        KLOG(kProgress, "DialogScript: \"%s\": status \"%s\", OK %s\n", step.dialog.c_str(),
             step.status.c_str(), step.okEnabled ? "enabled" : "disabled");
    }
    steps_.push_back(std::move(step));
}

std::optional<std::string> ScriptedView::ChooseFile(const FileDialogOptions& options) {
    FileDialog record{options, std::nullopt};
    while (true) {
        const std::optional<ScriptAction> action = PeekAction();
        if (!action || (action->kind != ScriptAction::Kind::File &&
                        action->kind != ScriptAction::Kind::FileCancel)) {
            Error("file dialog \"" + options.title + "\" has no answer in the script: cancelled");
            break;
        }
        PopAction();
        if (action->kind == ScriptAction::Kind::FileCancel) {
            break;
        }
        // File dialogs answer full paths.
        std::error_code ec;
        std::filesystem::path path = std::filesystem::absolute(action->text, ec);
        if (ec) {
            path = action->text;
        }
        if (options.fileMustExist && !std::filesystem::is_regular_file(path, ec)) {
            // The dialog refuses a missing file and stays open.
            Error("line " + std::to_string(action->line) + ": file not found: " + path.string());
            continue;
        }
        record.answer = path.string();
        break;
    }
    KLOG(kProgress, "DialogScript: file dialog \"%s\": %s\n", options.title.c_str(),
         record.answer ? record.answer->c_str() : "cancelled");
    fileDialogs_.push_back(record);
    return record.answer;
}

int ScriptedView::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    Box box{text, caption, flags, platform::kAnswerOk, false};
    const std::optional<ScriptAction> action = PeekAction();
    if (action && action->kind == ScriptAction::Kind::Notice) {
        PopAction();
        box.answer = action->value;
        box.scripted = true;
    }
    KLOG(kProgress, "DialogScript: message box \"%s\" answered %d\n", text.c_str(), box.answer);
    boxes_.push_back(box);
    return box.answer;
}

}  // namespace korvane::dlg

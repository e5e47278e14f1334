#pragma once
// A view without windows: it plays a script of user actions into the dialogs
// and records what a user would have seen after each action (status bar
// text, whether OK is enabled, the controls of the page in front) together
// with every message box and file dialog. Tests use it in-process; on a
// machine without a window toolkit it plays the process's dialog script.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/DialogScript.h"
#include "dialogs/DialogView.h"

namespace korvane::dlg {

class ScriptedView : public DialogView {
  public:
    // What the user saw after one action (or when a dialog appeared).
    struct Step {
        std::string action;  // the script line, or "open"
        int line = 0;        // script line number, 0 for "open"
        bool done = false;   // false: the user could not have done it
        std::string dialog;  // caption of the dialog in front
        int page = 0;        // its page in front
        std::string status;  // status bar text ("" without a status bar)
        bool okEnabled = false;
        std::vector<ControlState> controls;  // of the page in front

        // The control's state, null when the page has no such control.
        const ControlState* Control(int id) const;
    };
    struct Box {
        std::string text;
        std::string caption;
        unsigned flags = 0;
        int answer = 0;
        bool scripted = false;  // answered by a notice line, else the default
    };
    struct FileDialog {
        FileDialogOptions options;
        std::optional<std::string> answer;
    };

    // Plays the script text given.
    explicit ScriptedView(const std::string& script);
    explicit ScriptedView(std::unique_ptr<ScriptLines> lines);

    int RunModal(ModalDialog& dialog, void* parentWindow) override;
    std::optional<std::string> ChooseFile(const FileDialogOptions& options) override;
    int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;

    const std::vector<Step>& Steps() const { return steps_; }
    const Step& LastStep() const { return steps_.back(); }
    const std::vector<Box>& MessageBoxes() const { return boxes_; }
    const std::vector<FileDialog>& FileDialogs() const { return fileDialogs_; }
    // Malformed lines, actions that found nothing to act on, dialogs left
    // open at the end of the script.
    const std::vector<std::string>& Errors() const { return errors_; }
    // True when every line of the script has been played.
    bool Exhausted();

  private:
    std::optional<ScriptAction> PeekAction();
    void PopAction() { lines_->Pop(); }
    bool Play(ModalDialog& dialog, const ScriptAction& action);
    void Record(ModalDialog& dialog, const std::string& action, int line, bool done);
    void Error(const std::string& text);

    std::unique_ptr<ScriptLines> lines_;
    std::vector<Step> steps_;
    std::vector<Box> boxes_;
    std::vector<FileDialog> fileDialogs_;
    std::vector<std::string> errors_;
};

}  // namespace korvane::dlg

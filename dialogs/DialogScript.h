#pragma once
// Scripted user sessions: a text of user actions, one a line, that a
// ScriptedView plays into the dialogs. The format (docs/dialogs.md):
//
//   type <id> <text>      replace the text of edit <id> (the rest of the line;
//                         nothing after the id clears the edit)
//   click <id>            click a button or check box
//   select <id> <index>   choose an item of combo box <id> (0-based)
//   page <index>          bring a property page to the front (0-based)
//   ok | cancel           press OK or Cancel of the dialog in front
//   file <path>           answer an open/save-file dialog with a path
//   file cancel           cancel a file dialog
//   notice <answer>       answer a message box: ok, cancel, yes, no, abort,
//                         retry, ignore or a number
//
// Blank lines and lines starting with "#" are skipped.
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korvane::dlg {

struct ScriptAction {
    enum class Kind { Type, Click, Select, Page, Ok, Cancel, File, FileCancel, Notice };
    Kind kind = Kind::Ok;
    int id = 0;          // Type, Click, Select
    int value = 0;       // Select: item index; Page: page index; Notice: answer
    std::string text;    // Type: the text; File: the path
    int line = 0;        // 1-based line number in the script
    std::string source;  // the line as written
};

// Parses one line. Blank and comment lines give none with an empty error; a
// malformed line gives none and says why.
std::optional<ScriptAction> ParseScriptLine(const std::string& line, int lineNumber,
                                            std::string& error);

// Where a script's lines come from.
struct ScriptLine {
    int number = 0;
    std::string text;
};
class ScriptLines {
  public:
    virtual ~ScriptLines() = default;
    // The next line not yet played (blank and comment lines may be skipped
    // here already); none at the end.
    virtual std::optional<ScriptLine> Peek() = 0;
    virtual void Pop() = 0;
};

// Lines of a text held in memory (tests, embedding hosts).
class TextScriptLines : public ScriptLines {
  public:
    explicit TextScriptLines(const std::string& text);
    std::optional<ScriptLine> Peek() override;
    void Pop() override;

  private:
    std::vector<std::string> lines_;
    std::size_t next_ = 0;
};

// Lines of the process's user-interface script (KORVANE_DIALOG_SCRIPT), shared
// with the notices the platform shows. Destroying it ends the session, so the
// next one plays the script from its first line again.
class PlatformScriptLines : public ScriptLines {
  public:
    PlatformScriptLines() = default;
    PlatformScriptLines(const PlatformScriptLines&) = delete;
    PlatformScriptLines& operator=(const PlatformScriptLines&) = delete;
    ~PlatformScriptLines() override;
    std::optional<ScriptLine> Peek() override;
    void Pop() override;
};

}  // namespace korvane::dlg

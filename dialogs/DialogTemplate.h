#pragma once
// Dialog layouts as data: the one description from which a window toolkit
// creates the controls, the headless model builds its control states, and
// the Windows resource script is generated. Coordinates are dialog units.
#include <string>
#include <vector>

namespace korvane::dlg {

enum class ControlKind {
    Edit,           // single-line edit with horizontal scrolling
    Static,         // static text (labels, range texts)
    PushButton,     //
    DefPushButton,  // the default push button of a plain dialog
    CheckBox,       // automatic check box
    ComboBox,       // drop-down combo box
    GroupBox,       //
    StatusBar,      // created by the sheet at run time, never in a template
};

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    int Right() const { return x + width; }
    int Bottom() const { return y + height; }
    bool Contains(const Rect& other) const {
        return other.x >= x && other.y >= y && other.Right() <= Right() &&
               other.Bottom() <= Bottom();
    }
    bool Overlaps(const Rect& other) const {
        return x < other.Right() && other.x < Right() && y < other.Bottom() && other.y < Bottom();
    }
    bool operator==(const Rect&) const = default;
};

struct ControlTemplate {
    int id = -1;  // kIdStatic for labels, headings and group boxes
    ControlKind kind = ControlKind::Static;
    // Caption of a button, check box or group box; the text of a static.
    std::string text;
    // For a combo box the closed height; the drop-down list adds kComboDropHeight.
    Rect rect;
    bool readOnly = false;  // edits only
    // For a label: the control it names.
    int labelFor = -1;
};

inline constexpr int kComboDropHeight = 80;

enum class DialogStyle { PropertyPage, ModalDialog };

struct DialogTemplate {
    int resourceId = 0;
    // The tab text of a page, the title of a dialog.
    std::string caption;
    DialogStyle style = DialogStyle::PropertyPage;
    int width = 0;
    int height = 0;
    std::string fontName;
    int fontSize = 0;
    // In tab order; a label comes right before the control it names.
    std::vector<ControlTemplate> controls;

    // The control with this identifier, null when there is none (or the id is
    // kIdStatic).
    const ControlTemplate* Find(int id) const;
    // The text of the label naming the control, empty when it has none.
    std::string LabelOf(int id) const;
};

// The three pages of the camera property sheet and the LUT generator.
const DialogTemplate& FrameGrabberTemplate();
const DialogTemplate& CameraControlsTemplate();
const DialogTemplate& IoTemplate();
const DialogTemplate& GenerateLutTemplate();

// Every template above, pages first.
std::vector<const DialogTemplate*> AllTemplates();

}  // namespace korvane::dlg

#include "dialogs/ResourceScript.h"

#include <sstream>

#include "dialogs/ControlIds.h"

namespace korvane::dlg {
namespace {

std::string IdText(int id) {
    switch (id) {
        case kIdOk:
            return "IDOK";
        case kIdCancel:
            return "IDCANCEL";
        default:
            return std::to_string(id);
    }
}

std::string Coordinates(const Rect& r, int extraHeight = 0) {
    std::ostringstream out;
    out << r.x << ',' << r.y << ',' << r.width << ',' << r.height + extraHeight;
    return out.str();
}

void Pad(std::ostringstream& out, const char* keyword) {
    std::string word = keyword;
    word.resize(16, ' ');
    out << "    " << word;
}

void WriteControl(std::ostringstream& out, const ControlTemplate& c) {
    const std::string id = IdText(c.id);
    switch (c.kind) {
        case ControlKind::GroupBox:
            Pad(out, "GROUPBOX");
            out << ResourceString(c.text) << ',' << id << ',' << Coordinates(c.rect);
            break;
        case ControlKind::Static:
            Pad(out, "LTEXT");
            out << ResourceString(c.text) << ',' << id << ',' << Coordinates(c.rect);
            break;
        case ControlKind::Edit:
            Pad(out, "EDITTEXT");
            out << id << ',' << Coordinates(c.rect) << ",ES_AUTOHSCROLL"
                << (c.readOnly ? " | ES_READONLY" : "");
            break;
        case ControlKind::PushButton:
            Pad(out, "PUSHBUTTON");
            out << ResourceString(c.text) << ',' << id << ',' << Coordinates(c.rect);
            break;
        case ControlKind::DefPushButton:
            Pad(out, "DEFPUSHBUTTON");
            out << ResourceString(c.text) << ',' << id << ',' << Coordinates(c.rect);
            break;
        case ControlKind::CheckBox:
            Pad(out, "CONTROL");
            out << ResourceString(c.text) << ',' << id
                << ",\"Button\",BS_AUTOCHECKBOX | WS_TABSTOP," << Coordinates(c.rect);
            break;
        case ControlKind::ComboBox:
            Pad(out, "COMBOBOX");
            out << id << ',' << Coordinates(c.rect, kComboDropHeight)
                << ",CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP";
            break;
        case ControlKind::StatusBar:
            return;  // made at run time
    }
    out << "\r\n";
}

}  // namespace

std::string ResourceString(const std::string& text) {
    std::string out = "\"";
    for (const char ch : text) {
        switch (ch) {
            case '"':
                out += "\"\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += ch;
        }
    }
    return out + "\"";
}

std::string ResourceScriptFor(const DialogTemplate& dialog) {
    std::ostringstream out;
    out << dialog.resourceId << " DIALOGEX 0, 0, " << dialog.width << ", " << dialog.height
        << "\r\n";
    if (dialog.style == DialogStyle::PropertyPage) {
        out << "STYLE DS_SETFONT | DS_FIXEDSYS | WS_CHILD | WS_DISABLED | WS_CAPTION\r\n";
    } else {
        out << "STYLE DS_SETFONT | DS_MODALFRAME | DS_FIXEDSYS | WS_POPUP | WS_CAPTION | "
               "WS_SYSMENU\r\n";
    }
    out << "CAPTION " << ResourceString(dialog.caption) << "\r\n";
    out << "FONT " << dialog.fontSize << ", " << ResourceString(dialog.fontName)
        << ", 400, 0, 0x1\r\n";
    out << "BEGIN\r\n";
    for (const ControlTemplate& control : dialog.controls) {
        WriteControl(out, control);
    }
    out << "END\r\n";
    return out.str();
}

std::string GenerateResourceScript() {
    std::string script =
        "// Generated from the dialog templates in dialogs/Templates.cpp; do not edit.\r\n"
        "#include <windows.h>\r\n"
        "#include <commctrl.h>\r\n";
    for (const DialogTemplate* dialog : AllTemplates()) {
        script += "\r\n" + ResourceScriptFor(*dialog);
    }
    return script;
}

}  // namespace korvane::dlg

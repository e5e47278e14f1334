#pragma once
// Windows resource script text generated from the dialog templates, so the
// dialogs a Windows build shows cannot drift from the model.
#include <string>

#include "dialogs/DialogTemplate.h"

namespace korvane::dlg {

// One DIALOGEX resource.
std::string ResourceScriptFor(const DialogTemplate& dialog);

// A complete .rc file with every template.
std::string GenerateResourceScript();

// A string literal in resource script syntax: quotes doubled, backslashes,
// line feeds and tabs escaped.
std::string ResourceString(const std::string& text);

}  // namespace korvane::dlg

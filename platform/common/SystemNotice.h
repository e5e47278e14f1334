#pragma once
// The operating system's own way of showing a notice, behind the answerer
// and the dialog script that the common notice code consults first.
#include <string>

namespace korvane::platform {

// True when the system can show a notice to a person (a desktop).
bool SystemNoticeUi();

// Shows the notice and answers the button chosen.
int ShowSystemNotice(const std::string& text, const std::string& caption, unsigned flags,
                     void* parentWindow);

}  // namespace korvane::platform

#pragma once
// The driver's log as korvanesrc keeps it: it arrives in two calls per line
// (time stamp, then text) from any thread, and an element error quotes the
// driver's last error or warning line.
#include <string>

namespace korvane::gst {

// Takes one call of the driver's message callback.
void TakeDriverMessage(const char* text);
// Forgets the lines kept (a new step starts).
void ClearDriverMessages();
// The last line that reported an error or warning, without its line break;
// empty when there was none since the last clear.
std::string LastDriverFailure();

}  // namespace korvane::gst

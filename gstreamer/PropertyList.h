#pragma once
// The camera settings given to the element as one string, "Name=value,...",
// the way gst-launch lines carry them.
#include <string>
#include <utility>
#include <vector>

namespace korvane::gst {

using PropertyList = std::vector<std::pair<std::string, int>>;

// Parses "Gain=12, Width=640"; spaces around names and values are ignored,
// empty items are skipped. False with the reason in error for an item
// without '=', an empty name or a value that is not a whole 32-bit number.
bool ParsePropertyList(const std::string& text, PropertyList& out, std::string& error);

}  // namespace korvane::gst

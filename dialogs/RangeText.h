#pragma once
// The range texts the property pages show beside their edits.
#include <string>

#include "settings/Param.h"

namespace korvane::dlg {

// "[%d ... %d]" of the lower and upper limit.
std::string IntRangeText(const Param<int>& setting);

// "[%.0f ... %.0f]" of the lower and upper limit.
std::string RealRangeText(const Param<double>& setting);

}  // namespace korvane::dlg

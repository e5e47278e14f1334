#pragma once
// The table in use when the chosen imaging library could not be bound:
// every operation fails, and the error query says why. A machine meant for
// real hardware never falls back to simulated cameras.
#include <string>

#include "mil/MilApi.h"

namespace korvane::mil {

// Sets the reason the error query reports and answers the table.
const MilApi& UnavailableApi(const std::string& reason);

}  // namespace korvane::mil

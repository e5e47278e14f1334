#pragma once
// The simulator's function table.
#include "mil/MilApi.h"

namespace korvane::mil::sim {

const MilApi& SimulatorApi();

}  // namespace korvane::mil::sim

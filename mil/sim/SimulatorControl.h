#pragma once
// A look inside the simulator for tests: what a digitizer was told and how
// many frames it grabbed. Not part of the library's interface.
#include <cstddef>

#include "mil/MilApi.h"

namespace korvane::mil::sim {

// The identifier of the allocated digitizer with this device number on the
// board at this position of the configured list; 0 when none is allocated.
MilId DigitizerOf(int systemIndex, int deviceNumber);

// Grabs the digitizer started (the frame number of its latest frame), -1
// for an unknown identifier.
long long FrameCount(MilId digId);

// How many times a grab of the digitizer started waiting for a trigger, -1
// for an unknown identifier.
long long TriggerWaitCount(MilId digId);

// How often the digitizer's LUT was reset to the default, -1 when unknown.
int LutResetCount(MilId digId);

// The last value MdigControl set for this type; false when none was set.
bool LastControl(MilId digId, MilInt type, double& value);

// The last value MsysControl set for this type; false when none was set.
bool LastSystemControl(MilId sysId, MilInt type, MilInt& value);

// Application, systems, digitizers and buffers allocated right now.
std::size_t LiveObjectCount();

// Frees everything as MappFree does, whatever a failed test left behind.
void ResetSimulator();

}  // namespace korvane::mil::sim

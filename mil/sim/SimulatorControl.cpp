#include "mil/sim/SimulatorControl.h"

#include "mil/sim/Simulator.h"

namespace korvane::mil::sim {

MilId DigitizerOf(int systemIndex, int deviceNumber) {
    return Simulator::Instance().DigitizerId(systemIndex, deviceNumber);
}

long long FrameCount(MilId digId) {
    const auto digitizer = Simulator::Instance().FindDigitizer(digId);
    return digitizer ? digitizer->GrabCount() : -1;
}

long long TriggerWaitCount(MilId digId) {
    const auto digitizer = Simulator::Instance().FindDigitizer(digId);
    return digitizer ? digitizer->TriggerWaitCount() : -1;
}

int LutResetCount(MilId digId) {
    const auto digitizer = Simulator::Instance().FindDigitizer(digId);
    return digitizer ? digitizer->LutResetCount() : -1;
}

bool LastControl(MilId digId, MilInt type, double& value) {
    const auto digitizer = Simulator::Instance().FindDigitizer(digId);
    return digitizer && digitizer->LastControl(type, value);
}

bool LastSystemControl(MilId sysId, MilInt type, MilInt& value) {
    return Simulator::Instance().LastSystemControl(sysId, type, value);
}

std::size_t LiveObjectCount() {
    return Simulator::Instance().LiveObjectCount();
}

void ResetSimulator() {
    Simulator::Instance().Reset();
}

}  // namespace korvane::mil::sim

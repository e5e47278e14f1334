// The simulator as a library of its own that exports each operation the way
// a shared object stands in for an ordinal export: MilOrdinal<n>. Loading it
// with KORVANE_MIL=<path> runs the driver through the same binding code as
// the vendor library, against simulated boards.
#include "mil/MilApi.h"
#include "mil/sim/SimulatorApi.h"

using korvane::mil::MilId;
using korvane::mil::MilInt;

namespace {
const korvane::mil::MilApi& T() {
    return korvane::mil::sim::SimulatorApi();
}
}  // namespace

#if defined(_WIN32)
// The Windows build exports these by ordinal only (win32/KorvaneSim.def).
#define KORVANE_EXPORT extern "C"
#else
#define KORVANE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

KORVANE_EXPORT MilId MilOrdinal1648(MilInt initFlag, MilId* appId) {
    return T().MappAlloc(initFlag, appId);
}
KORVANE_EXPORT void MilOrdinal101(MilInt type, MilInt value) {
    T().MappControl(type, value);
}
KORVANE_EXPORT MilInt MilOrdinal106(MilInt type, void* out) {
    return T().MappInquire(type, out);
}
KORVANE_EXPORT void MilOrdinal102(MilId appId) {
    T().MappFree(appId);
}
KORVANE_EXPORT MilInt MilOrdinal103(MilInt type, void* out) {
    return T().MappGetError(type, out);
}
KORVANE_EXPORT MilId MilOrdinal1641(const char* descriptor, MilInt devNum, MilInt initFlag,
                                    MilId* sysId) {
    return T().MsysAlloc(descriptor, devNum, initFlag, sysId);
}
KORVANE_EXPORT MilInt MilOrdinal276(MilId sysId, MilInt type, void* out) {
    return T().MsysInquire(sysId, type, out);
}
KORVANE_EXPORT void MilOrdinal274(MilId sysId, MilInt type, std::int32_t value) {
    T().MsysControl(sysId, type, value);
}
KORVANE_EXPORT void MilOrdinal275(MilId sysId) {
    T().MsysFree(sysId);
}
KORVANE_EXPORT MilId MilOrdinal1647(MilId sysId, MilInt devNum, const char* dcf, MilInt initFlag,
                                    MilId* digId) {
    return T().MdigAlloc(sysId, devNum, dcf, initFlag, digId);
}
KORVANE_EXPORT MilInt MilOrdinal147(MilId digId, MilInt type, void* out) {
    return T().MdigInquire(digId, type, out);
}
KORVANE_EXPORT void MilOrdinal141(MilId digId, MilInt type, double value) {
    T().MdigControl(digId, type, value);
}
KORVANE_EXPORT void MilOrdinal148(MilId digId, MilInt lut) {
    T().MdigLut(digId, lut);
}
KORVANE_EXPORT void MilOrdinal142(MilId digId) {
    T().MdigFree(digId);
}
KORVANE_EXPORT void MilOrdinal1506(MilId digId, MilId* buffers, MilInt count, MilInt operation,
                                   MilInt operationFlag, void* hook, void* user) {
    T().MdigProcess(digId, buffers, count, operation, operationFlag, hook, user);
}
KORVANE_EXPORT MilId MilOrdinal109(MilId sysId, MilInt sizeX, MilInt sizeY, MilInt bits,
                                   MilInt attribute, MilId* bufId) {
    return T().MbufAlloc2d(sysId, sizeX, sizeY, bits, attribute, bufId);
}
KORVANE_EXPORT void MilOrdinal125(MilId bufId, MilInt x, MilInt y, MilInt sizeX, MilInt sizeY,
                                  void* dest) {
    T().MbufGet2d(bufId, x, y, sizeX, sizeY, dest);
}
KORVANE_EXPORT void MilOrdinal123(MilId bufId) {
    T().MbufFree(bufId);
}

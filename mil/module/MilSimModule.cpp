// The simulator as a library of its own that exports each operation the way
// a shared object stands in for an ordinal export: MilOrdinal<n>. Loading it
// with KORVANE_MIL=<path> runs the driver through the same binding code as
// the vendor library, against simulated boards.
#include "mil/MilApi.h"
#include "mil/sim/SimulatorApi.h"

namespace abi = korvane::mil::abi;

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

// The binding looks these up by name at run time; no code of this project
// calls them, so no header declares them.
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wmissing-declarations"
#endif

// Every export takes the library's widths and convention: the table's own
// function types, so the two cannot drift apart.
KORVANE_EXPORT abi::Id KORVANE_MILCALL MilOrdinal1648(abi::Int initFlag, abi::Id* appId) {
    return T().MappAlloc(initFlag, appId);
}
KORVANE_EXPORT void KORVANE_MILCALL MilOrdinal101(abi::Int type, abi::Int value) {
    T().MappControl(type, value);
}
KORVANE_EXPORT abi::Int KORVANE_MILCALL MilOrdinal106(abi::Int type, abi::Out out) {
    return T().MappInquire(type, out);
}
KORVANE_EXPORT void KORVANE_MILCALL MilOrdinal102(abi::Id appId) {
    T().MappFree(appId);
}
KORVANE_EXPORT abi::Int KORVANE_MILCALL MilOrdinal103(abi::Int type, abi::Out out) {
    return T().MappGetError(type, out);
}
KORVANE_EXPORT abi::Id KORVANE_MILCALL MilOrdinal1641(abi::Text descriptor, abi::Int devNum,
                                                      abi::Int initFlag, abi::Id* sysId) {
    return T().MsysAlloc(descriptor, devNum, initFlag, sysId);
}
KORVANE_EXPORT abi::Int KORVANE_MILCALL MilOrdinal276(abi::Id sysId, abi::Int type, abi::Out out) {
    return T().MsysInquire(sysId, type, out);
}
KORVANE_EXPORT void KORVANE_MILCALL MilOrdinal274(abi::Id sysId, abi::Int type, abi::Int value) {
    T().MsysControl(sysId, type, value);
}
KORVANE_EXPORT void KORVANE_MILCALL MilOrdinal275(abi::Id sysId) {
    T().MsysFree(sysId);
}
KORVANE_EXPORT abi::Id KORVANE_MILCALL MilOrdinal1647(abi::Id sysId, abi::Int devNum, abi::Text dcf,
                                                      abi::Int initFlag, abi::Id* digId) {
    return T().MdigAlloc(sysId, devNum, dcf, initFlag, digId);
}
KORVANE_EXPORT abi::Int KORVANE_MILCALL MilOrdinal147(abi::Id digId, abi::Int64 type,
                                                      abi::Out out) {
    return T().MdigInquire(digId, type, out);
}
KORVANE_EXPORT void KORVANE_MILCALL MilOrdinal141(abi::Id digId, abi::Int64 type,
                                                  abi::Double value) {
    T().MdigControl(digId, type, value);
}
KORVANE_EXPORT void KORVANE_MILCALL MilOrdinal148(abi::Id digId, abi::Int lut) {
    T().MdigLut(digId, lut);
}
KORVANE_EXPORT void KORVANE_MILCALL MilOrdinal142(abi::Id digId) {
    T().MdigFree(digId);
}
KORVANE_EXPORT void KORVANE_MILCALL MilOrdinal1506(abi::Id digId, abi::Id* buffers, abi::Int count,
                                                   abi::Int operation, abi::Int operationFlag,
                                                   abi::Hook hook, abi::User user) {
    T().MdigProcess(digId, buffers, count, operation, operationFlag, hook, user);
}
KORVANE_EXPORT abi::Id KORVANE_MILCALL MilOrdinal109(abi::Id sysId, abi::Int sizeX, abi::Int sizeY,
                                                     abi::Int bits, abi::Int64 attribute,
                                                     abi::Id* bufId) {
    return T().MbufAlloc2d(sysId, sizeX, sizeY, bits, attribute, bufId);
}
KORVANE_EXPORT void KORVANE_MILCALL MilOrdinal125(abi::Id bufId, abi::Int x, abi::Int y,
                                                  abi::Int sizeX, abi::Int sizeY, abi::Out dest) {
    T().MbufGet2d(bufId, x, y, sizeX, sizeY, dest);
}
KORVANE_EXPORT void KORVANE_MILCALL MilOrdinal123(abi::Id bufId) {
    T().MbufFree(bufId);
}

// The exports are the table's types exactly (this does not compile
// otherwise).
[[maybe_unused]] constexpr korvane::mil::MilApi kExported = {
    MilOrdinal1648, MilOrdinal101, MilOrdinal106,  MilOrdinal102,  MilOrdinal103, MilOrdinal1641,
    MilOrdinal276,  MilOrdinal274, MilOrdinal275,  MilOrdinal1647, MilOrdinal147, MilOrdinal141,
    MilOrdinal148,  MilOrdinal142, MilOrdinal1506, MilOrdinal109,  MilOrdinal125, MilOrdinal123,
};

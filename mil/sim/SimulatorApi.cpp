#include "mil/sim/SimulatorApi.h"

#include <exception>

#include "mil/MilError.h"
#include "mil/sim/Simulator.h"

namespace korvane::mil::sim {
namespace {

// Every entry clears the calling thread's error first and never lets an
// exception reach the caller, which may be a C host.
template <typename Result, typename Call>
Result Guarded(const char* operation, Result failed, Call&& call) {
    ClearThreadError();
    try {
        return call(Simulator::Instance());
    } catch (const std::exception& e) {
        SetThreadError(kErrorResources, "%s: %s", operation, e.what());
    } catch (...) {
        SetThreadError(kErrorResources, "%s: internal error", operation);
    }
    return failed;
}

template <typename Call>
void GuardedVoid(const char* operation, Call&& call) {
    Guarded(operation, 0, [&](Simulator& sim) {
        call(sim);
        return 0;
    });
}

MilId AppAlloc(MilInt /*initFlag*/, MilId* appId) {
    return Guarded("MappAlloc", MilId{0}, [&](Simulator& sim) { return sim.AppAlloc(appId); });
}

void AppControl(MilInt type, MilInt value) {
    GuardedVoid("MappControl", [&](Simulator& sim) { sim.AppControl(type, value); });
}

MilInt AppInquire(MilInt type, void* out) {
    return Guarded("MappInquire", MilInt{0},
                   [&](Simulator& sim) { return sim.AppInquire(type, out); });
}

void AppFree(MilId appId) {
    GuardedVoid("MappFree", [&](Simulator& sim) { sim.AppFree(appId); });
}

// The error query reads the thread's error; it must not clear it.
MilInt AppGetError(MilInt type, void* out) {
    return QueryThreadError(type, out);
}

MilId SysAlloc(const char* descriptor, MilInt devNum, MilInt /*initFlag*/, MilId* sysId) {
    return Guarded("MsysAlloc", MilId{0},
                   [&](Simulator& sim) { return sim.SysAlloc(descriptor, devNum, sysId); });
}

MilInt SysInquire(MilId sysId, MilInt type, void* out) {
    return Guarded("MsysInquire", MilInt{0},
                   [&](Simulator& sim) { return sim.SysInquire(sysId, type, out); });
}

void SysControl(MilId sysId, MilInt type, std::int32_t value) {
    GuardedVoid("MsysControl", [&](Simulator& sim) { sim.SysControl(sysId, type, value); });
}

void SysFree(MilId sysId) {
    GuardedVoid("MsysFree", [&](Simulator& sim) { sim.SysFree(sysId); });
}

MilId DigAlloc(MilId sysId, MilInt devNum, const char* dcf, MilInt /*initFlag*/, MilId* digId) {
    return Guarded("MdigAlloc", MilId{0},
                   [&](Simulator& sim) { return sim.DigAlloc(sysId, devNum, dcf, digId); });
}

MilInt DigInquire(MilId digId, MilInt type, void* out) {
    return Guarded("MdigInquire", MilInt{0},
                   [&](Simulator& sim) { return sim.DigInquire(digId, type, out); });
}

void DigControl(MilId digId, MilInt type, double value) {
    GuardedVoid("MdigControl", [&](Simulator& sim) { sim.DigControl(digId, type, value); });
}

void DigLut(MilId digId, MilInt lut) {
    GuardedVoid("MdigLut", [&](Simulator& sim) { sim.DigLut(digId, lut); });
}

void DigFree(MilId digId) {
    GuardedVoid("MdigFree", [&](Simulator& sim) { sim.DigFree(digId); });
}

void DigProcess(MilId digId, MilId* buffers, MilInt count, MilInt operation, MilInt flag,
                void* hook, void* /*user*/) {
    GuardedVoid("MdigProcess", [&](Simulator& sim) {
        sim.DigProcess(digId, buffers, count, operation, flag, hook);
    });
}

MilId BufAlloc2d(MilId sysId, MilInt sizeX, MilInt sizeY, MilInt bits, MilInt attribute,
                 MilId* bufId) {
    return Guarded("MbufAlloc2d", MilId{0}, [&](Simulator& sim) {
        return sim.BufAlloc2d(sysId, sizeX, sizeY, bits, attribute, bufId);
    });
}

void BufGet2d(MilId bufId, MilInt x, MilInt y, MilInt sizeX, MilInt sizeY, void* dest) {
    GuardedVoid("MbufGet2d",
                [&](Simulator& sim) { sim.BufGet2d(bufId, x, y, sizeX, sizeY, dest); });
}

void BufFree(MilId bufId) {
    GuardedVoid("MbufFree", [&](Simulator& sim) { sim.BufFree(bufId); });
}

constexpr MilApi kTable = {
    AppAlloc,   AppControl, AppInquire, AppFree,    AppGetError, SysAlloc,
    SysInquire, SysControl, SysFree,    DigAlloc,   DigInquire,  DigControl,
    DigLut,     DigFree,    DigProcess, BufAlloc2d, BufGet2d,    BufFree,
};

}  // namespace

const MilApi& SimulatorApi() {
    return kTable;
}

}  // namespace korvane::mil::sim

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

// The exports take the library's widths; the simulator works on the camera
// layer's wide integers. Types come back without sign (they are bit
// patterns), values with it.
MilInt Type(abi::Int type) {
    return abi::TypeFromLibrary(type);
}

abi::Id KORVANE_MILCALL AppAlloc(abi::Int /*initFlag*/, abi::Id* appId) {
    return Guarded("MappAlloc", MilId{0}, [&](Simulator& sim) { return sim.AppAlloc(appId); });
}

void KORVANE_MILCALL AppControl(abi::Int type, abi::Int value) {
    GuardedVoid("MappControl", [&](Simulator& sim) { sim.AppControl(Type(type), value); });
}

abi::Int KORVANE_MILCALL AppInquire(abi::Int type, abi::Out out) {
    return Guarded("MappInquire", abi::Int{0}, [&](Simulator& sim) {
        return static_cast<abi::Int>(sim.AppInquire(Type(type), out));
    });
}

void KORVANE_MILCALL AppFree(abi::Id appId) {
    GuardedVoid("MappFree", [&](Simulator& sim) { sim.AppFree(appId); });
}

// The error query reads the thread's error; it must not clear it.
abi::Int KORVANE_MILCALL AppGetError(abi::Int type, abi::Out out) {
    return static_cast<abi::Int>(QueryThreadError(Type(type), out));
}

abi::Id KORVANE_MILCALL SysAlloc(abi::Text descriptor, abi::Int devNum, abi::Int /*initFlag*/,
                                 abi::Id* sysId) {
    return Guarded("MsysAlloc", MilId{0},
                   [&](Simulator& sim) { return sim.SysAlloc(descriptor, devNum, sysId); });
}

abi::Int KORVANE_MILCALL SysInquire(abi::Id sysId, abi::Int type, abi::Out out) {
    return Guarded("MsysInquire", abi::Int{0}, [&](Simulator& sim) {
        return static_cast<abi::Int>(sim.SysInquire(sysId, Type(type), out));
    });
}

void KORVANE_MILCALL SysControl(abi::Id sysId, abi::Int type, abi::Int value) {
    GuardedVoid("MsysControl", [&](Simulator& sim) {
        sim.SysControl(sysId, Type(type), static_cast<std::int32_t>(value));
    });
}

void KORVANE_MILCALL SysFree(abi::Id sysId) {
    GuardedVoid("MsysFree", [&](Simulator& sim) { sim.SysFree(sysId); });
}

abi::Id KORVANE_MILCALL DigAlloc(abi::Id sysId, abi::Int devNum, abi::Text dcf,
                                 abi::Int /*initFlag*/, abi::Id* digId) {
    return Guarded("MdigAlloc", MilId{0},
                   [&](Simulator& sim) { return sim.DigAlloc(sysId, devNum, dcf, digId); });
}

abi::Int KORVANE_MILCALL DigInquire(abi::Id digId, abi::Int64 type, abi::Out out) {
    return Guarded("MdigInquire", abi::Int{0}, [&](Simulator& sim) {
        return static_cast<abi::Int>(sim.DigInquire(digId, type, out));
    });
}

void KORVANE_MILCALL DigControl(abi::Id digId, abi::Int64 type, abi::Double value) {
    GuardedVoid("MdigControl", [&](Simulator& sim) { sim.DigControl(digId, type, value); });
}

void KORVANE_MILCALL DigLut(abi::Id digId, abi::Int lut) {
    GuardedVoid("MdigLut", [&](Simulator& sim) { sim.DigLut(digId, lut); });
}

void KORVANE_MILCALL DigFree(abi::Id digId) {
    GuardedVoid("MdigFree", [&](Simulator& sim) { sim.DigFree(digId); });
}

void KORVANE_MILCALL DigProcess(abi::Id digId, abi::Id* buffers, abi::Int count, abi::Int operation,
                                abi::Int flag, abi::Hook hook, abi::User /*user*/) {
    GuardedVoid("MdigProcess", [&](Simulator& sim) {
        sim.DigProcess(digId, buffers, count, operation, flag, hook);
    });
}

abi::Id KORVANE_MILCALL BufAlloc2d(abi::Id sysId, abi::Int sizeX, abi::Int sizeY, abi::Int bits,
                                   abi::Int64 attribute, abi::Id* bufId) {
    return Guarded("MbufAlloc2d", MilId{0}, [&](Simulator& sim) {
        return sim.BufAlloc2d(sysId, sizeX, sizeY, bits, attribute, bufId);
    });
}

void KORVANE_MILCALL BufGet2d(abi::Id bufId, abi::Int x, abi::Int y, abi::Int sizeX, abi::Int sizeY,
                              abi::Out dest) {
    GuardedVoid("MbufGet2d",
                [&](Simulator& sim) { sim.BufGet2d(bufId, x, y, sizeX, sizeY, dest); });
}

void KORVANE_MILCALL BufFree(abi::Id bufId) {
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

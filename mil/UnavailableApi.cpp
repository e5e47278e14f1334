#include "mil/UnavailableApi.h"

#include <mutex>

#include "mil/MilError.h"
#include "platform/ThreadSafety.h"

namespace korvane::mil {
namespace {

platform::CheckedMutex reasonMutex;
std::string reasonText KORVANE_GUARDED_BY(reasonMutex);

void Fail() {
    std::string reason;
    {
        platform::LockGuard lock(reasonMutex);
        reason = reasonText;
    }
    SetThreadError(kErrorUnavailable, "%s", reason.c_str());
}

MilId FailId(MilId* out) {
    if (out != nullptr) {
        *out = 0;
    }
    Fail();
    return 0;
}

abi::Id KORVANE_MILCALL AppAlloc(abi::Int, abi::Id* appId) {
    return FailId(appId);
}
void KORVANE_MILCALL AppControl(abi::Int, abi::Int) {
    Fail();
}
abi::Int KORVANE_MILCALL AppInquire(abi::Int, abi::Out) {
    return Fail(), 0;
}
void KORVANE_MILCALL AppFree(abi::Id) {
    Fail();
}
abi::Int KORVANE_MILCALL AppGetError(abi::Int type, abi::Out out) {
    return static_cast<abi::Int>(QueryThreadError(abi::TypeFromLibrary(type), out));
}
abi::Id KORVANE_MILCALL SysAlloc(abi::Text, abi::Int, abi::Int, abi::Id* sysId) {
    return FailId(sysId);
}
abi::Int KORVANE_MILCALL SysInquire(abi::Id, abi::Int, abi::Out) {
    return Fail(), 0;
}
void KORVANE_MILCALL SysControl(abi::Id, abi::Int, abi::Int) {
    Fail();
}
void KORVANE_MILCALL SysFree(abi::Id) {
    Fail();
}
abi::Id KORVANE_MILCALL DigAlloc(abi::Id, abi::Int, abi::Text, abi::Int, abi::Id* digId) {
    return FailId(digId);
}
abi::Int KORVANE_MILCALL DigInquire(abi::Id, abi::Int64, abi::Out) {
    return Fail(), 0;
}
void KORVANE_MILCALL DigControl(abi::Id, abi::Int64, abi::Double) {
    Fail();
}
void KORVANE_MILCALL DigLut(abi::Id, abi::Int) {
    Fail();
}
void KORVANE_MILCALL DigFree(abi::Id) {
    Fail();
}
void KORVANE_MILCALL DigProcess(abi::Id, abi::Id*, abi::Int, abi::Int, abi::Int, abi::Hook,
                                abi::User) {
    Fail();
}
abi::Id KORVANE_MILCALL BufAlloc2d(abi::Id, abi::Int, abi::Int, abi::Int, abi::Int64,
                                   abi::Id* bufId) {
    return FailId(bufId);
}
void KORVANE_MILCALL BufGet2d(abi::Id, abi::Int, abi::Int, abi::Int, abi::Int, abi::Out) {
    Fail();
}
void KORVANE_MILCALL BufFree(abi::Id) {
    Fail();
}

constexpr MilApi kTable = {
    AppAlloc,   AppControl, AppInquire, AppFree,    AppGetError, SysAlloc,
    SysInquire, SysControl, SysFree,    DigAlloc,   DigInquire,  DigControl,
    DigLut,     DigFree,    DigProcess, BufAlloc2d, BufGet2d,    BufFree,
};

}  // namespace

const MilApi& UnavailableApi(const std::string& reason) {
    platform::LockGuard lock(reasonMutex);
    reasonText = reason;
    return kTable;
}

}  // namespace korvane::mil

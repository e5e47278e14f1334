#include "mil/UnavailableApi.h"

#include <mutex>

#include "mil/MilError.h"

namespace korvane::mil {
namespace {

std::mutex reasonMutex;
std::string reasonText;  // guarded by reasonMutex

void Fail() {
    std::string reason;
    {
        std::lock_guard lock(reasonMutex);
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

MilId AppAlloc(MilInt, MilId* appId) {
    return FailId(appId);
}
void AppControl(MilInt, MilInt) {
    Fail();
}
MilInt AppInquire(MilInt, void*) {
    return Fail(), 0;
}
void AppFree(MilId) {
    Fail();
}
MilInt AppGetError(MilInt type, void* out) {
    return QueryThreadError(type, out);
}
MilId SysAlloc(const char*, MilInt, MilInt, MilId* sysId) {
    return FailId(sysId);
}
MilInt SysInquire(MilId, MilInt, void*) {
    return Fail(), 0;
}
void SysControl(MilId, MilInt, std::int32_t) {
    Fail();
}
void SysFree(MilId) {
    Fail();
}
MilId DigAlloc(MilId, MilInt, const char*, MilInt, MilId* digId) {
    return FailId(digId);
}
MilInt DigInquire(MilId, MilInt, void*) {
    return Fail(), 0;
}
void DigControl(MilId, MilInt, double) {
    Fail();
}
void DigLut(MilId, MilInt) {
    Fail();
}
void DigFree(MilId) {
    Fail();
}
void DigProcess(MilId, MilId*, MilInt, MilInt, MilInt, void*, void*) {
    Fail();
}
MilId BufAlloc2d(MilId, MilInt, MilInt, MilInt, MilInt, MilId* bufId) {
    return FailId(bufId);
}
void BufGet2d(MilId, MilInt, MilInt, MilInt, MilInt, void*) {
    Fail();
}
void BufFree(MilId) {
    Fail();
}

constexpr MilApi kTable = {
    AppAlloc,   AppControl, AppInquire, AppFree,    AppGetError, SysAlloc,
    SysInquire, SysControl, SysFree,    DigAlloc,   DigInquire,  DigControl,
    DigLut,     DigFree,    DigProcess, BufAlloc2d, BufGet2d,    BufFree,
};

}  // namespace

const MilApi& UnavailableApi(const std::string& reason) {
    std::lock_guard lock(reasonMutex);
    reasonText = reason;
    return kTable;
}

}  // namespace korvane::mil

#pragma once
// The camera layer's calls into the imaging library. This is the one place
// where the camera layer's values meet the library's widths:
//  - a type or value that does not fit the library's integer is refused with
//    a level-1 log line and the library is not called (never truncated);
//  - every output the library fills is a zeroed slot of at least 8 bytes
//    owned by this class, narrowed afterwards: a library writing 64 bits
//    where 32 were expected (64-bit vendor versions differ) cannot overrun
//    a caller's variable.
#include <cstddef>

#include "mil/MilApi.h"

namespace korvane::mil {

class MilCalls {
  public:
    explicit MilCalls(const MilApi& api) : api_(api) {}

    // Allocations answer the identifier, 0 on failure or refusal.
    MilId MappAlloc(MilInt initFlag);
    bool MappControl(MilInt type, MilInt value);
    // An integer inquiry: the value written through the output (0 when
    // refused or unanswered).
    MilInt MappInquire(MilInt type);
    // A text inquiry into size bytes, always NUL-terminated.
    bool MappInquireText(MilInt type, char* text, std::size_t size);
    void MappFree(MilId appId);
    // The error query's answer (the pending code); with text, the message
    // too (kErrorTextSize bytes, NUL-terminated).
    MilInt MappGetError(MilInt type);
    MilInt MappGetErrorText(char (&text)[kErrorTextSize]);

    MilId MsysAlloc(const char* descriptor, int devNum, MilInt initFlag);
    // The inquiry's result; value (when not null) receives what the library
    // wrote through the output.
    MilInt MsysInquire(MilId sysId, MilInt type, MilInt* value = nullptr);
    bool MsysInquireText(MilId sysId, MilInt type, char* text, std::size_t size);
    bool MsysControl(MilId sysId, MilInt type, MilInt value);
    void MsysFree(MilId sysId);

    MilId MdigAlloc(MilId sysId, int devNum, const char* dcf, MilInt initFlag);
    // An inquiry of any type: the result, with room for whatever the type
    // writes through the output.
    MilInt MdigInquire(MilId digId, MilInt type);
    // A real-valued inquiry: value receives the double the library wrote
    // (left as it was when nothing was written).
    MilInt MdigInquire(MilId digId, MilInt type, double& value);
    void MdigControl(MilId digId, MilInt type, double value);
    bool MdigLut(MilId digId, MilInt lut);
    void MdigFree(MilId digId);
    bool MdigProcess(MilId digId, MilId* buffers, int count, MilInt operation,
                     MilInt operationFlag);

    MilId MbufAlloc2d(MilId sysId, int sizeX, int sizeY, int bits, MilInt attribute);
    // Reached by every delivered row: inline, and nothing to convert (an int
    // always fits the library's integer).
    void MbufGet2d(MilId bufId, int x, int y, int sizeX, int sizeY, void* dest) const {
        api_.MbufGet2d(bufId, x, y, sizeX, sizeY, dest);
    }
    void MbufFree(MilId bufId);

  private:
    const MilApi& api_;
};

static_assert(sizeof(int) <= sizeof(abi::Int), "an int must fit the library's integer");

// The calls through the table in use.
inline MilCalls Calls() {
    return MilCalls(Api());
}

}  // namespace korvane::mil

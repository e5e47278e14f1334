#include "mil/MilCalls.h"

#include <cstring>

#include "driver/DriverLog.h"

namespace korvane::mil {
namespace {

constexpr int kIntBits = static_cast<int>(sizeof(abi::Int) * 8);

// What the library writes through one output: an identifier or an integer of
// either width, or a double. Zeroed, and 8 bytes whatever the library's
// widths, so a 64-bit write lands inside it; read back at the width asked
// for (the low bytes: every target is little-endian).
class Slot {
  public:
    abi::Out Out() { return bytes_; }
    template <typename T>
    T As() const {
        static_assert(sizeof(T) <= sizeof bytes_);
        T value;
        std::memcpy(&value, bytes_, sizeof value);
        return value;
    }

  private:
    alignas(8) unsigned char bytes_[8] = {};
};
static_assert(sizeof(Slot) >= sizeof(void*) && sizeof(Slot) >= sizeof(std::int64_t));

// Room for any answer an inquiry of an unknown type may write.
struct Scratch {
    alignas(8) unsigned char bytes[64] = {};
};

bool CheckType(const char* operation, MilInt type) {
    if (abi::TypeFits(type)) {
        return true;
    }
    KLOG(kError,
         "MilCalls: ERROR: %s: type %lld (0x%llx) does not fit the library's %d-bit integer, "
         "call refused\n",
         operation, static_cast<long long>(type), static_cast<unsigned long long>(type), kIntBits);
    return false;
}

bool CheckValue(const char* operation, const char* what, MilInt value) {
    if (abi::ValueFits(value)) {
        return true;
    }
    KLOG(kError,
         "MilCalls: ERROR: %s: %s %lld does not fit the library's %d-bit integer, call refused\n",
         operation, what, static_cast<long long>(value), kIntBits);
    return false;
}

void Terminate(char* text, std::size_t size) {
    if (text != nullptr && size > 0) {
        text[size - 1] = '\0';
    }
}

}  // namespace

MilId MilCalls::MappAlloc(MilInt initFlag) {
    if (!CheckValue("MappAlloc", "init flag", initFlag)) {
        return 0;
    }
    Slot id;
    api_.MappAlloc(static_cast<abi::Int>(initFlag), static_cast<abi::Id*>(id.Out()));
    return id.As<abi::Id>();
}

bool MilCalls::MappControl(MilInt type, MilInt value) {
    if (!CheckType("MappControl", type) || !CheckValue("MappControl", "value", value)) {
        return false;
    }
    api_.MappControl(abi::TypeToLibrary(type), static_cast<abi::Int>(value));
    return true;
}

MilInt MilCalls::MappInquire(MilInt type) {
    if (!CheckType("MappInquire", type)) {
        return 0;
    }
    Slot value;
    api_.MappInquire(abi::TypeToLibrary(type), value.Out());
    return value.As<abi::Int>();
}

bool MilCalls::MappInquireText(MilInt type, char* text, std::size_t size) {
    Terminate(text, size);
    if (!CheckType("MappInquire", type)) {
        return false;
    }
    api_.MappInquire(abi::TypeToLibrary(type), text);
    Terminate(text, size);
    return true;
}

void MilCalls::MappFree(MilId appId) {
    api_.MappFree(appId);
}

MilInt MilCalls::MappGetError(MilInt type) {
    if (!CheckType("MappGetError", type)) {
        return 0;
    }
    Slot code;
    return api_.MappGetError(abi::TypeToLibrary(type), code.Out());
}

MilInt MilCalls::MappGetErrorText(char (&text)[kErrorTextSize]) {
    text[0] = '\0';
    const MilInt code = api_.MappGetError(abi::TypeToLibrary(M_MESSAGE_CURRENT), text);
    Terminate(text, sizeof text);
    return code;
}

MilId MilCalls::MsysAlloc(const char* descriptor, int devNum, MilInt initFlag) {
    if (!CheckValue("MsysAlloc", "init flag", initFlag)) {
        return 0;
    }
    Slot id;
    api_.MsysAlloc(descriptor, devNum, static_cast<abi::Int>(initFlag),
                   static_cast<abi::Id*>(id.Out()));
    return id.As<abi::Id>();
}

MilInt MilCalls::MsysInquire(MilId sysId, MilInt type, MilInt* value) {
    if (!CheckType("MsysInquire", type)) {
        return 0;
    }
    Slot out;
    const MilInt result = api_.MsysInquire(sysId, abi::TypeToLibrary(type), out.Out());
    if (value != nullptr) {
        *value = out.As<abi::Int>();
    }
    return result;
}

bool MilCalls::MsysInquireText(MilId sysId, MilInt type, char* text, std::size_t size) {
    Terminate(text, size);
    if (!CheckType("MsysInquire", type)) {
        return false;
    }
    api_.MsysInquire(sysId, abi::TypeToLibrary(type), text);
    Terminate(text, size);
    return true;
}

bool MilCalls::MsysControl(MilId sysId, MilInt type, MilInt value) {
    if (!CheckType("MsysControl", type) || !CheckValue("MsysControl", "value", value)) {
        return false;
    }
    api_.MsysControl(sysId, abi::TypeToLibrary(type), static_cast<abi::Int>(value));
    return true;
}

void MilCalls::MsysFree(MilId sysId) {
    api_.MsysFree(sysId);
}

MilId MilCalls::MdigAlloc(MilId sysId, int devNum, const char* dcf, MilInt initFlag) {
    if (!CheckValue("MdigAlloc", "init flag", initFlag)) {
        return 0;
    }
    Slot id;
    api_.MdigAlloc(sysId, devNum, dcf, static_cast<abi::Int>(initFlag),
                   static_cast<abi::Id*>(id.Out()));
    return id.As<abi::Id>();
}

MilInt MilCalls::MdigInquire(MilId digId, MilInt type) {
    Scratch scratch;
    return api_.MdigInquire(digId, type, scratch.bytes);
}

MilInt MilCalls::MdigInquire(MilId digId, MilInt type, double& value) {
    Slot out;
    const MilInt result = api_.MdigInquire(digId, type, out.Out());
    value = out.As<double>();
    return result;
}

void MilCalls::MdigControl(MilId digId, MilInt type, double value) {
    api_.MdigControl(digId, type, value);
}

bool MilCalls::MdigLut(MilId digId, MilInt lut) {
    if (!CheckValue("MdigLut", "LUT identifier", lut)) {
        return false;
    }
    api_.MdigLut(digId, static_cast<abi::Int>(lut));
    return true;
}

void MilCalls::MdigFree(MilId digId) {
    api_.MdigFree(digId);
}

bool MilCalls::MdigProcess(MilId digId, MilId* buffers, int count, MilInt operation,
                           MilInt operationFlag) {
    if (!CheckValue("MdigProcess", "operation", operation) ||
        !CheckValue("MdigProcess", "operation flag", operationFlag)) {
        return false;
    }
    api_.MdigProcess(digId, buffers, count, static_cast<abi::Int>(operation),
                     static_cast<abi::Int>(operationFlag), nullptr, nullptr);
    return true;
}

MilId MilCalls::MbufAlloc2d(MilId sysId, int sizeX, int sizeY, int bits, MilInt attribute) {
    Slot id;
    const abi::Id answer =
        api_.MbufAlloc2d(sysId, sizeX, sizeY, bits, attribute, static_cast<abi::Id*>(id.Out()));
    // Both must name the buffer: an answer without the output (or the other
    // way round) is a failed allocation.
    return answer != 0 ? id.As<abi::Id>() : 0;
}

void MilCalls::MbufFree(MilId bufId) {
    api_.MbufFree(bufId);
}

}  // namespace korvane::mil

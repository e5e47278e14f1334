#pragma once
// The imaging library as the camera layer sees it: one table of the library
// operations the driver uses, in the library's own argument order. Which
// backend fills the table (the built-in simulator or the vendor library bound
// by ordinal) is decided here and nowhere else.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <type_traits>

// Every export of the vendor library uses the callee-pops convention on
// Windows. It only changes the code on i686 (x86_64 has one convention), but
// there a mismatch unbalances the stack after every call.
#if defined(_WIN32)
#define KORVANE_MILCALL __stdcall
#else
#define KORVANE_MILCALL
#endif

namespace korvane::mil {

// The library's own widths, named after what each argument is.
namespace abi {
using Id = std::int32_t;  // identifiers, 0 = none
#if defined(_WIN64)
using Int = std::int64_t;  // the library's plain integer on 64-bit Windows
#else
// 32-bit Windows, and the shared-object stand-in, which keeps the widths of
// the production target so that every narrowing is exercised on Linux too.
using Int = std::int32_t;
#endif
using Int64 = std::int64_t;  // digitizer inquiry and control types, buffer attribute
using Double = double;       // control values
using Text = const char*;    // NUL-terminated input text
using Out = void*;           // written by the library: an Int, a double or text
using Hook = void*;          // a grab hook; the driver passes none
using User = void*;          // the hook's user data
}  // namespace abi

using MilId = abi::Id;
// The camera layer's integers (types, answers): wide enough for every width
// the library uses. MilCalls.h converts them to the library's widths.
using MilInt = std::int64_t;

inline constexpr MilInt M_DEFAULT = 0x10000000;
inline constexpr MilInt M_ENABLE = -9997;
inline constexpr MilInt M_DISABLE = -9999;

// Application.
inline constexpr MilInt M_ERROR = 0x40000000;  // application control: error printing
inline constexpr MilInt M_PRINT_DISABLE = 0;
inline constexpr MilInt M_INSTALLED_SYSTEM_COUNT = 15063;
inline constexpr MilInt M_INSTALLED_SYSTEM_DESCRIPTOR = 82336;  // + system index
inline constexpr MilInt M_CURRENT = 2;                          // error query: pending error code
inline constexpr MilInt M_MESSAGE_CURRENT = 0x20000102;         // error query: pending error text
inline constexpr int kErrorTextSize = 128;
inline constexpr int kDescriptorSize = 260;

// System inquiries and controls.
inline constexpr MilInt M_ASYNCHRONOUS_CALL_SUPPORT = 4376;
inline constexpr MilInt M_NUMBER = 1009;
inline constexpr MilInt M_SERIAL_NUMBER = 73239;
inline constexpr MilInt M_DIGITIZER_NUM = 2004;
inline constexpr MilInt M_USER_BIT_OUT = 0xA4000000;     // + bit 4..7: set an output bit
inline constexpr MilInt M_USER_BIT_IN = 0xA8000000;      // + bit 0..3: read an input bit
inline constexpr MilInt M_AUX_IN_DEBOUNCE = 0xD0000000;  // + input 0..3
inline constexpr MilInt M_TRIGGER_DEBOUNCE = 0xD0000008;
inline constexpr MilInt M_AUX_OUT = 0x20000000;  // + output 4..7

// Digitizer inquiries and controls.
inline constexpr MilInt M_SIZE_X = 1536;
inline constexpr MilInt M_SIZE_Y = 1537;
inline constexpr MilInt M_GRAB_MODE_4016 = 4016;
inline constexpr MilInt M_GAIN = 4019;
inline constexpr MilInt M_SOURCE_SIZE_X = 4022;
inline constexpr MilInt M_SOURCE_SIZE_Y = 4023;
inline constexpr MilInt M_SOURCE_OFFSET_X = 4024;
inline constexpr MilInt M_SOURCE_OFFSET_Y = 4025;
inline constexpr MilInt M_GRAB_TRIGGER_SOURCE = 4053;
inline constexpr MilInt M_GRAB_TRIGGER_MODE = 4054;
inline constexpr MilInt M_GRAB_EXPOSURE = 4150;
inline constexpr MilInt M_STROBE_TIMER_STATE = 4152;
inline constexpr MilInt M_STROBE_SOURCE = 4162;
inline constexpr MilInt M_STROBE_POLARITY = 4172;
inline constexpr MilInt M_GRAB_TRIGGER = 4200;
inline constexpr MilInt M_GRAB_DIRECTION_X = 4230;
inline constexpr MilInt M_GRAB_DIRECTION_Y = 4231;
inline constexpr MilInt M_LIGHTING_BRIGHT_FIELD = 4382;
inline constexpr MilInt M_STROBE_HIDRIVE = 4419;
inline constexpr MilInt M_STROBE_HIDRIVE_TIME = 4420;
inline constexpr MilInt M_EXPOSURE_TIME = 6610;
inline constexpr MilInt M_STROBE_TIME = 6612;
inline constexpr MilInt M_EXPOSURE_DELAY = 6620;
inline constexpr MilInt M_STROBE_DELAY = 6622;
inline constexpr MilInt M_MIN_VALUE = 0x2000000;  // added to a type: its lower limit
inline constexpr MilInt M_MAX_VALUE = 0x4000000;  // added to a type: its upper limit
inline constexpr MilInt M_DIRECTION_FORWARD = 1;
inline constexpr MilInt M_DIRECTION_REVERSE = 4;

// MdigProcess operations and flag.
inline constexpr MilInt M_STOP = 4;
inline constexpr MilInt M_SEQUENCE = 8;
inline constexpr MilInt M_SYNCHRONOUS = 1;

// Buffer attribute of a grab buffer (image, grab).
inline constexpr MilInt M_IMAGE_GRAB = 12;

// The operations in the library's argument order, with the library's
// widths and convention. The ordinal binding, the simulator's exports and
// the camera layer (through MilCalls) all use these types.
struct MilApi {
    abi::Id(KORVANE_MILCALL* MappAlloc)(abi::Int initFlag, abi::Id* appId);     // 1648
    void(KORVANE_MILCALL* MappControl)(abi::Int type, abi::Int value);          // 101
    abi::Int(KORVANE_MILCALL* MappInquire)(abi::Int type, abi::Out out);        // 106
    void(KORVANE_MILCALL* MappFree)(abi::Id appId);                             // 102
    abi::Int(KORVANE_MILCALL* MappGetError)(abi::Int type, abi::Out out);       // 103
    abi::Id(KORVANE_MILCALL* MsysAlloc)(abi::Text descriptor, abi::Int devNum,  // 1641
                                        abi::Int initFlag, abi::Id* sysId);
    abi::Int(KORVANE_MILCALL* MsysInquire)(abi::Id sysId, abi::Int type, abi::Out out);  // 276
    void(KORVANE_MILCALL* MsysControl)(abi::Id sysId, abi::Int type, abi::Int value);    // 274
    void(KORVANE_MILCALL* MsysFree)(abi::Id sysId);                                      // 275
    abi::Id(KORVANE_MILCALL* MdigAlloc)(abi::Id sysId, abi::Int devNum, abi::Text dcf,   // 1647
                                        abi::Int initFlag, abi::Id* digId);
    abi::Int(KORVANE_MILCALL* MdigInquire)(abi::Id digId, abi::Int64 type, abi::Out out);   // 147
    void(KORVANE_MILCALL* MdigControl)(abi::Id digId, abi::Int64 type, abi::Double value);  // 141
    void(KORVANE_MILCALL* MdigLut)(abi::Id digId, abi::Int lut);                            // 148
    void(KORVANE_MILCALL* MdigFree)(abi::Id digId);                                         // 142
    void(KORVANE_MILCALL* MdigProcess)(abi::Id digId, abi::Id* buffers, abi::Int count,     // 1506
                                       abi::Int operation, abi::Int operationFlag, abi::Hook hook,
                                       abi::User user);
    abi::Id(KORVANE_MILCALL* MbufAlloc2d)(abi::Id sysId, abi::Int sizeX, abi::Int sizeY,  // 109
                                          abi::Int bits, abi::Int64 attribute, abi::Id* bufId);
    void(KORVANE_MILCALL* MbufGet2d)(abi::Id bufId, abi::Int x, abi::Int y,  // 125
                                     abi::Int sizeX, abi::Int sizeY, abi::Out dest);
    void(KORVANE_MILCALL* MbufFree)(abi::Id bufId);  // 123
};

namespace abi {
// Matches only functions of the library's convention; answers the bytes
// their arguments take on the i686 stack (pointers 4, 8-byte values 8,
// narrower ones a 4-byte slot).
template <typename Function>
struct LibraryCall;
template <typename Result, typename... Args>
struct LibraryCall<Result(KORVANE_MILCALL*)(Args...)> {
    template <typename T>
    static constexpr std::size_t Slot() {
        return std::is_pointer_v<T> ? 4 : (sizeof(T) + 3) / 4 * 4;
    }
    static constexpr std::size_t i686Bytes = (std::size_t{0} + ... + Slot<Args>());
    static constexpr bool resultFits = std::is_void_v<Result> || sizeof(Result) <= 8;
};
}  // namespace abi

// What the output pointers receive: the allocations write the identifier
// (0 on failure); MappInquire writes an abi::Int count, or the descriptor
// text into kDescriptorSize bytes; MsysInquire writes an abi::Int, or for
// M_SERIAL_NUMBER the text into kErrorTextSize bytes; MdigInquire writes a
// double for the real-valued types (exposure, strobe and delay times, and
// their + M_MIN_VALUE / + M_MAX_VALUE limits), an abi::Int for every other
// type; MappGetError writes the code (M_CURRENT, abi::Int) or the text
// (M_MESSAGE_CURRENT, kErrorTextSize bytes).

namespace abi {
// Inquiry and control types are bit patterns (M_USER_BIT_OUT is 0xA4000000):
// a 32-bit type carries any value of 32 bits, read back without sign.
inline constexpr MilInt TypeFromLibrary(Int type) {
    if constexpr (sizeof(Int) < sizeof(MilInt)) {
        return static_cast<MilInt>(static_cast<std::make_unsigned_t<Int>>(type));
    } else {
        return type;
    }
}
inline constexpr bool TypeFits(MilInt type) {
    if constexpr (sizeof(Int) < sizeof(MilInt)) {
        using Bits = std::make_unsigned_t<Int>;
        return type >= std::numeric_limits<Int>::min() &&
               type <= static_cast<MilInt>(std::numeric_limits<Bits>::max());
    } else {
        return true;
    }
}
inline constexpr Int TypeToLibrary(MilInt type) {
    return static_cast<Int>(static_cast<std::make_unsigned_t<Int>>(type));
}
// Plain integer values (sizes, counts, flags) are signed.
inline constexpr bool ValueFits(MilInt value) {
    return value >= std::numeric_limits<Int>::min() && value <= std::numeric_limits<Int>::max();
}
}  // namespace abi

// Chooses the backend (once per application allocation): the environment
// variable KORVANE_MIL names it ("sim" for the simulator, or a library path
// to bind by ordinal). Without it the platform default applies: the
// simulator on Linux, MIL.dll on Windows. On failure answers null and says
// why in error; Api() then fails every call with that reason, so a missing
// library never turns into simulated cameras.
const MilApi* SelectBackend(std::string& error);

// The table in use; the simulator's until SelectBackend chose another.
const MilApi& Api();

}  // namespace korvane::mil

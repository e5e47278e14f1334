#pragma once
// The imaging library as the camera layer sees it: one table of the library
// operations the driver uses, in the library's own argument order. Which
// backend fills the table (the built-in simulator or the vendor library bound
// by ordinal) is decided here and nowhere else.
#include <cstdint>
#include <string>

namespace korvane::mil {

using MilId = std::int32_t;   // library identifier, 0 = none
using MilInt = std::int64_t;  // inquiry and control types, inquired values

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

struct MilApi {
    MilId (*MappAlloc)(MilInt initFlag, MilId* appId);                          // 1648
    void (*MappControl)(MilInt type, MilInt value);                             // 101
    MilInt (*MappInquire)(MilInt type, void* out);                              // 106
    void (*MappFree)(MilId appId);                                              // 102
    MilInt (*MappGetError)(MilInt type, void* out);                             // 103
    MilId (*MsysAlloc)(const char* descriptor, MilInt devNum, MilInt initFlag,  // 1641
                       MilId* sysId);
    MilInt (*MsysInquire)(MilId sysId, MilInt type, void* out);         // 276
    void (*MsysControl)(MilId sysId, MilInt type, std::int32_t value);  // 274
    void (*MsysFree)(MilId sysId);                                      // 275
    MilId (*MdigAlloc)(MilId sysId, MilInt devNum, const char* dcf,     // 1647
                       MilInt initFlag, MilId* digId);
    MilInt (*MdigInquire)(MilId digId, MilInt type, void* out);     // 147
    void (*MdigControl)(MilId digId, MilInt type, double value);    // 141
    void (*MdigLut)(MilId digId, MilInt lut);                       // 148
    void (*MdigFree)(MilId digId);                                  // 142
    void (*MdigProcess)(MilId digId, MilId* buffers, MilInt count,  // 1506
                        MilInt operation, MilInt operationFlag, void* hook, void* user);
    MilId (*MbufAlloc2d)(MilId sysId, MilInt sizeX, MilInt sizeY, MilInt bits,  // 109
                         MilInt attribute, MilId* bufId);
    void (*MbufGet2d)(MilId bufId, MilInt x, MilInt y, MilInt sizeX,  // 125
                      MilInt sizeY, void* dest);
    void (*MbufFree)(MilId bufId);  // 123
};

// What the output pointers receive: the allocations write the identifier
// (0 on failure); MappInquire writes a MilInt count, or the descriptor text
// into kDescriptorSize bytes; MsysInquire writes a MilInt, or for
// M_SERIAL_NUMBER the text into kErrorTextSize bytes; MdigInquire writes a
// double for the real-valued types (exposure, strobe and delay times, and
// their + M_MIN_VALUE / + M_MAX_VALUE limits), a MilInt for every other
// type; MappGetError writes the code (M_CURRENT, MilInt) or the text
// (M_MESSAGE_CURRENT, kErrorTextSize bytes).

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

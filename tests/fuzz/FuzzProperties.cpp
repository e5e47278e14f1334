// Fuzzes the property doors of an opened simulated camera: arbitrary names
// and values through set, get and the range query, mixed with grabs and row
// reads, so that settings changed while open (size, depth, LUT) meet the row
// delivery. Input: a sequence of operations, each one byte (operation),
// four bytes (value, little-endian), one byte (name length) and the name.
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "camera/CommandParser.h"
#include "tests/fuzz/FuzzCamera.h"

namespace {

using korvane::fuzz::Check;

// Settings whose value the host reads back exactly as it set it.
bool IsPlainSetting(const char* name) {
    for (const char* plain :
         {"LogLevel", "LogIntoFile", "Use16bit", "Shift16bit", "UseLUT", "Gain"}) {
        if (korvane::EqualsNoCase(name, plain)) {
            return true;
        }
    }
    return false;
}

bool IsSize(const char* name) {
    return korvane::EqualsNoCase(name, "Width") || korvane::EqualsNoCase(name, "Height");
}

// Names whose set sends something to the digitizer or the board.
bool ReachesHardware(const char* name) {
    for (const char* sent :
         {"MdigControl", "SoftwareTrigger", "Gain", "Exposure", "ExposureDelay"}) {
        if (korvane::EqualsNoCase(name, sent)) {
            return true;
        }
    }
    return korvane::StartsWithNoCase(name, "UserBit");
}

void GrabAndWait(korvane::MilDigitizer& camera) {
    if (!camera.Grab()) {
        return;
    }
    // A frame time of 0: anything beyond a few seconds is a hang.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (camera.grabInProgress()) {
        Check(std::chrono::steady_clock::now() < deadline);
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
}

// Rows as the host asks for them, sized by the host's idea of the width:
// the camera must refuse what its buffer cannot serve.
void ReadRows(korvane::MilDigitizer& camera, std::int32_t value) {
    int width = 0;
    int height = 0;
    camera.GetProperty("Width", &width);
    camera.GetProperty("Height", &height);
    const int row = static_cast<int>(value & 0xFFFF) - 2;
    const std::uint32_t first = static_cast<std::uint32_t>(value >> 16) & 0x7F;
    const std::uint32_t last =
        width > 0 ? static_cast<std::uint32_t>(width - 1) : static_cast<std::uint32_t>(value >> 23);
    const std::size_t span = last >= first ? last - first + 1 : 1;
    if (span > (1u << 20)) {
        return;
    }
    std::vector<std::uint8_t> dest(span);
    camera.GetRow(dest.data(), row, first, last);
    if (height > 0) {
        camera.GetRow(dest.data(), height - 1, first, last);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    korvane::fuzz::FuzzCamera& fixture = korvane::fuzz::Camera();
    // Each input starts from the camera as it was opened: a reset of its
    // settings, or a whole reopen after an input that reached the digitizer
    // or the board (whose state a settings reset does not bring back).
    static bool reachedHardware = false;
    if (reachedHardware) {
        fixture.Reopen();
    } else {
        fixture.Reset();
    }
    reachedHardware = false;
    korvane::MilDigitizer& camera = fixture.camera();

    std::size_t at = 0;
    while (at + 6 <= size) {
        const std::uint8_t op = data[at];
        const std::int32_t value =
            static_cast<std::int32_t>(static_cast<std::uint32_t>(data[at + 1]) |
                                      static_cast<std::uint32_t>(data[at + 2]) << 8 |
                                      static_cast<std::uint32_t>(data[at + 3]) << 16 |
                                      static_cast<std::uint32_t>(data[at + 4]) << 24);
        const std::size_t nameLength = data[at + 5] % 40;
        at += 6;
        const std::size_t take = nameLength < size - at ? nameLength : size - at;
        const std::string raw(reinterpret_cast<const char*>(data + at), take);
        at += take;
        const std::string name(raw.c_str());  // the host hands NUL-terminated names

        switch (op % 6) {
            case 0: {
                reachedHardware = reachedHardware || ReachesHardware(name.c_str());
                int before = 0;
                const bool known = camera.GetProperty(name.c_str(), &before);
                const bool set = camera.SetProperty(name.c_str(), value);
                int back = 0;
                if (IsSize(name.c_str())) {
                    // A size the digitizer cannot give is refused and
                    // changes nothing.
                    const korvane::Param<int>& side = korvane::EqualsNoCase(name.c_str(), "Width")
                                                          ? camera.settings().Width
                                                          : camera.settings().Height;
                    const bool fits = value >= korvane::CameraSettings::SizeMinimum(side) &&
                                      value <= side.maxValue;
                    Check(known && set == fits);
                    Check(camera.GetProperty(name.c_str(), &back) &&
                          back == (fits ? value : before));
                } else if (IsPlainSetting(name.c_str())) {
                    Check(set);
                    Check(camera.GetProperty(name.c_str(), &back) && back == value);
                }
                break;
            }
            case 1: {
                int out = 0;
                camera.GetProperty(name.c_str(), &out);
                break;
            }
            case 2: {
                int low = 0;
                int high = 0;
                if (camera.GetPropertyRange(name.c_str(), &low, &high)) {
                    Check(low <= high);
                }
                break;
            }
            case 3:
                GrabAndWait(camera);
                break;
            case 4:
                ReadRows(camera, value);
                break;
            default: {
                int out = 0;
                int high = 0;
                Check(!camera.SetProperty(nullptr, value));
                Check(!camera.GetProperty(nullptr, &out));
                Check(!camera.GetPropertyRange(nullptr, &out, &high));
                break;
            }
        }
    }
    camera.SetContinuousGrab(false);
    return 0;
}

// Fuzzes the INI reader and writer with arbitrary file contents: loading a
// camera's settings must not crash, and a write must land where a read finds
// it without disturbing any other section.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "driver/DriverLog.h"
#include "platform/IniProfile.h"
#include "settings/CameraSettings.h"
#include "tests/fuzz/FuzzScratch.h"

namespace {

korvane::fuzz::ScratchDir& Scratch() {
    static korvane::fuzz::ScratchDir dir;
    return dir;
}

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvane;
    static const bool ready = [] {
        DriverLog::Instance().SetLevel(0);
        return DriverLog::Instance().SetSystemPath(Scratch().path().c_str());
    }();
    Check(ready);
    const std::string path = DriverLog::Instance().GetIniPath();
    fuzz::WriteBytes(path, data, size);

    CameraSettings settings;
    settings.Load("Camera 1");
    settings.Load("camera 2");

    const std::string otherBefore = platform::IniReadString(path, "Camera 2", "Gain", "<none>");
    const int intBefore = platform::IniReadInt(path, "Camera 2", "Width", -12345);
    Check(otherBefore.size() <= platform::kIniMaxValueLength);

    if (platform::IniWriteString(path, "Camera 1", "FuzzKey", "fuzz value 1")) {
        Check(platform::IniReadString(path, "camera 1", "fuzzkey", "") == "fuzz value 1");
        Check(platform::IniReadString(path, "Camera 2", "Gain", "<none>") == otherBefore);
        Check(platform::IniReadInt(path, "Camera 2", "Width", -12345) == intBefore);
    }
    // A whole save and a load of what it wrote give the same values back.
    settings.Gain.value = 17;
    settings.ShareName.value = " 'quoted' ";
    settings.DCF_FILE.value = "\"cam.dcf\"";
    if (settings.Save("Camera 1")) {
        CameraSettings loaded;
        loaded.Load("Camera 1");
        Check(loaded.Gain.value == 17);
        Check(loaded.ShareName.value == settings.ShareName.value);
        Check(loaded.DCF_FILE.value == settings.DCF_FILE.value);
    }
    return 0;
}

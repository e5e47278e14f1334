#include "tests/support/HostFixture.h"

#include <cstdlib>
#include <sstream>

namespace korvane::test {

void HostTest::SetUp() {
    unsetenv("KORVANE_SIM_CONFIG");
#if defined(_WIN32)
    // Windows binds the vendor library by default; the host tests run the
    // driver against the simulator DLL through the same ordinal binding.
    setenv("KORVANE_MIL", KORVANE_SIM_LIBRARY_PATH, 1);
#else
    unsetenv("KORVANE_MIL");
#endif
    WriteIni(IniWithLogLevel4());
    d().setDebugMsgProc(&LogCapture::Callback);
}

void HostTest::TearDown() {
    d().finalize();
    d().setDebugMsgProc(nullptr);
    unsetenv("KORVANE_SIM_CONFIG");
}

void HostTest::UseSimulator(const std::string& config) {
    WriteFile(dir_.File("sim.ini"), config);
    setenv("KORVANE_SIM_CONFIG", dir_.File("sim.ini").c_str(), 1);
}

void HostTest::WriteIni(const std::string& text) {
    WriteFile(dir_.File("Korvane.ini"), text);
}

std::string HostTest::ReadIni() const {
    return ReadFile(dir_.File("Korvane.ini"));
}

int HostTest::Initialize() {
    return d().initialize(systemPath().c_str(), &LogCapture::Callback);
}

void HostTest::RaiseLogLevel() {
    const char* config = std::getenv("KORVANE_SIM_CONFIG");
    const std::string saved = config != nullptr ? config : "";
    unsetenv("KORVANE_SIM_CONFIG");
    const std::string ini = ReadIni();
    Initialize();
    int size[2] = {0, 0};
    d().openXELPort(0, 77, "Camera 1", size);
    d().closeXELPort(0, 77);
    d().finalize();
    WriteIni(ini);  // what the close saved must not leak into the test
    if (!saved.empty()) {
        setenv("KORVANE_SIM_CONFIG", saved.c_str(), 1);
    }
    log_.Clear();
}

std::vector<int> HostTest::OpenCamera(const char* name, int port) {
    int size[2] = {-1, -1};
    EXPECT_EQ(d().openXELPort(0, port, name, size), 1) << "opening " << name;
    return {size[0], size[1]};
}

std::vector<unsigned char> HostTest::Row(int port, int row, int first, int last) {
    std::vector<unsigned char> pixels(static_cast<std::size_t>(last - first + 1), 0);
    if (d().getXELGrabRow(0, port, pixels.data(), row, first, last) != 1) {
        return {};
    }
    return pixels;
}

std::string SimOneBoard(int digitizers, int width, int height, int bits,
                        const std::string& digitizerExtra) {
    std::ostringstream out;
    out << "[System0]\nDescriptor=M_SYSTEM_SOLIOS\nSerial=SIM-0001\nAsyncSupport=1\nDigitizers="
        << digitizers << "\n";
    for (int i = 0; i < digitizers; ++i) {
        out << "[System0.Digitizer" << i << "]\nWidth=" << width << "\nHeight=" << height
            << "\nBits=" << bits << "\nFrameTimeMs=0\n"
            << digitizerExtra;
    }
    return out.str();
}

std::string IniWithLogLevel4(const std::vector<std::string>& cameras) {
    std::string text;
    for (const auto& camera : cameras) {
        text += "[" + camera + "]\nLogLevel=4\n";
    }
    return text;
}

}  // namespace korvane::test

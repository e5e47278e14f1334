#pragma once
// A simulator test: the simulator reset, a configuration file of the test's
// own (KORVANE_SIM_CONFIG) and short-hands for the calls tests repeat.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "driver/DriverLog.h"
#include "mil/MilApi.h"
#include "mil/sim/SimulatorApi.h"
#include "mil/sim/SimulatorControl.h"
#include "tests/support/TempDir.h"

namespace korvane::test {

class SimTest : public ::testing::Test {
  protected:
    using MilId = mil::MilId;
    using MilInt = mil::MilInt;

    void SetUp() override {
        mil::sim::ResetSimulator();
        unsetenv("KORVANE_SIM_CONFIG");
    }
    void TearDown() override {
        mil::sim::ResetSimulator();
        unsetenv("KORVANE_SIM_CONFIG");
        DriverLog::Instance().ResetForTesting();
    }

    void UseConfig(const std::string& text) {
        const std::string path = dir_.File("sim.ini");
        WriteFile(path, text);
        setenv("KORVANE_SIM_CONFIG", path.c_str(), 1);
    }

    const mil::MilApi& api() const { return mil::sim::SimulatorApi(); }

    bool Failed() const { return api().MappGetError(mil::M_CURRENT, nullptr) != 0; }
    std::string ErrorText() const {
        char text[mil::kErrorTextSize] = {};
        api().MappGetError(mil::M_MESSAGE_CURRENT, text);
        return text;
    }

    MilId App() {
        MilId app = 0;
        api().MappAlloc(mil::M_DEFAULT, &app);
        EXPECT_NE(app, 0) << ErrorText();
        return app;
    }
    MilId System(const char* descriptor = "M_SYSTEM_SOLIOS", MilInt dev = 0) {
        MilId sys = 0;
        api().MsysAlloc(descriptor, dev, 0, &sys);
        EXPECT_NE(sys, 0) << ErrorText();
        return sys;
    }
    MilId Digitizer(MilId sys, MilInt dev = 0, const char* dcf = "M_DEFAULT") {
        MilId dig = 0;
        api().MdigAlloc(sys, dev, dcf, mil::M_DEFAULT, &dig);
        return dig;
    }
    MilId Buffer(MilId sys, MilInt width, MilInt height, MilInt bits = 8) {
        MilId buf = 0;
        api().MbufAlloc2d(sys, width, height, bits, mil::M_IMAGE_GRAB, &buf);
        return buf;
    }
    // One synchronous grab into one buffer; true when no error followed.
    bool Grab(MilId dig, MilId buf) {
        api().MdigProcess(dig, &buf, 1, mil::M_SEQUENCE, mil::M_SYNCHRONOUS, nullptr, nullptr);
        return !Failed();
    }
    std::vector<unsigned char> Row8(MilId buf, MilInt y, MilInt width) {
        std::vector<unsigned char> row(static_cast<std::size_t>(width));
        api().MbufGet2d(buf, 0, y, width, 1, row.data());
        return row;
    }
    std::vector<std::uint16_t> Row16(MilId buf, MilInt y, MilInt width) {
        std::vector<std::uint16_t> row(static_cast<std::size_t>(width));
        api().MbufGet2d(buf, 0, y, width, 1, row.data());
        return row;
    }

    TempDir dir_;
};

// The sensor ramps, written out independently of the simulator.
inline unsigned Ramp8(long long sx, long long sy, long long n) {
    return static_cast<unsigned>((sx + 2 * sy + 3 * n) % 256);
}
inline unsigned Ramp16(long long sx, long long sy, long long n) {
    return static_cast<unsigned>((37 * sx + 101 * sy + 1009 * n) % 65536);
}

}  // namespace korvane::test

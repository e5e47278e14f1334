#pragma once
// A host test: a fresh system path, a simulator configuration of the test's
// choosing, the driver's log captured, and finalize at the end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/HostLibrary.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TempDir.h"

namespace korvane::test {

class HostTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Writes the simulator configuration used by the next initialize.
    void UseSimulator(const std::string& config);
    // Writes Korvane.ini in the system path.
    void WriteIni(const std::string& text);
    std::string ReadIni() const;
    // initialize with this test's system path and the capture callback.
    int Initialize();
    // The log level is only raised by opening a camera (it then follows the
    // camera's LogLevel, 4 in this fixture's INI) and survives finalize:
    // open and close the default simulated camera once.
    void RaiseLogLevel();
    // Opens a camera, expecting success, and answers its size.
    std::vector<int> OpenCamera(const char* name, int port);
    // One row through getXELGrabRow (empty when refused).
    std::vector<unsigned char> Row(int port, int row, int first, int last);

    const DriverExports& d() const { return Driver(); }
    const std::string& systemPath() const { return dir_.path(); }

    TempDir dir_;
    LogCapture log_;
};

// Simulator configurations used by several tests.
std::string SimOneBoard(int digitizers = 2, int width = 1280, int height = 960, int bits = 8,
                        const std::string& digitizerExtra = "");

// An INI that keeps the log at level 4 for the given cameras.
std::string IniWithLogLevel4(const std::vector<std::string>& cameras = {"Camera 1", "Camera 2"});

}  // namespace korvane::test

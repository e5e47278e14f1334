#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "mil/MilApi.h"
#include "mil/sim/SimulatorApi.h"
#include "mil/sim/SimulatorControl.h"
#include "tests/support/TempDir.h"

namespace korvane::mil {
namespace {

#ifdef _WIN32
constexpr const char* kSystemLibrary = "kernel32.dll";
constexpr const char* kFirstMissing = "ordinal 1648";
// The simulator built as a library of its own, exporting by ordinal.
constexpr const char* kSimulatorLibrary = KORVANE_SIM_LIBRARY_PATH;
#else
constexpr const char* kSystemLibrary = "libm.so.6";  // the C math library
constexpr const char* kFirstMissing = "MilOrdinal1648";
constexpr const char* kSimulatorLibrary = KORVANE_TOOLS_DIR "/libkorvane_milsim.so";
#endif

class Backend : public ::testing::Test {
  protected:
    void TearDown() override {
        // Back to the built-in simulator for the tests that follow.
        setenv("KORVANE_MIL", "sim", 1);
        std::string error;
        SelectBackend(error);
        unsetenv("KORVANE_MIL");
        sim::ResetSimulator();
    }
    std::string PendingError() const {
        char text[kErrorTextSize] = {};
        Api().MappGetError(M_MESSAGE_CURRENT, text);
        return text;
    }
};

TEST_F(Backend, SimulatorByDefaultAndByName) {
    unsetenv("KORVANE_MIL");
    std::string error;
#ifdef _WIN32
    // Windows binds the vendor library unless told otherwise: a production
    // PC never gets simulated cameras by accident (more in tests/win32).
    EXPECT_NE(SelectBackend(error), &sim::SimulatorApi());
#else
    EXPECT_EQ(SelectBackend(error), &sim::SimulatorApi());
    setenv("KORVANE_MIL", "", 1);
    EXPECT_EQ(SelectBackend(error), &sim::SimulatorApi());
#endif
    setenv("KORVANE_MIL", "sim", 1);
    EXPECT_EQ(SelectBackend(error), &sim::SimulatorApi());
    EXPECT_EQ(&Api(), &sim::SimulatorApi());
}

TEST_F(Backend, MissingLibraryFailsEveryCallWithItsName) {
    test::TempDir dir;
    const std::string path = dir.File("libnothing.so");
    setenv("KORVANE_MIL", path.c_str(), 1);
    std::string error;
    EXPECT_EQ(SelectBackend(error), nullptr);
    EXPECT_NE(error.find(path), std::string::npos) << error;

    // No silent fall-back to simulated cameras.
    MilId app = -1;
    EXPECT_EQ(Api().MappAlloc(M_DEFAULT, &app), 0);
    EXPECT_EQ(app, 0);
    EXPECT_NE(Api().MappGetError(M_CURRENT, nullptr), 0);
    EXPECT_NE(PendingError().find("libnothing"), std::string::npos) << PendingError();
}

TEST_F(Backend, LibraryWithoutTheExportsIsRefusedNamingTheFirstMissing) {
    // A system library loads but exports none of the operations.
    setenv("KORVANE_MIL", kSystemLibrary, 1);
    std::string error;
    EXPECT_EQ(SelectBackend(error), nullptr);
    EXPECT_NE(error.find(kFirstMissing), std::string::npos) << error;
    EXPECT_NE(error.find(kSystemLibrary), std::string::npos) << error;
}

TEST_F(Backend, BindsALibraryByOrdinalNames) {
    const std::string path = kSimulatorLibrary;
    setenv("KORVANE_MIL", path.c_str(), 1);
    std::string error;
    const MilApi* bound = SelectBackend(error);
    ASSERT_NE(bound, nullptr) << error;
    EXPECT_NE(bound, &sim::SimulatorApi());
    EXPECT_EQ(&Api(), bound);
    std::string again;
    EXPECT_EQ(SelectBackend(again), bound);  // bound once, reused

    // The library is a simulator of its own: the whole road works through
    // the bound table, and its errors come through its own error query.
    MilId app = 0;
    ASSERT_NE(bound->MappAlloc(M_DEFAULT, &app), 0);
    MilInt count = 0;
    bound->MappInquire(M_INSTALLED_SYSTEM_COUNT, &count);
    EXPECT_EQ(count, 1);
    MilId sys = 0;
    bound->MsysAlloc("M_SYSTEM_SOLIOS", 0, 0, &sys);
    MilId dig = 0;
    bound->MdigAlloc(sys, 0, "M_DEFAULT", M_DEFAULT, &dig);
    MilId buf = 0;
    bound->MbufAlloc2d(sys, 16, 2, 8, M_IMAGE_GRAB, &buf);
    bound->MdigProcess(dig, &buf, 1, M_SEQUENCE, M_SYNCHRONOUS, nullptr, nullptr);
    EXPECT_EQ(bound->MappGetError(M_CURRENT, nullptr), 0);
    unsigned char row[16] = {};
    bound->MbufGet2d(buf, 0, 1, 16, 1, row);
    EXPECT_EQ(row[4], (4 + 2 * 1 + 3 * 1) % 256);
    bound->MdigFree(dig + 1000);
    EXPECT_NE(bound->MappGetError(M_CURRENT, nullptr), 0);
    bound->MappFree(app);
    EXPECT_EQ(bound->MappGetError(M_CURRENT, nullptr), 0);

    // The library's simulator is not the built-in one.
    EXPECT_EQ(sim::LiveObjectCount(), 0u);
}

}  // namespace
}  // namespace korvane::mil

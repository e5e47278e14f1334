#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "driver/DriverLog.h"
#include "mil/MilApi.h"
#include "mil/MilCalls.h"
#include "mil/sim/SimulatorApi.h"
#include "mil/sim/SimulatorControl.h"
#include "tests/support/LogCapture.h"
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
    abi::Int count = 0;
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

// A library that writes 8 bytes into every output it gets, as a 64-bit
// vendor version with 64-bit identifiers does, and notes what each output
// held before and which operations ran.
struct WideWriter {
    std::vector<std::string> calls;
    bool outputsZeroed = true;
    abi::Int lastType = 0;
    abi::Int lastValue = 0;
    std::int64_t written = 0;  // what goes into every output
};
WideWriter* writer = nullptr;

void Write(const char* operation, void* out) {
    writer->calls.push_back(operation);
    if (out == nullptr) {
        return;
    }
    std::int64_t before = 0;
    std::memcpy(&before, out, sizeof before);
    writer->outputsZeroed = writer->outputsZeroed && before == 0;
    std::memcpy(out, &writer->written, sizeof writer->written);
}

abi::Id KORVANE_MILCALL WAppAlloc(abi::Int, abi::Id* id) {
    Write("MappAlloc", id);
    return 1;
}
void KORVANE_MILCALL WAppControl(abi::Int type, abi::Int value) {
    Write("MappControl", nullptr);
    writer->lastType = type;
    writer->lastValue = value;
}
abi::Int KORVANE_MILCALL WAppInquire(abi::Int type, abi::Out out) {
    Write("MappInquire", out);
    writer->lastType = type;
    return 1;
}
void KORVANE_MILCALL WAppFree(abi::Id) {
    Write("MappFree", nullptr);
}
abi::Int KORVANE_MILCALL WAppGetError(abi::Int, abi::Out out) {
    Write("MappGetError", out);
    return 0;
}
abi::Id KORVANE_MILCALL WSysAlloc(abi::Text, abi::Int, abi::Int, abi::Id* id) {
    Write("MsysAlloc", id);
    return 1;
}
abi::Int KORVANE_MILCALL WSysInquire(abi::Id, abi::Int type, abi::Out out) {
    Write("MsysInquire", out);
    writer->lastType = type;
    return 1;
}
void KORVANE_MILCALL WSysControl(abi::Id, abi::Int type, abi::Int value) {
    Write("MsysControl", nullptr);
    writer->lastType = type;
    writer->lastValue = value;
}
void KORVANE_MILCALL WSysFree(abi::Id) {
    Write("MsysFree", nullptr);
}
abi::Id KORVANE_MILCALL WDigAlloc(abi::Id, abi::Int, abi::Text, abi::Int, abi::Id* id) {
    Write("MdigAlloc", id);
    return 1;
}
abi::Int KORVANE_MILCALL WDigInquire(abi::Id, abi::Int64, abi::Out out) {
    Write("MdigInquire", out);
    return 1;
}
void KORVANE_MILCALL WDigControl(abi::Id, abi::Int64, abi::Double) {
    Write("MdigControl", nullptr);
}
void KORVANE_MILCALL WDigLut(abi::Id, abi::Int lut) {
    Write("MdigLut", nullptr);
    writer->lastValue = lut;
}
void KORVANE_MILCALL WDigFree(abi::Id) {
    Write("MdigFree", nullptr);
}
void KORVANE_MILCALL WDigProcess(abi::Id, abi::Id*, abi::Int, abi::Int, abi::Int, abi::Hook,
                                 abi::User) {
    Write("MdigProcess", nullptr);
}
abi::Id KORVANE_MILCALL WBufAlloc2d(abi::Id, abi::Int, abi::Int, abi::Int, abi::Int64,
                                    abi::Id* id) {
    Write("MbufAlloc2d", id);
    return 1;
}
void KORVANE_MILCALL WBufGet2d(abi::Id, abi::Int, abi::Int, abi::Int, abi::Int, abi::Out) {
    Write("MbufGet2d", nullptr);
}
void KORVANE_MILCALL WBufFree(abi::Id) {
    Write("MbufFree", nullptr);
}

constexpr MilApi kWideWriter = {
    WAppAlloc,   WAppControl, WAppInquire, WAppFree,    WAppGetError, WSysAlloc,
    WSysInquire, WSysControl, WSysFree,    WDigAlloc,   WDigInquire,  WDigControl,
    WDigLut,     WDigFree,    WDigProcess, WBufAlloc2d, WBufGet2d,    WBufFree,
};

class LibraryWidths : public ::testing::Test {
  protected:
    void SetUp() override {
        writer = &state;
        DriverLog::Instance().ResetForTesting();
        DriverLog::Instance().SetMessageProc(&test::LogCapture::Callback);
    }
    void TearDown() override {
        DriverLog::Instance().ResetForTesting();
        writer = nullptr;
    }
    WideWriter state;
    test::LogCapture capture;
    MilCalls calls{kWideWriter};
};

TEST_F(LibraryWidths, EightByteOutputsLandInZeroedSlotsAndAreNarrowed) {
    // Identifiers are 32 bits: a 64-bit write keeps its low half, and
    // nothing the caller owns sits in the upper one.
    state.written = 0x0000000700000005;
    EXPECT_EQ(calls.MappAlloc(M_DEFAULT), 5);
    EXPECT_EQ(calls.MsysAlloc("M_SYSTEM_SOLIOS", 0, 0), 5);
    EXPECT_EQ(calls.MdigAlloc(5, 0, "M_DEFAULT", M_DEFAULT), 5);
    EXPECT_EQ(calls.MbufAlloc2d(5, 16, 2, 8, M_IMAGE_GRAB), 5);

    // Integers come back at the library's width, with their sign.
    state.written = -3;
    EXPECT_EQ(calls.MappInquire(M_INSTALLED_SYSTEM_COUNT), -3);
    MilInt value = 99;
    EXPECT_EQ(calls.MsysInquire(5, M_NUMBER, &value), 1);
    EXPECT_EQ(value, -3);
    EXPECT_EQ(calls.MdigInquire(5, M_GAIN), 1);

    double real = 0;
    const double written = 2500.75;
    std::memcpy(&state.written, &written, sizeof written);
    calls.MdigInquire(5, M_EXPOSURE_TIME, real);
    EXPECT_EQ(real, 2500.75);
    calls.MappGetError(M_CURRENT);

    EXPECT_TRUE(state.outputsZeroed);
    EXPECT_EQ(state.calls.size(), 9u);
}

TEST_F(LibraryWidths, TypesTravelAsBitPatterns) {
    ASSERT_TRUE(calls.MsysControl(5, M_USER_BIT_OUT + 5, 1));
    EXPECT_EQ(abi::TypeFromLibrary(state.lastType), M_USER_BIT_OUT + 5);
    EXPECT_EQ(state.lastValue, 1);
    ASSERT_TRUE(calls.MappControl(M_ERROR, M_PRINT_DISABLE));
    EXPECT_EQ(abi::TypeFromLibrary(state.lastType), M_ERROR);
    ASSERT_TRUE(calls.MdigLut(5, M_DEFAULT));
    EXPECT_EQ(state.lastValue, M_DEFAULT);
    EXPECT_FALSE(capture.Contains("does not fit"));
}

TEST_F(LibraryWidths, ValuesBeyondTheLibraryIntegerAreRefusedAndLogged) {
    if (sizeof(abi::Int) == sizeof(MilInt)) {
        GTEST_SKIP() << "the library's integer is as wide as the camera layer's";
    }
    const MilInt tooWide = MilInt{1} << 40;
    EXPECT_FALSE(calls.MsysControl(5, M_USER_BIT_OUT + tooWide, 1));
    EXPECT_TRUE(capture.Contains("MsysControl: type")) << capture.Messages().size();
    EXPECT_FALSE(calls.MsysControl(5, M_AUX_OUT, tooWide));
    EXPECT_TRUE(capture.Contains("MsysControl: value 1099511627776 does not fit"));
    EXPECT_FALSE(calls.MappControl(M_ERROR, -tooWide));
    EXPECT_EQ(calls.MappInquire(M_INSTALLED_SYSTEM_DESCRIPTOR + tooWide), 0);
    EXPECT_EQ(calls.MappAlloc(tooWide), 0);
    EXPECT_EQ(calls.MdigAlloc(5, 0, "M_DEFAULT", tooWide), 0);
    EXPECT_FALSE(calls.MdigLut(5, tooWide));
    EXPECT_FALSE(calls.MdigProcess(5, nullptr, 1, M_SEQUENCE, tooWide));
    // Refused: the library never saw any of them.
    EXPECT_TRUE(state.calls.empty());
    EXPECT_EQ(capture.Count("does not fit the library's 32-bit integer, call refused"), 8u);
    // The largest bit pattern and the most negative value still fit.
    EXPECT_TRUE(calls.MsysControl(5, 0xFFFFFFFF, -2147483648LL));
    EXPECT_EQ(state.calls.size(), 1u);
}

}  // namespace
}  // namespace korvane::mil

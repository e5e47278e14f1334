#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "tests/mil/SimTestSupport.h"

namespace korvane::test {
namespace {

using Simulator = SimTest;
using namespace mil;

TEST_F(Simulator, ApplicationListsTheConfiguredSystems) {
    UseConfig(
        "[System0]\nDescriptor=M_SYSTEM_SOLIOS\n"
        "[System1]\nDescriptor=M_SYSTEM_HOST\n"
        "[System2]\nDescriptor=M_SYSTEM_SOLIOS\nSerial=XY-9\nDigitizers=1\n");
    App();
    abi::Int count = -1;
    EXPECT_EQ(api().MappInquire(M_INSTALLED_SYSTEM_COUNT, &count), 3);
    EXPECT_EQ(count, 3);
    char descriptor[kDescriptorSize];
    api().MappInquire(M_INSTALLED_SYSTEM_DESCRIPTOR + 1, descriptor);
    EXPECT_STREQ(descriptor, "M_SYSTEM_HOST");
    api().MappInquire(M_INSTALLED_SYSTEM_DESCRIPTOR + 3, descriptor);
    EXPECT_TRUE(Failed());

    // Device n of a descriptor is its n-th board.
    const MilId first = System("M_SYSTEM_SOLIOS", 0);
    const MilId second = System("M_SYSTEM_SOLIOS", 1);
    EXPECT_EQ(api().MsysInquire(first, M_NUMBER, nullptr), 0);
    abi::Int number = -1;
    EXPECT_EQ(api().MsysInquire(second, M_NUMBER, &number), 1);
    EXPECT_EQ(number, 1);
    char serial[kErrorTextSize];
    api().MsysInquire(second, M_SERIAL_NUMBER, serial);
    EXPECT_STREQ(serial, "XY-9");
    EXPECT_EQ(api().MsysInquire(second, M_DIGITIZER_NUM, nullptr), 1);
    EXPECT_EQ(api().MsysInquire(first, M_ASYNCHRONOUS_CALL_SUPPORT, nullptr), 1);

    MilId none = -1;
    EXPECT_EQ(api().MsysAlloc("M_SYSTEM_SOLIOS", 2, 0, &none), 0);
    EXPECT_EQ(none, 0);
    EXPECT_NE(ErrorText().find("M_SYSTEM_SOLIOS"), std::string::npos);
    EXPECT_EQ(api().MsysAlloc("M_SYSTEM_SOLIOS", 0, 0, &none), 0);  // already allocated
    EXPECT_TRUE(Failed());
}

TEST_F(Simulator, OnlyOneApplicationAndFreeReleasesEverything) {
    const MilId app = App();
    MilId again = -1;
    EXPECT_EQ(api().MappAlloc(M_DEFAULT, &again), 0);
    EXPECT_EQ(again, 0);
    EXPECT_TRUE(Failed());

    const MilId sys = System();
    const MilId dig = Digitizer(sys);
    ASSERT_NE(Buffer(sys, 8, 8), 0);
    ASSERT_NE(dig, 0);
    EXPECT_EQ(sim::LiveObjectCount(), 4u);

    api().MappFree(app + 1000);
    EXPECT_TRUE(Failed());
    api().MappFree(app);
    EXPECT_FALSE(Failed());
    EXPECT_EQ(sim::LiveObjectCount(), 0u);
    api().MdigFree(dig);  // gone with the application
    EXPECT_TRUE(Failed());
    EXPECT_EQ(api().MsysInquire(sys, M_NUMBER, nullptr), 0);
    EXPECT_TRUE(Failed());
}

TEST_F(Simulator, FreeingUnknownIdentifiersIsAnErrorNotACrash) {
    App();
    const MilId sys = System();
    for (MilId id : {0, -1, 12345}) {
        api().MbufFree(id);
        EXPECT_TRUE(Failed()) << id;
        api().MdigFree(id);
        EXPECT_TRUE(Failed()) << id;
        api().MsysFree(id);
        EXPECT_TRUE(Failed()) << id;
    }
    // An identifier of another kind is unknown too.
    api().MdigFree(sys);
    EXPECT_TRUE(Failed());
    const MilId buf = Buffer(sys, 4, 4);
    api().MbufFree(buf);
    EXPECT_FALSE(Failed());
    api().MbufFree(buf);
    EXPECT_TRUE(Failed());
}

TEST_F(Simulator, FreeingASystemTakesItsDigitizersAndBuffers) {
    App();
    const MilId sys = System();
    Digitizer(sys, 0);
    Buffer(sys, 4, 4);
    EXPECT_EQ(sim::LiveObjectCount(), 4u);
    api().MsysFree(sys);
    EXPECT_FALSE(Failed());
    EXPECT_EQ(sim::LiveObjectCount(), 1u);
    EXPECT_NE(System(), 0);  // the board can be allocated again
}

TEST_F(Simulator, DigitizerDevicesAreBoundedAndExclusive) {
    App();
    const MilId sys = System();
    EXPECT_EQ(Digitizer(sys, 2), 0);
    EXPECT_TRUE(Failed());
    EXPECT_EQ(Digitizer(sys, -1), 0);
    const MilId dig = Digitizer(sys, 1);
    ASSERT_NE(dig, 0);
    EXPECT_EQ(sim::DigitizerOf(0, 1), dig);
    EXPECT_EQ(Digitizer(sys, 1), 0);  // in use
    EXPECT_NE(ErrorText().find("already"), std::string::npos);
    api().MdigFree(dig);
    EXPECT_EQ(sim::DigitizerOf(0, 1), 0);
    EXPECT_NE(Digitizer(sys, 1), 0);
}

TEST_F(Simulator, InquiriesAtOpenAnswerDeviceDefaults) {
    App();
    const MilId dig = Digitizer(System());
    struct Expected {
        MilInt type;
        MilInt value;
    };
    for (const Expected& e : std::initializer_list<Expected>{{M_SIZE_X, 1280},
                                                             {M_SIZE_Y, 960},
                                                             {M_SOURCE_SIZE_X, 1280},
                                                             {M_SOURCE_SIZE_Y, 960},
                                                             {M_SOURCE_OFFSET_X, 0},
                                                             {M_SOURCE_OFFSET_Y, 0},
                                                             {M_GRAB_TRIGGER, M_DISABLE},
                                                             {M_GRAB_TRIGGER_SOURCE, 16},
                                                             {M_GRAB_TRIGGER_MODE, 13},
                                                             {M_GAIN, 0},
                                                             {M_LIGHTING_BRIGHT_FIELD, 255}}) {
        abi::Int out = -12345;
        EXPECT_EQ(api().MdigInquire(dig, e.type, &out), e.value) << e.type;
        EXPECT_EQ(out, e.value) << e.type;
        EXPECT_FALSE(Failed()) << e.type;
    }
    for (MilInt type : {M_EXPOSURE_TIME, M_EXPOSURE_DELAY, M_STROBE_TIME, M_STROBE_DELAY,
                        M_STROBE_HIDRIVE_TIME}) {
        double low = -1;
        double high = -1;
        api().MdigInquire(dig, type + M_MIN_VALUE, &low);
        api().MdigInquire(dig, type + M_MAX_VALUE, &high);
        EXPECT_FALSE(Failed()) << type;
        EXPECT_EQ(low, 0) << type;
        EXPECT_EQ(high, 1e9) << type;
    }
    api().MdigInquire(dig, 987654, nullptr);
    EXPECT_TRUE(Failed());
}

TEST_F(Simulator, ControlValuesAreAnsweredByInquiries) {
    App();
    const MilId dig = Digitizer(System());
    api().MdigControl(dig, M_EXPOSURE_TIME, 2500.75);
    api().MdigControl(dig, M_GAIN, 12);
    api().MdigControl(dig, M_GRAB_TRIGGER, M_ENABLE);
    api().MdigControl(dig, 777001, 42);  // a type the simulator knows nothing about
    ASSERT_FALSE(Failed()) << ErrorText();

    double exposure = 0;
    EXPECT_EQ(api().MdigInquire(dig, M_EXPOSURE_TIME, &exposure), 2500);
    EXPECT_EQ(exposure, 2500.75);
    abi::Int gain = 0;
    EXPECT_EQ(api().MdigInquire(dig, M_GAIN, &gain), 12);
    EXPECT_EQ(gain, 12);
    EXPECT_EQ(api().MdigInquire(dig, M_GRAB_TRIGGER, nullptr), M_ENABLE);
    EXPECT_EQ(api().MdigInquire(dig, 777001, nullptr), 42);

    // A software trigger is an event: the trigger state stays.
    api().MdigControl(dig, M_GRAB_TRIGGER, 1);
    EXPECT_FALSE(Failed());
    EXPECT_EQ(api().MdigInquire(dig, M_GRAB_TRIGGER, nullptr), M_ENABLE);
    double last = 0;
    ASSERT_TRUE(sim::LastControl(dig, M_GRAB_TRIGGER, last));
    EXPECT_EQ(last, 1);
    EXPECT_FALSE(sim::LastControl(dig, M_STROBE_DELAY, last));
}

TEST_F(Simulator, InvalidControlValuesAreRefusedAndKeepTheState) {
    App();
    const MilId dig = Digitizer(System());
    const struct {
        MilInt type;
        double value;
    } refused[] = {{M_GRAB_DIRECTION_X, 2}, {M_SOURCE_OFFSET_X, -1}, {M_EXPOSURE_TIME, -5},
                   {M_EXPOSURE_TIME, 2e9},  {M_GAIN, 256},           {M_SIZE_X, 640}};
    for (const auto& r : refused) {
        api().MdigControl(dig, r.type, r.value);
        EXPECT_TRUE(Failed()) << r.type << " " << r.value;
    }
    EXPECT_EQ(api().MdigInquire(dig, M_GRAB_DIRECTION_X, nullptr), M_DIRECTION_FORWARD);
    EXPECT_EQ(api().MdigInquire(dig, M_SIZE_X, nullptr), 1280);
}

TEST_F(Simulator, LutResetIsRecorded) {
    App();
    const MilId dig = Digitizer(System());
    EXPECT_EQ(sim::LutResetCount(dig), 0);
    api().MdigLut(dig, M_DEFAULT);
    EXPECT_FALSE(Failed());
    EXPECT_EQ(sim::LutResetCount(dig), 1);
    api().MdigLut(dig, 55);
    EXPECT_TRUE(Failed());
    EXPECT_EQ(sim::LutResetCount(dig), 1);
}

TEST_F(Simulator, UserInputBitsMirrorOutputBitsFourHigher) {
    App();
    const MilId sys = System();
    for (MilInt k = 0; k < 4; ++k) {
        EXPECT_EQ(api().MsysInquire(sys, M_USER_BIT_IN + k, nullptr), 0);
    }
    api().MsysControl(sys, M_USER_BIT_OUT + 6, 1);
    api().MsysControl(sys, M_USER_BIT_OUT + 4, 5);  // any non-zero value sets the bit
    ASSERT_FALSE(Failed());
    abi::Int bit = -1;
    EXPECT_EQ(api().MsysInquire(sys, M_USER_BIT_IN + 2, &bit), 1);
    EXPECT_EQ(bit, 1);
    EXPECT_EQ(api().MsysInquire(sys, M_USER_BIT_IN + 0, nullptr), 1);
    EXPECT_EQ(api().MsysInquire(sys, M_USER_BIT_IN + 1, nullptr), 0);
    api().MsysControl(sys, M_USER_BIT_OUT + 6, 0);
    EXPECT_EQ(api().MsysInquire(sys, M_USER_BIT_IN + 2, nullptr), 0);

    api().MsysControl(sys, M_USER_BIT_OUT + 1, 1);  // an input cannot be set
    EXPECT_TRUE(Failed());

    api().MsysControl(sys, static_cast<MilInt>(M_AUX_OUT + 5), 3);
    MilInt value = 0;
    ASSERT_TRUE(sim::LastSystemControl(sys, M_AUX_OUT + 5, value));
    EXPECT_EQ(value, 3);
}

TEST_F(Simulator, ErrorsBelongToTheirThread) {
    App();
    api().MdigFree(999);  // fails on this thread
    ASSERT_TRUE(Failed());
    const std::string text = ErrorText();
    EXPECT_NE(text.find("999"), std::string::npos) << text;

    bool otherSawError = true;
    bool otherOwnError = false;
    std::thread other([&] {
        otherSawError = Failed();
        api().MbufFree(4242);
        otherOwnError = Failed();
    });
    other.join();
    EXPECT_FALSE(otherSawError);
    EXPECT_TRUE(otherOwnError);
    EXPECT_EQ(ErrorText(), text);  // untouched by the other thread's failure

    // Reading the error does not clear it; the next call does.
    EXPECT_TRUE(Failed());
    api().MappInquire(M_INSTALLED_SYSTEM_COUNT, nullptr);
    EXPECT_FALSE(Failed());
    EXPECT_EQ(ErrorText(), "");
}

TEST_F(Simulator, ErrorTextIsBoundedAndTerminated) {
    App();
    const MilId sys = System();
    const std::string longPath = dir_.File(std::string(300, 'd') + ".dcf");
    EXPECT_EQ(Digitizer(sys, 0, longPath.c_str()), 0);
    char text[kErrorTextSize + 64];
    std::memset(text, 'x', sizeof text);
    EXPECT_NE(api().MappGetError(M_MESSAGE_CURRENT, text), 0);
    EXPECT_EQ(std::strlen(text), static_cast<std::size_t>(kErrorTextSize - 1));
    for (std::size_t i = kErrorTextSize; i < sizeof text; ++i) {
        ASSERT_EQ(text[i], 'x') << i;
    }
}

TEST_F(Simulator, AllocationFaults) {
    UseConfig("[Application]\nFailMappAlloc=1\n");
    MilId app = -1;
    EXPECT_EQ(api().MappAlloc(M_DEFAULT, &app), 0);
    EXPECT_EQ(app, 0);
    EXPECT_TRUE(Failed());

    UseConfig(
        "[System0]\nFailMsysAlloc=1\n"
        "[System1]\nFailMbufAlloc=1\nAsyncSupport=0\nDigitizers=1\n"
        "[System1.Digitizer0]\nFailMdigAlloc=1\n");
    App();
    MilId sys = -1;
    EXPECT_EQ(api().MsysAlloc("M_SYSTEM_SOLIOS", 0, 0, &sys), 0);
    EXPECT_TRUE(Failed());
    const MilId second = System("M_SYSTEM_SOLIOS", 1);
    EXPECT_EQ(api().MsysInquire(second, M_ASYNCHRONOUS_CALL_SUPPORT, nullptr), 0);
    EXPECT_EQ(Digitizer(second, 0), 0);
    EXPECT_TRUE(Failed());
    EXPECT_EQ(Buffer(second, 8, 8), 0);
    EXPECT_TRUE(Failed());
}

TEST_F(Simulator, ControlAndInquireFaults) {
    UseConfig("[System0.Digitizer0]\nFailControl=4019,6610\nFailInquire=4200,6620\n");
    App();
    const MilId dig = Digitizer(System());
    api().MdigControl(dig, M_GAIN, 3);
    EXPECT_TRUE(Failed());
    api().MdigControl(dig, M_EXPOSURE_TIME, 3);
    EXPECT_TRUE(Failed());
    api().MdigControl(dig, M_EXPOSURE_DELAY, 3);
    EXPECT_FALSE(Failed());
    EXPECT_EQ(api().MdigInquire(dig, M_GAIN, nullptr), 0);  // the refused value did not land

    api().MdigInquire(dig, M_GRAB_TRIGGER, nullptr);
    EXPECT_TRUE(Failed());
    double value = 0;
    api().MdigInquire(dig, M_EXPOSURE_DELAY + M_MAX_VALUE, &value);  // limits fail along
    EXPECT_TRUE(Failed());
    api().MdigInquire(dig, M_EXPOSURE_TIME, &value);
    EXPECT_FALSE(Failed());
}

TEST_F(Simulator, SizeZeroDigitizerReportsNoSize) {
    UseConfig("[System0.Digitizer1]\nSizeZero=1\n");
    App();
    const MilId sys = System();
    const MilId dig = Digitizer(sys, 1);
    ASSERT_NE(dig, 0);
    EXPECT_EQ(api().MdigInquire(dig, M_SIZE_X, nullptr), 0);
    EXPECT_EQ(api().MdigInquire(dig, M_SIZE_Y, nullptr), 0);
    EXPECT_EQ(api().MdigInquire(dig, M_SOURCE_SIZE_X, nullptr), 0);
    EXPECT_EQ(api().MdigInquire(Digitizer(sys, 0), M_SIZE_X, nullptr), 1280);
}

TEST_F(Simulator, BufferAllocationChecksItsArguments) {
    App();
    const MilId sys = System();
    EXPECT_EQ(Buffer(sys, 0, 10), 0);
    EXPECT_EQ(Buffer(sys, 10, -1), 0);
    EXPECT_EQ(Buffer(sys, 10, 10, 12), 0);
    EXPECT_EQ(Buffer(sys, 100000, 10), 0);
    MilId buf = -1;
    api().MbufAlloc2d(sys, 10, 10, 8, 4, &buf);
    EXPECT_EQ(buf, 0);
    EXPECT_TRUE(Failed());
    EXPECT_EQ(Buffer(sys + 500, 10, 10), 0);
    EXPECT_NE(Buffer(sys, 10, 10, 16), 0);
}

TEST_F(Simulator, BufferReadsNeverLeaveTheBuffer) {
    App();
    const MilId sys = System();
    const MilId dig = Digitizer(sys);
    const MilId buf8 = Buffer(sys, 16, 4, 8);
    const MilId buf16 = Buffer(sys, 16, 4, 16);
    ASSERT_TRUE(Grab(dig, buf8));

    unsigned char dest[64];
    const struct {
        MilInt x, y, w, h;
    } outside[] = {{1, 0, 16, 1},  {-1, 0, 4, 1},  {0, 4, 16, 1},
                   {0, -1, 16, 1}, {0, 0, 0, 1},   {0, 0, 16, 0},
                   {0, 3, 16, 2},  {15, 0, -2, 1}, {0x7FFFFFFFFFFFFFF0LL, 0, 32, 1}};
    for (const auto& r : outside) {
        std::memset(dest, 0xAB, sizeof dest);
        api().MbufGet2d(buf8, r.x, r.y, r.w, r.h, dest);
        EXPECT_TRUE(Failed()) << r.x << "," << r.y << " " << r.w << "x" << r.h;
        EXPECT_EQ(dest[0], 0xAB);
    }
    api().MbufGet2d(buf8, 0, 0, 16, 1, nullptr);
    EXPECT_TRUE(Failed());

    // A region inside: exactly its pixels, rows back to back.
    std::memset(dest, 0xAB, sizeof dest);
    api().MbufGet2d(buf8, 14, 2, 2, 2, dest);
    ASSERT_FALSE(Failed()) << ErrorText();
    EXPECT_EQ(dest[0], Ramp8(14, 2, 1));
    EXPECT_EQ(dest[3], Ramp8(15, 3, 1));
    EXPECT_EQ(dest[4], 0xAB);

    // A 16-bit buffer hands out two bytes per pixel.
    std::uint16_t words[20];
    std::fill(std::begin(words), std::end(words), 0xABCD);
    api().MbufGet2d(buf16, 0, 3, 16, 1, words);
    ASSERT_FALSE(Failed());
    EXPECT_EQ(words[15], 0);  // never grabbed
    EXPECT_EQ(words[16], 0xABCD);
}

TEST_F(Simulator, BuffersReadByThreadsThatHaveEndedCanBeFreedAndReplaced) {
    // Each thread remembers the last buffer it read. Threads ending after
    // reading, and the buffer then freed, must leave the library (and the
    // heap) sound: this once broke the Windows build at thread exit.
    App();
    const MilId sys = System();
    const MilId dig = Digitizer(sys);
    const MilId buf = Buffer(sys, 16, 4, 8);
    ASSERT_TRUE(Grab(dig, buf));
    for (int round = 0; round < 4; ++round) {
        std::vector<unsigned char> seen;
        bool failed = true;
        std::thread reader([&] {
            seen = Row8(buf, 1, 16);
            failed = Failed();
        });
        reader.join();
        EXPECT_FALSE(failed);
        ASSERT_EQ(seen.size(), 16u);
        EXPECT_EQ(seen[5], Ramp8(5, 1, 1));
    }
    // The main thread's remembered buffer goes stale with the free, and an
    // identifier freed is refused even where it was read last.
    EXPECT_EQ(Row8(buf, 0, 16)[3], Ramp8(3, 0, 1));
    api().MbufFree(buf);
    EXPECT_FALSE(Failed());
    unsigned char row[16];
    api().MbufGet2d(buf, 0, 0, 16, 1, row);
    EXPECT_TRUE(Failed());
    const MilId again = Buffer(sys, 16, 4, 16);
    ASSERT_NE(again, 0);
    std::thread other([&] { Row16(again, 0, 16); });
    other.join();
    EXPECT_EQ(Row16(again, 3, 16)[15], 0u);  // never grabbed
    EXPECT_FALSE(Failed());
}

}  // namespace
}  // namespace korvane::test

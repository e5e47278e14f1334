// The imaging library bound by ordinal from a real DLL (KorvaneSim.dll
// exports the simulator under the vendor ordinals, by number only), and
// what a missing library or ordinal does.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "mil/MilApi.h"
#include "platform/DynamicLibrary.h"
#include "platform/UiNotice.h"

namespace korvane {
namespace {

class Backend : public ::testing::Test {
  protected:
    void TearDown() override { unsetenv("KORVANE_MIL"); }
};

TEST_F(Backend, SimulatorDllIsBoundByOrdinalAndAnswersLikeTheLibrary) {
    setenv("KORVANE_MIL", KORVANE_SIM_LIBRARY_PATH, 1);
    std::string error;
    const mil::MilApi* api = mil::SelectBackend(error);
    ASSERT_NE(api, nullptr) << error;
    mil::MilId app = 0;
    EXPECT_NE(api->MappAlloc(mil::M_DEFAULT, &app), 0);
    EXPECT_NE(app, 0);
    mil::abi::Int systems = 0;
    api->MappInquire(mil::M_INSTALLED_SYSTEM_COUNT, &systems);
    EXPECT_GE(systems, 1);
    api->MappFree(app);
    EXPECT_EQ(&mil::Api(), api);
}

TEST_F(Backend, DefaultOnWindowsIsTheVendorLibraryNeverTheSimulator) {
    unsetenv("KORVANE_MIL");
    std::string error;
    // No vendor library is installed here: the choice fails, naming it, and
    // every call fails rather than simulating cameras.
    EXPECT_EQ(mil::SelectBackend(error), nullptr);
    EXPECT_NE(error.find("MIL.dll"), std::string::npos) << error;
    mil::MilId app = 1;
    EXPECT_EQ(mil::Api().MappAlloc(mil::M_DEFAULT, &app), 0);
    EXPECT_EQ(app, 0);
}

TEST_F(Backend, SimulatorOnlyWhenAskedFor) {
    setenv("KORVANE_MIL", "sim", 1);
    std::string error;
    ASSERT_NE(mil::SelectBackend(error), nullptr) << error;
    mil::MilId app = 0;
    EXPECT_NE(mil::Api().MappAlloc(mil::M_DEFAULT, &app), 0);
    mil::Api().MappFree(app);
}

TEST_F(Backend, LibraryWithoutTheOrdinalsNamesTheMissingOne) {
    // The driver DLL exports ordinals 1 to 19 only.
    setenv("KORVANE_MIL", KORVANE_LIBRARY_PATH, 1);
    std::string error;
    EXPECT_EQ(mil::SelectBackend(error), nullptr);
    EXPECT_NE(error.find("ordinal 1648"), std::string::npos) << error;
}

TEST(DynamicLibraryWin32, OrdinalsAndNamesResolveAndMissingOnesExplain) {
    platform::DynamicLibrary library;
    std::string error;
    ASSERT_TRUE(library.Open(KORVANE_LIBRARY_PATH, error)) << error;
    EXPECT_NE(library.Ordinal(1, error), nullptr) << error;
    EXPECT_EQ(library.Ordinal(1, error), library.Symbol("initialize", error));
    EXPECT_EQ(library.Ordinal(1648, error), nullptr);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(library.Symbol("MilOrdinal1648", error), nullptr);
    platform::DynamicLibrary missing;
    EXPECT_FALSE(missing.Open("C:\\no\\such\\library.dll", error));
    EXPECT_NE(error.find("126"), std::string::npos) << error;
}

TEST(NoticesWin32, InstalledAnswererIsAskedInsteadOfABox) {
    std::string seen;
    auto previous = platform::SetNoticeAnswerer(
        [&](const std::string& text, const std::string& caption, unsigned flags) {
            seen = caption + ":" + text + ":" + std::to_string(flags);
            return platform::kAnswerCancel;
        });
    EXPECT_EQ(platform::ShowNotice("grab running", "Korvane", platform::kBoxOkCancel),
              platform::kAnswerCancel);
    EXPECT_EQ(seen, "Korvane:grab running:1");
    platform::SetNoticeAnswerer(previous);
    EXPECT_TRUE(platform::NoticeUiAvailable());
}

}  // namespace
}  // namespace korvane

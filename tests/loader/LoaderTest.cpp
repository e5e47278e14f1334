// The host-side loader: where it looks, what it says when the library or an
// export is missing, and the one-call frame copy against the rows a host
// fetches itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "korvane/korvane_loader.h"
#include "loader/DriverLoader.h"
#include "tests/support/GrabWaiter.h"
#include "tests/support/HostFixture.h"
#include "tests/support/TempDir.h"

namespace korvane::test {
namespace {

// Sets an environment variable for one scope and restores it after.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
            had_ = true;
        }
        Set(value.c_str());
    }
    ~ScopedEnv() { had_ ? Set(old_.c_str()) : Set(nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    void Set(const char* value) {
#ifdef _WIN32
        _putenv_s(name_, value != nullptr ? value : "");
#else
        value != nullptr ? setenv(name_, value, 1) : unsetenv(name_);
#endif
    }
    const char* name_;
    std::string old_;
    bool had_ = false;
};

TEST(LoaderTest, MissingLibraryAndMissingExportAreNamed) {
    loader::Driver driver;
    std::string error;
    const TempDir dir;
    const std::string missing = dir.File("no-such-korvane-library");
    EXPECT_FALSE(driver.Load(missing, error));
    EXPECT_FALSE(driver.IsLoaded());
    EXPECT_NE(error.find("cannot load the Korvane library:"), std::string::npos) << error;
    EXPECT_NE(error.find(missing), std::string::npos) << error;

    // The loader's own shared library loads but is not a driver.
    EXPECT_FALSE(driver.Load(KORVANE_LOADER_LIBRARY_PATH, error));
    EXPECT_FALSE(driver.IsLoaded());
    EXPECT_NE(error.find("has no export named initialize"), std::string::npos) << error;
    EXPECT_EQ(driver->initialize, nullptr);
}

TEST(LoaderTest, ResolvesEveryExportOfTheDriver) {
    loader::Driver driver;
    std::string error;
    ASSERT_TRUE(driver.Load(DriverLibraryPath(), error)) << error;
    EXPECT_EQ(driver.Path(), DriverLibraryPath());
    ASSERT_EQ(loader::ExportNames().size(), 19u);
    for (const auto& name : loader::ExportNames()) {
        const std::string line = name + " T";
        EXPECT_NE(ExportedSymbolTable().find(line), std::string::npos) << name;
    }
    EXPECT_EQ(driver->getXELMaxNoOfPorts(), Driver().getXELMaxNoOfPorts());
    driver.Unload();
    EXPECT_FALSE(driver.IsLoaded());
    EXPECT_EQ(driver->getXELMaxNoOfPorts, nullptr);
}

TEST(LoaderTest, EnvironmentComesFirstAndBadPlacesAreSkipped) {
    const auto places = loader::DefaultLocations();
    {
        ScopedEnv env("KORVANE_LIBRARY", "/nonexistent/korvane-test.so");
        const auto withEnv = loader::DefaultLocations();
        ASSERT_FALSE(withEnv.empty());
        EXPECT_EQ(withEnv.front(), "/nonexistent/korvane-test.so");
        EXPECT_EQ(withEnv.size(), places.size() + 1);
        // The bad first place is passed over; the build's library answers.
        loader::Driver driver;
        std::string error;
        ASSERT_TRUE(driver.Load("", error)) << error;
        EXPECT_NE(driver.Path(), "/nonexistent/korvane-test.so");
    }
    {
        ScopedEnv env("KORVANE_LIBRARY", DriverLibraryPath());
        loader::Driver driver;
        std::string error;
        ASSERT_TRUE(driver.Load("", error)) << error;
        EXPECT_EQ(driver.Path(), DriverLibraryPath());
    }
}

TEST(LoaderCTest, ErrorsAreBoundedAndExportsFoundByName) {
    char error[24];
    std::memset(error, 'x', sizeof error);
    EXPECT_EQ(korvaneLoaderLoad("/nonexistent/korvane-test.so", error, sizeof error), nullptr);
    EXPECT_EQ(std::strlen(error), sizeof error - 1);
    EXPECT_EQ(std::string(error), std::string("cannot load the Korvane library:").substr(0, 23));

    KorvaneLoaderDriver* driver = korvaneLoaderLoad(DriverLibraryPath().c_str(), nullptr, 0);
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(std::string(korvaneLoaderLibraryPath(driver)), DriverLibraryPath());
    for (const auto& name : loader::ExportNames()) {
        EXPECT_NE(korvaneLoaderExport(driver, name.c_str()), nullptr) << name;
    }
    EXPECT_EQ(korvaneLoaderExport(driver, "korvaneLoaderLoad"), nullptr);
    EXPECT_EQ(korvaneLoaderExport(driver, nullptr), nullptr);
    unsigned char row[4];
    EXPECT_EQ(korvaneLoaderReadFrame(nullptr, 0, 1, row, 4, 1, 4), -1);
    korvaneLoaderUnload(driver);
    korvaneLoaderUnload(nullptr);
}

class ReadFrameTest : public HostTest {};

TEST_F(ReadFrameTest, CopiesEveryRowAtItsStride) {
    UseSimulator(SimOneBoard(1, 40, 12, 8));
    ASSERT_EQ(Initialize(), 1);
    ASSERT_EQ(OpenCamera("Camera 1", 1), (std::vector<int>{40, 12}));
    GrabWaiter waiter;
    ASSERT_EQ(d().setCompleteCallback(0, 1, &GrabWaiter::Callback), 1);
    ASSERT_EQ(d().doXELGrab(0, 1), 1);
    ASSERT_TRUE(waiter.WaitFor(1));

    constexpr int kStride = 48;
    std::vector<unsigned char> frame(kStride * 12, 0xEE);
    EXPECT_EQ(loader::ReadFrame(d(), 0, 1, frame.data(), 40, 12, kStride), 12);
    for (int y = 0; y < 12; ++y) {
        const auto row = Row(1, y, 0, 39);
        ASSERT_EQ(row.size(), 40u);
        EXPECT_TRUE(std::equal(row.begin(), row.end(), frame.begin() + y * kStride)) << y;
        for (int x = 40; x < kStride; ++x) {
            ASSERT_EQ(frame[y * kStride + x], 0xEE) << "padding of row " << y;
        }
    }

    // Fewer rows than the image, a row too wide for the stride, no buffer.
    EXPECT_EQ(loader::ReadFrame(d(), 0, 1, frame.data(), 40, 3, 40), 3);
    EXPECT_EQ(loader::ReadFrame(d(), 0, 1, frame.data(), 40, 2, 39), -1);
    EXPECT_EQ(loader::ReadFrame(d(), 0, 1, nullptr, 40, 2, 40), -1);
    EXPECT_EQ(loader::ReadFrame(d(), 0, 1, frame.data(), 0, 2, 40), -1);
    // Rows past the image are refused by the driver: the count says where.
    EXPECT_EQ(loader::ReadFrame(d(), 0, 1, frame.data(), 40, 14, 40), 12);
    // A port with no camera delivers nothing.
    EXPECT_EQ(loader::ReadFrame(d(), 0, 2, frame.data(), 40, 12, 40), 0);
}

}  // namespace
}  // namespace korvane::test

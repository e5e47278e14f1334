// configureCamera showing the camera property sheet in real windows. A
// second thread plays the user while the main thread sits in the call: it
// edits the frame-grabber page (an out-of-range width on the way), the
// exposure/trigger page, opens and cancels the LUT generator, and presses
// OK; the camera's INI file must then hold the new values. Pictures of each
// page go to the build tree's artifacts folder.
#include <gtest/gtest.h>

#include "tests/gui/GuiDriver.h"  // the Windows headers, before the common controls'

#include <commctrl.h>
#include <prsht.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/gui/WindowCapture.h"
#include "tests/support/HostFixture.h"

namespace korvane::test {
namespace {

// Control identifiers as the templates give them.
constexpr int kWidth = 1017;
constexpr int kWidthRange = 1050;
constexpr int kGain = 1016;
constexpr int kFlipX = 1065;
constexpr int kGenerateLut = 1007;
constexpr int kLutFile = 1048;
constexpr int kShareName = 1061;
constexpr int kUseTrigger = 1062;
constexpr int kTriggerSource = 1025;
constexpr int kExposure = 1036;
constexpr int kStrobeLevelRange = 1044;
constexpr int kLutLsb = 1082;
constexpr int kLutLsbRange = 1085;
constexpr int kApply = 12321;
constexpr int kHelp = 9;

const char* const kWidthNotInRange = "FrameGrabber Settings: Width not in range";

// What the user saw on the way, checked once the call has returned.
struct Seen {
    std::vector<std::string> missed;  // steps that could not be taken
    std::vector<std::string> pictures;
    bool okEnabledAtOpen = false;
    std::string statusAtOpen;
    bool applyVisible = true;
    bool helpVisible = true;
    RECT ok{};
    RECT cancel{};
    RECT pages{};  // the tab control
    std::string widthRange;
    bool lutFileEnabled = true;
    bool shareNameEnabled = true;
    std::string statusWidthOut;
    bool okEnabledWidthOut = true;
    std::string statusWidthBack;
    bool okEnabledWidthBack = false;
    std::string gainCleared;
    bool flipChecked = false;
    bool triggerSourceEnabledBefore = true;
    bool triggerSourceEnabledAfter = false;
    std::string triggerSourceShown;
    std::string strobeLevelRange;
    std::string lutLsbRange;
};

// The INI file has the line (Windows ends its lines with CR LF).
bool HasLine(const std::string& text, const std::string& line) {
    std::istringstream lines(text);
    std::string read;
    while (std::getline(lines, read)) {
        if (!read.empty() && read.back() == '\r') {
            read.pop_back();
        }
        if (read == line) {
            return true;
        }
    }
    return false;
}

std::string ArtifactsDir() {
    std::filesystem::create_directories(KORVANE_GUI_ARTIFACTS);
    return KORVANE_GUI_ARTIFACTS;
}

class PropertySheetWindowTest : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        if (!DisplayAvailable()) {
            GTEST_SKIP() << "no display: the property sheet cannot be shown";
        }
        unsetenv("KORVANE_DIALOG_SCRIPT");
        ASSERT_EQ(Initialize(), 1);
        // Opening the camera once gives its settings the sensor size.
        OpenCamera("Camera 1", 1);
        d().closeXELPort(0, 1);
    }
    void TearDown() override {
        if (HasFailure()) {
            for (const std::string& message : log_.Messages()) {
                std::printf("driver log: %s", message.c_str());
            }
        }
        HostTest::TearDown();
    }
};

class User {
  public:
    User(const std::atomic<bool>& hostReturned, Seen& seen)
        : gui_(hostReturned), seen_(seen), dir_(ArtifactsDir()) {}

    void Play() {
        sheet_ = gui_.WaitForDialog("Camera 1 properties");
        // The sheet is ready once its initialisation added the status bar.
        if (sheet_ == nullptr || !gui_.WaitUntil([&] {
                return ::FindWindowExA(sheet_, nullptr, STATUSCLASSNAMEA, nullptr) != nullptr;
            })) {
            return Missed("the property sheet with its status bar");
        }
        Frame();
        if (!FrameGrabberPage() || !ExposurePage() || !IoPage() || !LutGenerator()) {
            GuiDriver::PressSheetButton(sheet_, PSBTN_CANCEL);
            return;
        }
        GuiDriver::PressSheetButton(sheet_, PSBTN_OK);
    }

  private:
    void Missed(const std::string& what) { seen_.missed.push_back(what); }
    void Picture(HWND window, const std::string& name) {
        const std::string path = dir_ + "/" + name + ".bmp";
        if (CaptureWindow(window, path)) {
            seen_.pictures.push_back(path);
        } else {
            Missed("a picture " + path);
        }
    }
    HWND Page(int index) {
        if (!GuiDriver::SelectPage(sheet_, index)) {
            Missed("page " + std::to_string(index));
            return nullptr;
        }
        return GuiDriver::CurrentPage(sheet_);
    }

    void Frame() {
        seen_.okEnabledAtOpen = GuiDriver::Enabled(sheet_, IDOK);
        seen_.statusAtOpen = GuiDriver::StatusText(sheet_);
        seen_.applyVisible = GuiDriver::Visible(sheet_, kApply);
        seen_.helpVisible = GuiDriver::Visible(sheet_, kHelp);
        seen_.ok = GuiDriver::ClientRect(sheet_, IDOK);
        seen_.cancel = GuiDriver::ClientRect(sheet_, IDCANCEL);
        const HWND tabs = reinterpret_cast<HWND>(::SendMessageA(sheet_, PSM_GETTABCONTROL, 0, 0));
        seen_.pages = GuiDriver::ClientRect(sheet_, ::GetDlgCtrlID(tabs));
    }

    bool FrameGrabberPage() {
        const HWND page = GuiDriver::CurrentPage(sheet_);
        if (page == nullptr) {
            Missed("the frame-grabber page");
            return false;
        }
        seen_.widthRange = GuiDriver::Text(page, kWidthRange);
        seen_.lutFileEnabled = GuiDriver::Enabled(page, kLutFile);
        seen_.shareNameEnabled = GuiDriver::Enabled(page, kShareName);
        Picture(sheet_, "sheet-1-framegrabber");

        const std::string width = GuiDriver::Text(page, kWidth);
        GuiDriver::Type(page, kWidth, "5000");
        seen_.statusWidthOut = GuiDriver::StatusText(sheet_);
        seen_.okEnabledWidthOut = GuiDriver::Enabled(sheet_, IDOK);
        Picture(sheet_, "sheet-1-framegrabber-width-out-of-range");
        GuiDriver::Type(page, kWidth, width);
        seen_.statusWidthBack = GuiDriver::StatusText(sheet_);
        seen_.okEnabledWidthBack = GuiDriver::Enabled(sheet_, IDOK);

        GuiDriver::Type(page, kGain, "");
        seen_.gainCleared = GuiDriver::Text(page, kGain);
        GuiDriver::Type(page, kGain, "42");
        GuiDriver::Click(page, kFlipX);
        seen_.flipChecked = GuiDriver::Checked(page, kFlipX);
        return true;
    }

    bool ExposurePage() {
        const HWND page = Page(1);
        if (page == nullptr) {
            return false;
        }
        seen_.triggerSourceEnabledBefore = GuiDriver::Enabled(page, kTriggerSource);
        GuiDriver::Click(page, kUseTrigger);
        seen_.triggerSourceEnabledAfter = GuiDriver::Enabled(page, kTriggerSource);
        GuiDriver::Select(page, kTriggerSource, 1);
        seen_.triggerSourceShown = GuiDriver::Text(page, kTriggerSource);
        GuiDriver::Type(page, kExposure, "2.5");
        Picture(sheet_, "sheet-2-exposure-trigger");
        return true;
    }

    bool IoPage() {
        const HWND page = Page(2);
        if (page == nullptr) {
            return false;
        }
        seen_.strobeLevelRange = GuiDriver::Text(page, kStrobeLevelRange);
        Picture(sheet_, "sheet-3-input-output");
        return true;
    }

    bool LutGenerator() {
        const HWND page = Page(0);
        if (page == nullptr) {
            return false;
        }
        GuiDriver::ClickLater(page, kGenerateLut);
        const HWND lut = gui_.WaitForDialog("Generate LUT table");
        if (lut == nullptr) {
            Missed("the LUT generator");
            return false;
        }
        seen_.lutLsbRange = GuiDriver::Text(lut, kLutLsbRange);
        // Typed values reach the sheet's settings at once; Cancel keeps them.
        GuiDriver::Type(lut, kLutLsb, "3");
        Picture(lut, "lut-generator");
        GuiDriver::Click(lut, IDCANCEL);
        if (!gui_.WaitUntil([&] { return ::IsWindow(lut) == FALSE; })) {
            Missed("the LUT generator closing");
            return false;
        }
        return true;
    }

    GuiDriver gui_;
    Seen& seen_;
    std::string dir_;
    HWND sheet_ = nullptr;
};

TEST_F(PropertySheetWindowTest, EditsOnTwoPagesReachTheIniFileThroughOk) {
    std::atomic<bool> returned{false};
    Seen seen;
    std::thread user([&] { User(returned, seen).Play(); });
    const int answer = d().configureCamera(nullptr, "Camera 1");
    returned = true;
    user.join();

    std::string missed;
    for (const std::string& step : seen.missed) {
        missed += step + "; ";
    }
    EXPECT_EQ(missed, "") << "steps the user could not take";
    EXPECT_EQ(answer, 0) << "the sheet closed with OK";
    const std::string ini = ReadIni();
    EXPECT_TRUE(HasLine(ini, "Gain=42")) << ini;
    EXPECT_TRUE(HasLine(ini, "DirectionX=1"));
    EXPECT_TRUE(HasLine(ini, "UseTrigger=1"));
    EXPECT_TRUE(HasLine(ini, "TriggerSource=Software"));
    EXPECT_TRUE(HasLine(ini, "Exposure=2.5"));
    EXPECT_TRUE(HasLine(ini, "LUTGEN_minpix=3"));

    // The frame after the sheet's own layout: no Apply or Help, OK above
    // Cancel in one column right of the pages, an empty status bar.
    EXPECT_TRUE(seen.okEnabledAtOpen);
    EXPECT_EQ(seen.statusAtOpen, "");
    EXPECT_FALSE(seen.applyVisible);
    EXPECT_FALSE(seen.helpVisible);
    EXPECT_EQ(seen.ok.left, seen.cancel.left);
    EXPECT_LT(seen.ok.bottom, seen.cancel.top);
    EXPECT_GT(seen.ok.left, seen.pages.right);
    EXPECT_LT(seen.cancel.bottom, seen.pages.bottom);

    // The page's controls follow its logic.
    EXPECT_EQ(seen.widthRange, "[10 ... 1280]");
    EXPECT_FALSE(seen.lutFileEnabled) << "the LUT is off";
    EXPECT_FALSE(seen.shareNameEnabled) << "the camera is not shared";
    EXPECT_EQ(seen.statusWidthOut, kWidthNotInRange);
    EXPECT_FALSE(seen.okEnabledWidthOut);
    EXPECT_EQ(seen.statusWidthBack, "");
    EXPECT_TRUE(seen.okEnabledWidthBack);
    EXPECT_EQ(seen.gainCleared, "0") << "a number is shown again in its canonical form";
    EXPECT_TRUE(seen.flipChecked);
    EXPECT_FALSE(seen.triggerSourceEnabledBefore);
    EXPECT_TRUE(seen.triggerSourceEnabledAfter);
    EXPECT_EQ(seen.triggerSourceShown, "Software");
    EXPECT_NE(seen.strobeLevelRange, "[ ]") << "the page's initialisation ran";
    EXPECT_EQ(seen.lutLsbRange, "[0..15]");
    EXPECT_EQ(seen.pictures.size(), 5u);
}

TEST_F(PropertySheetWindowTest, CancelLeavesTheIniFileAsItWas) {
    const std::string before = ReadIni();
    std::atomic<bool> returned{false};
    std::vector<std::string> missed;
    std::thread user([&] {
        GuiDriver gui(returned);
        const HWND sheet = gui.WaitForDialog("Camera 1 properties");
        if (sheet == nullptr || !gui.WaitUntil([&] {
                return ::FindWindowExA(sheet, nullptr, STATUSCLASSNAMEA, nullptr) != nullptr;
            })) {
            missed.push_back("the property sheet");
            return;
        }
        GuiDriver::Type(GuiDriver::CurrentPage(sheet), kGain, "42");
        GuiDriver::PressSheetButton(sheet, PSBTN_CANCEL);
    });
    const int answer = d().configureCamera(nullptr, "Camera 1");
    returned = true;
    user.join();

    EXPECT_TRUE(missed.empty()) << "the property sheet never showed";
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(ReadIni(), before);
}

}  // namespace
}  // namespace korvane::test

// Scripted sessions on the property sheet: what the user sees while typing,
// the enable rules, the shared validity flag, and what OK and Cancel store.
#include "tests/dialogs/SheetHarness.h"

namespace korvane::dlg::test {
namespace {

using SheetTest = DialogTest;

TEST_F(SheetTest, OpensWithOkEnabledEmptyStatusAndButtonsInAColumn) {
    SheetUnderTest t(settings_, "cancel\n");
    EXPECT_EQ(t.Run(), kResultCancel);
    const ScriptedView::Step& open = t.view.Steps().front();
    EXPECT_EQ(open.action, "open");
    EXPECT_TRUE(open.okEnabled);
    EXPECT_EQ(open.status, "");
    EXPECT_EQ(open.dialog, "Camera 1 properties");
    EXPECT_FALSE(t.sheet.needsReset);

    ControlModel& frame = t.sheet.FrameControls();
    EXPECT_FALSE(frame.IsVisible(kIdApply));
    EXPECT_FALSE(frame.IsVisible(kIdHelp));
    const Rect ok = frame.Get(kIdOk).rect;
    const Rect cancel = frame.Get(kIdCancel).rect;
    const Rect window = t.sheet.WindowRect();
    EXPECT_EQ(window.width, 400 + ok.width + 15);
    EXPECT_EQ(window.height, 330 - (ok.height + 5) + CSheet1::kStatusBarHeight);
    EXPECT_EQ(ok, (Rect{window.width - ok.width - 17, 15, ok.width, ok.height}));
    EXPECT_EQ(cancel, (Rect{window.width - ok.width - 17, ok.height + 20, ok.width, ok.height}));
    const ControlState& bar = frame.Get(kIdStatusBar);
    EXPECT_TRUE(bar.visible);
    EXPECT_EQ(bar.rect, (Rect{0, window.height - CSheet1::kStatusBarHeight, window.width,
                              CSheet1::kStatusBarHeight}));

    // The first page shows its values and ranges; the others do not exist yet.
    const ScriptedView::Step& s = open;
    EXPECT_EQ(s.Control(fg::kWidth)->text, "640");
    EXPECT_EQ(s.Control(fg::kWidthRange)->text, "[10 ... 1280]");
    EXPECT_EQ(s.Control(fg::kOffsetXRange)->text, "[0 ... 640]");
    EXPECT_EQ(s.Control(fg::kOffsetYRange)->text, "[0 ... 480]");
    EXPECT_EQ(s.Control(fg::kHeightRange)->text, "[10 ... 960]");
    EXPECT_EQ(s.Control(fg::kGainRange)->text, "[0 ... 255]");
    EXPECT_EQ(s.Control(fg::kLogLevelRange)->text, "[0 ... 4]");
    EXPECT_EQ(s.Control(fg::kDcfFile)->text, "M_DEFAULT");
    EXPECT_EQ(t.sheet.PageControls(1), nullptr);
    EXPECT_EQ(t.sheet.PageControls(2), nullptr);
}

TEST_F(SheetTest, WidthOutOfRangeDisablesOkUntilItIsBack) {
    SheetUnderTest t(settings_,
                     "type 1017 5000\n"
                     "type 1017 1280\n"
                     "type 1200 1\n"
                     "type 1200 0\n"
                     "ok\n");
    EXPECT_EQ(t.Run(), kResultOk);
    const auto& steps = t.view.Steps();
    ASSERT_EQ(steps.size(), 6u);
    EXPECT_FALSE(steps[1].okEnabled);
    EXPECT_EQ(steps[1].status, "FrameGrabber Settings: Width not in range");
    EXPECT_EQ(steps[1].Control(fg::kOffsetXRange)->text, "[0 ... 640]")
        << "an out-of-range width leaves the offset limit alone";
    EXPECT_TRUE(steps[2].okEnabled);
    EXPECT_EQ(steps[2].status, "");
    // With the full width there is no room left for an offset.
    EXPECT_EQ(steps[2].Control(fg::kOffsetXRange)->text, "[0 ... 0]");
    EXPECT_FALSE(steps[3].okEnabled);
    EXPECT_EQ(steps[3].status, "FrameGrabber Settings: Offset X not in range");
    EXPECT_TRUE(steps[4].okEnabled);
    EXPECT_EQ(settings_.Width.value, 1280);
    EXPECT_EQ(settings_.OffsetX.maxValue, 0) << "the limit stays changed in the copy";
}

TEST_F(SheetTest, ChecksRunInOrderAndReportTheFirstFailure) {
    SheetUnderTest t(settings_);
    t.sheet.Start();
    auto type = [&](int id, const char* text) {
        EXPECT_TRUE(t.sheet.UserTypes(id, text)) << id;
        return t.sheet.StatusText();
    };
    EXPECT_EQ(type(fg::kLogLevel, "9"), "FrameGrabber Settings: Log level not in range");
    EXPECT_EQ(type(fg::kGain, "300"), "FrameGrabber Settings: Gain not in range");
    EXPECT_EQ(type(fg::kHeight, "2"), "FrameGrabber Settings: Height not in range");
    EXPECT_EQ(type(fg::kOffsetY, "-1"), "FrameGrabber Settings: Offset Y not in range");
    EXPECT_EQ(type(fg::kOffsetX, "641"), "FrameGrabber Settings: Offset X not in range");
    EXPECT_FALSE(t.sheet.OkEnabled());
    type(fg::kOffsetX, "0");
    type(fg::kOffsetY, "0");
    type(fg::kHeight, "480");
    type(fg::kGain, "255");
    EXPECT_EQ(type(fg::kLogLevel, "4"), "");
    EXPECT_TRUE(t.sheet.OkEnabled());
}

TEST_F(SheetTest, EditsShowTheirCanonicalNumberAtOnce) {
    settings_.Gain.value = 12;
    SheetUnderTest t(settings_);
    t.sheet.Start();
    ControlModel& page = t.Page(0);
    ASSERT_TRUE(t.sheet.UserTypes(fg::kGain, ""));
    EXPECT_EQ(page.GetText(fg::kGain), "0");
    EXPECT_EQ(settings_.Gain.value, 0);
    ASSERT_TRUE(t.sheet.UserTypes(fg::kGain, "  0077xyz"));
    EXPECT_EQ(page.GetText(fg::kGain), "77");
    ASSERT_TRUE(t.sheet.UserTypes(fg::kWidth, "abc"));
    EXPECT_EQ(page.GetText(fg::kWidth), "0");
    EXPECT_EQ(t.sheet.StatusText(), "FrameGrabber Settings: Width not in range");
}

TEST_F(SheetTest, ShareNameAndLutControlsFollowTheirSwitches) {
    SheetUnderTest t(settings_);
    t.sheet.Start();
    ControlModel& page = t.Page(0);
    EXPECT_FALSE(page.IsEnabled(fg::kShareName));
    EXPECT_FALSE(page.IsEnabled(fg::kLutFile));
    EXPECT_FALSE(page.IsEnabled(fg::kChooseLut));
    EXPECT_FALSE(page.IsEnabled(fg::kLutColumn));
    EXPECT_TRUE(page.IsEnabled(fg::kDcfFile));
    EXPECT_TRUE(page.IsEnabled(fg::kGenerateLut));
    EXPECT_FALSE(t.sheet.UserTypes(fg::kShareName, "cam")) << "a disabled edit takes no typing";

    ASSERT_TRUE(t.sheet.UserClicks(fg::kShareCamera));
    EXPECT_TRUE(page.IsEnabled(fg::kShareName));
    EXPECT_EQ(settings_.ShareCamera.value, 1);
    ASSERT_TRUE(t.sheet.UserClicks(fg::kUseLut));
    EXPECT_TRUE(page.IsEnabled(fg::kLutFile));
    EXPECT_TRUE(page.IsEnabled(fg::kChooseLut));
    EXPECT_TRUE(page.IsEnabled(fg::kLutColumn));
    ASSERT_TRUE(t.sheet.UserClicks(fg::kDefaultDcf));
    EXPECT_FALSE(page.IsEnabled(fg::kDcfFile));
    EXPECT_FALSE(page.IsEnabled(fg::kChooseDcf));
    EXPECT_FALSE(t.sheet.UserClicks(fg::kChooseDcf)) << "a disabled button takes no click";
}

TEST_F(SheetTest, TriggerCombosFollowEnableTrigger) {
    SheetUnderTest t(settings_, "page 1\nclick 1062\nclick 1062\ntype 1036 2000\nok\n");
    EXPECT_EQ(t.Run(), kResultCancel) << "OK is disabled, so the script runs out";
    const auto& steps = t.view.Steps();
    ASSERT_GE(steps.size(), 5u);
    EXPECT_FALSE(steps[1].Control(cc::kTriggerSource)->enabled);
    EXPECT_FALSE(steps[1].Control(cc::kTriggerMode)->enabled);
    EXPECT_EQ(steps[1].Control(cc::kExposureRange)->text, "[0 ... 1000]");
    EXPECT_EQ(steps[1].Control(cc::kExposureDelayRange)->text, "[0 ... 1000]");
    EXPECT_EQ(steps[1].Control(cc::kTriggerSource)->text, "Hardware Port 0");
    EXPECT_TRUE(steps[2].Control(cc::kTriggerSource)->enabled);
    EXPECT_TRUE(steps[2].Control(cc::kTriggerMode)->enabled);
    EXPECT_FALSE(steps[3].Control(cc::kTriggerMode)->enabled);
    EXPECT_EQ(steps[4].status, "Exposure/Trigger: Exposure time not in range");
    EXPECT_FALSE(steps[5].done) << "pressing a disabled OK does nothing";
    EXPECT_EQ(t.view.Errors().size(), 1u);
}

TEST_F(SheetTest, AnExposurePageEditSetsTheSharedFlagOverAnInvalidStrobeValue) {
    // The exposure page and the input/output page share one validity flag, so
    // a valid exposure edit enables OK although a strobe value is still out
    // of range, and OK then stores it.
    SheetUnderTest t(settings_,
                     "page 2\n"
                     "type 1039 300\n"
                     "page 1\n"
                     "type 1036 5\n"
                     "ok\n");
    EXPECT_EQ(t.Run(), kResultOk);
    const auto& steps = t.view.Steps();
    EXPECT_EQ(steps[2].status, "Input/Output: Strobe level not in range");
    EXPECT_FALSE(steps[2].okEnabled);
    EXPECT_TRUE(steps[4].okEnabled);
    EXPECT_EQ(steps[4].status, "");
    EXPECT_EQ(settings_.LightingBrightField.value, 300);
    EXPECT_EQ(settings_.Exposure.value, 5.0);
}

TEST_F(SheetTest, AFrameGrabberEditSetsTheSharedFlagThroughTheExposurePage) {
    SheetUnderTest t(settings_, "page 1\npage 2\ntype 1040 1001\npage 0\ntype 1016 3\ncancel\n");
    t.Run();
    const auto& steps = t.view.Steps();
    EXPECT_EQ(steps[3].status, "Input/Output: Strobe time not in range");
    // The exposure page answers the sibling query and finds itself valid.
    EXPECT_TRUE(steps[5].okEnabled);
    EXPECT_EQ(steps[5].status, "");
}

TEST_F(SheetTest, AnExposurePageNeverShownLeavesTheSharedFlagCleared) {
    // The exposure page was never shown, so no page sets the shared flag
    // again (the input/output page does not take part in the re-check).
    SheetUnderTest t(settings_, "page 2\ntype 1041 -1\npage 0\ntype 1016 3\ncancel\n");
    t.Run();
    const auto& steps = t.view.Steps();
    EXPECT_EQ(steps[2].status, "Input/Output: Strobe delay not in range");
    EXPECT_FALSE(steps[4].okEnabled);
    EXPECT_EQ(steps[4].status, "Input/Output: Strobe delay not in range");
    EXPECT_TRUE(t.sheet.FrameGrabberValid());
    EXPECT_FALSE(t.sheet.OtherPagesValid());
}

TEST_F(SheetTest, AValidInputOutputEditDoesNotHideAnInvalidExposure) {
    SheetUnderTest t(settings_, "page 1\ntype 1037 -5\npage 2\ntype 1047 10\ncancel\n");
    t.Run();
    const auto& steps = t.view.Steps();
    EXPECT_EQ(steps[2].status, "Exposure/Trigger: Exposure delay not in range");
    // The sibling query after the valid edit makes the exposure page clear
    // the shared flag again.
    EXPECT_FALSE(steps[4].okEnabled);
    EXPECT_EQ(steps[4].status, "Exposure/Trigger: Exposure delay not in range");
}

TEST_F(SheetTest, InputOutputChecksInOrderWithTheirRanges) {
    SheetUnderTest t(settings_);
    t.sheet.Start();
    ASSERT_TRUE(t.sheet.ActivatePage(2));
    ControlModel& page = t.Page(2);
    EXPECT_EQ(page.GetText(io::kLevelRange), "[0 ... 255]");
    EXPECT_EQ(page.GetText(io::kStrobeTimeRange), "[0 ... 1000]");
    EXPECT_EQ(page.GetText(io::kStrobeDelayRange), "[0 ... 1000]");
    EXPECT_EQ(page.GetText(io::kHidriveTimeRange), "[0 ... 1000]");
    EXPECT_EQ(page.GetText(io::kLevel), "255");
    t.sheet.UserTypes(io::kHidriveTime, "1e9");
    EXPECT_EQ(t.sheet.StatusText(), "Input/Output: Hi-drive time not in range");
    t.sheet.UserTypes(io::kStrobeDelay, "1000.5");
    EXPECT_EQ(t.sheet.StatusText(), "Input/Output: Strobe delay not in range");
    t.sheet.UserTypes(io::kStrobeTime, "-0.1");
    EXPECT_EQ(t.sheet.StatusText(), "Input/Output: Strobe time not in range");
    t.sheet.UserTypes(io::kLevel, "256");
    EXPECT_EQ(t.sheet.StatusText(), "Input/Output: Strobe level not in range");
    EXPECT_EQ(page.GetText(io::kStrobeDelay), "1000.5") << "this page shows what was typed";
}

TEST_F(SheetTest, OkStoresComboChoicesAndNoneForAnUnknownName) {
    settings_.TriggerSource.value = "Hardware Port 7";
    settings_.StrobeSource.value = "Not a source";
    SheetUnderTest t(
        settings_, "page 1\nclick 1062\nselect 1026 1\npage 2\nselect 1069 2\nselect 1066 0\nok\n");
    EXPECT_EQ(t.Run(), kResultOk);
    EXPECT_EQ(t.view.Steps()[1].Control(cc::kTriggerSource)->selection, -1);
    EXPECT_EQ(settings_.TriggerSource.value, "None");
    EXPECT_EQ(settings_.TriggerMode.value, "Rising");
    EXPECT_EQ(settings_.StrobeSource.value, "None");
    EXPECT_EQ(settings_.StrobePolarity.value, "Level High");
    EXPECT_EQ(settings_.Debounce[2].value, "0.005000");
    EXPECT_EQ(settings_.Debounce[4].value, "0.000250");
    EXPECT_EQ(settings_.AuxOut[3].value, "User bit");
}

TEST_F(SheetTest, PagesNeverShownKeepTheirSettingsOnOk) {
    settings_.TriggerSource.value = "Hardware Port 7";
    settings_.StrobeSource.value = "Not a source";
    SheetUnderTest t(settings_, "type 1016 5\nok\n");
    EXPECT_EQ(t.Run(), kResultOk);
    EXPECT_EQ(settings_.Gain.value, 5);
    EXPECT_EQ(settings_.TriggerSource.value, "Hardware Port 7");
    EXPECT_EQ(settings_.StrobeSource.value, "Not a source");
    EXPECT_FALSE(t.cameraControls.Created());
    EXPECT_FALSE(t.io.Created());
}

TEST_F(SheetTest, LeavingAPageKeepsItsBoxesAndReturningShowsTheSettings) {
    SheetUnderTest t(settings_, "click 1065\nclick 1059\npage 1\npage 0\nok\n");
    EXPECT_EQ(t.Run(), kResultOk);
    EXPECT_EQ(settings_.DirectionX.value, 1);
    EXPECT_EQ(settings_.LogIntoFile.value, 1);
    EXPECT_TRUE(t.view.Steps()[4].Control(fg::kFlipX)->checked);
}

TEST_F(SheetTest, CancelEndsTheSheetAndItsResultSaysSo) {
    SheetUnderTest t(settings_, "type 1016 9\ncancel\ntype 1016 10\n");
    EXPECT_EQ(t.Run(), kResultCancel);
    EXPECT_TRUE(t.sheet.Finished());
    EXPECT_FALSE(t.view.Exhausted()) << "lines after the sheet closed stay unplayed";
    EXPECT_FALSE(t.sheet.UserTypes(fg::kGain, "1")) << "a closed sheet takes no input";
}

// A page whose title fills the whole status bar.
class LongTitlePage : public PropertyPage {
  public:
    LongTitlePage(CSheet1& sheet, CameraSettings& settings, const DialogTemplate& t)
        : PropertyPage(sheet, settings, t) {}
    void OnTextChanged(int) override { OnSettingChanged(); }
    void OnClicked(int) override {}
    bool Validate() override {
        sheet_.ReportError(*this, "Width not in range");
        return false;
    }

  protected:
    void DoDataExchange(Exchange) override {}
    void StoreValidity(bool valid) override { sheet_.SetFrameGrabberValid(valid); }
};

TEST_F(SheetTest, StatusTextIsBoundedTo254Characters) {
    DialogTemplate longTitle;
    longTitle.caption = std::string(300, 'T');
    longTitle.controls.push_back({1000, ControlKind::Edit, "", {0, 0, 10, 10}, false, -1});
    ScriptedView view("");
    CSheet1 sheet("caption", nullptr, view);
    LongTitlePage page(sheet, settings_, longTitle);
    sheet.AddPage(page);
    sheet.Start();
    ASSERT_TRUE(sheet.UserTypes(1000, "x"));
    EXPECT_EQ(sheet.StatusText(), std::string(254, 'T'));

    longTitle.caption = "Short";
    CSheet1 second("caption", nullptr, view);
    LongTitlePage shortPage(second, settings_, longTitle);
    second.AddPage(shortPage);
    second.Start();
    ASSERT_TRUE(second.UserTypes(1000, "x"));
    EXPECT_EQ(second.StatusText(), "Short: Width not in range");
}

}  // namespace
}  // namespace korvane::dlg::test

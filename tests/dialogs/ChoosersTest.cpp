// The DCF and LUT file choosers of the frame-grabber page: what they offer,
// what they store, and when the sheet asks for a reset of the cameras.
#include <filesystem>

#include "platform/UiNotice.h"
#include "tests/dialogs/SheetHarness.h"
#include "tests/support/PlatformText.h"

namespace korvane::dlg::test {
namespace {

class ChoosersTest : public DialogTest {
  protected:
    void SetUp() override {
        DialogTest::SetUp();
        dcf_ = File("cam.dcf", "[Camera]\n");
        other_ = File("other.dcf", "[Camera]\n");
    }
    std::string dcf_;
    std::string other_;
};

TEST_F(ChoosersTest, SameFileAsAnAbsolutePathNeedsNoReset) {
    settings_.DCF_FILE.value = dcf_;
    SheetUnderTest t(settings_, "click 1214\nfile " + dcf_ + "\nok\n");
    EXPECT_EQ(t.Run(), kResultOk);
    ASSERT_EQ(t.view.FileDialogs().size(), 1u);
    const FileDialogOptions& options = t.view.FileDialogs()[0].options;
    EXPECT_EQ(options.initialFile, dcf_);
    EXPECT_EQ(options.title, "Select DCF file");
    EXPECT_EQ(options.defaultExtension, "dcf");
    EXPECT_EQ(options.filter, "DCF (*.dcf)|*.dcf||");
    EXPECT_TRUE(options.fileMustExist);
    EXPECT_TRUE(options.hideReadOnly);
    EXPECT_FALSE(options.save);
    EXPECT_FALSE(t.sheet.needsReset);
    EXPECT_EQ(t.view.Steps()[1].status, "");
    // Stored relative to the system path.
    EXPECT_EQ(settings_.DCF_FILE.value, korvane::test::NativePath("./cam.dcf"));
    EXPECT_EQ(t.view.Steps()[1].Control(fg::kDcfFile)->text,
              korvane::test::NativePath("./cam.dcf"));
}

TEST_F(ChoosersTest, SameFileStoredRelativeNeedsAReset) {
    // The full path chosen is compared with the relative text stored.
    settings_.DCF_FILE.value = "cam.dcf";
    SheetUnderTest t(settings_, "click 1214\nfile " + dcf_ + "\nok\n");
    EXPECT_EQ(t.Run(), kResultOk);
    EXPECT_EQ(t.view.FileDialogs()[0].options.initialFile, dcf_);
    EXPECT_TRUE(t.sheet.needsReset);
    EXPECT_EQ(t.view.Steps()[1].status, CSheet1::kResetNotice);
    EXPECT_TRUE(t.view.Steps()[1].okEnabled);
}

TEST_F(ChoosersTest, AnotherFileNeedsAResetAndTheNoticeWaitsForValidValues) {
    settings_.DCF_FILE.value = dcf_;
    SheetUnderTest t(settings_,
                     "type 1016 999\nclick 1214\nfile " + other_ + "\ntype 1016 1\ncancel\n");
    EXPECT_EQ(t.Run(), kResultCancel);
    const auto& steps = t.view.Steps();
    EXPECT_TRUE(t.sheet.needsReset);
    EXPECT_EQ(steps[2].status, "FrameGrabber Settings: Gain not in range");
    EXPECT_EQ(steps[3].status, CSheet1::kResetNotice);
    EXPECT_EQ(settings_.DCF_FILE.value, korvane::test::NativePath("./other.dcf"));
}

TEST_F(ChoosersTest, DefaultDcfSwitchDecidesWhenTheFileIsUnchanged) {
    settings_.DCF_FILE.value = "M_DEFAULT";
    SheetUnderTest t(settings_);
    t.sheet.Start();
    ASSERT_TRUE(t.sheet.UserClicks(fg::kDefaultDcf));
    EXPECT_TRUE(t.sheet.needsReset);
    EXPECT_EQ(t.sheet.StatusText(), CSheet1::kResetNotice);
    ASSERT_TRUE(t.sheet.UserClicks(fg::kDefaultDcf));
    EXPECT_FALSE(t.sheet.needsReset);
    EXPECT_EQ(t.sheet.StatusText(), "");
}

TEST_F(ChoosersTest, CancelledOrMissingChoicesChangeNothing) {
    settings_.DCF_FILE.value = "M_DEFAULT";
    SheetUnderTest t(settings_,
                     "click 1214\nfile cancel\n"
                     "click 1214\nfile " +
                         dir_.File("missing.dcf") + "\nfile cancel\nok\n");
    EXPECT_EQ(t.Run(), kResultOk);
    ASSERT_EQ(t.view.FileDialogs().size(), 2u);
    EXPECT_EQ(t.view.FileDialogs()[0].options.initialFile, "") << "M_DEFAULT offers no file";
    EXPECT_FALSE(t.view.FileDialogs()[1].answer.has_value());
    ASSERT_EQ(t.view.Errors().size(), 1u);
    EXPECT_NE(t.view.Errors()[0].find("file not found"), std::string::npos);
    EXPECT_EQ(settings_.DCF_FILE.value, "M_DEFAULT");
    EXPECT_FALSE(t.sheet.needsReset);
}

TEST_F(ChoosersTest, ChoosingAFileKeepsBoxesClickedBefore) {
    SheetUnderTest t(settings_);
    t.view = ScriptedView("file " + dcf_ + "\n");
    t.sheet.Start();
    ASSERT_TRUE(t.sheet.UserClicks(fg::kFlipY));
    ASSERT_TRUE(t.sheet.UserClicks(fg::kChooseDcf));
    EXPECT_TRUE(t.Page(0).IsChecked(fg::kFlipY));
    EXPECT_EQ(settings_.DirectionY.value, 1);
}

TEST_F(ChoosersTest, LutFileWithoutColumnNamesIsRefused) {
    settings_.UseLUT.value = 1;
    settings_.LUT_FILE.value = "old.csv";
    const std::string noNames = File("nonames.csv", "LN\n0\n1\n");
    SheetUnderTest t(settings_, "click 1006\nfile " + noNames + "\nok\n");
    EXPECT_EQ(t.Run(), kResultOk);
    const FileDialogOptions& options = t.view.FileDialogs().at(0).options;
    EXPECT_EQ(options.title, "Select LUT file");
    EXPECT_EQ(options.defaultExtension, "csv");
    EXPECT_EQ(options.initialFile, "csv file");
    EXPECT_EQ(options.initialFolder, "c:");
    EXPECT_EQ(options.filter, "LUT table (*.csv)|*.csv||");
    EXPECT_TRUE(options.fileMustExist);
    ASSERT_EQ(t.view.MessageBoxes().size(), 1u);
    EXPECT_EQ(t.view.MessageBoxes()[0].text, "Could not read column names");
    EXPECT_EQ(t.view.MessageBoxes()[0].flags, platform::kIconError);
    EXPECT_EQ(settings_.LUT_FILE.value, "old.csv");
}

TEST_F(ChoosersTest, LutFileOffersItsColumnsAndOkStoresTheChoice) {
    const std::string lut = File("curves.csv", "LN;ln;gamma\n0;0;0\n1;5;9\n");
    settings_.lutcolumn.value = "gamma";
    SheetUnderTest t(settings_, "click 1030\nclick 1006\nfile " + lut + "\nok\n");
    EXPECT_EQ(t.Run(), kResultOk);
    const ControlState* column = t.view.Steps()[2].Control(fg::kLutColumn);
    EXPECT_EQ(column->items, (std::vector<std::string>{"ln", "gamma"}));
    EXPECT_EQ(column->selection, 1);
    EXPECT_TRUE(column->readOnly);
    EXPECT_EQ(settings_.LUT_FILE.value, lut) << "the LUT file is stored as chosen";
    EXPECT_EQ(settings_.lutcolumn.value, "gamma");
    EXPECT_EQ(settings_.UseLUT.value, 1);
}

TEST_F(ChoosersTest, UnknownColumnSelectsTheFirstAndOkStoresIt) {
    settings_.UseLUT.value = 1;
    settings_.LUT_FILE.value = File("curves.csv", "LN;ln;gamma\n");
    settings_.lutcolumn.value = "Gamma";
    SheetUnderTest t(settings_, "ok\n");
    EXPECT_EQ(t.Run(), kResultOk);
    EXPECT_EQ(t.view.Steps()[0].Control(fg::kLutColumn)->selection, 0);
    EXPECT_EQ(settings_.lutcolumn.value, "ln");
}

TEST_F(ChoosersTest, OkKeepsTheColumnWhenTheListOfferedNone) {
    // LUT off: the list is never filled, and the stored column survives.
    settings_.lutcolumn.value = "ln";
    SheetUnderTest t(settings_, "ok\n");
    EXPECT_EQ(t.Run(), kResultOk);
    EXPECT_EQ(settings_.lutcolumn.value, "ln");
    // LUT on with a file that is gone: same.
    CameraSettings second = OpenedCameraSettings();
    second.UseLUT.value = 1;
    second.LUT_FILE.value = dir_.File("gone.csv");
    second.lutcolumn.value = "ln";
    SheetUnderTest u(second, "ok\n");
    EXPECT_EQ(u.Run(), kResultOk);
    EXPECT_TRUE(u.view.Steps()[0].Control(fg::kLutColumn)->items.empty());
    EXPECT_EQ(second.lutcolumn.value, "ln");
}

}  // namespace
}  // namespace korvane::dlg::test

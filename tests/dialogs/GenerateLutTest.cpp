// The LUT generator dialog on its own and opened from the frame-grabber page.
#include "dialogs/DlgGenerateLUT.h"
#include "settings/LutGenerator.h"
#include "tests/dialogs/SheetHarness.h"
#include "tests/support/PlatformText.h"

namespace korvane::dlg::test {
namespace {

using GenerateLutTest = DialogTest;

TEST_F(GenerateLutTest, OkFollowsTheInputsAndTheRangeTextsShowTheLimits) {
    ScriptedView view("");
    DlgGenerateLUT dialog(settings_, view);
    dialog.Start();
    ControlModel& c = dialog.Controls();
    EXPECT_EQ(c.GetText(lut::kFormula), kLutFormulaText);
    EXPECT_EQ(c.GetText(lut::kMinpix), "0");
    EXPECT_EQ(c.GetText(lut::kMaxpix), "15");
    EXPECT_EQ(c.GetText(lut::kSteepness), "1");
    EXPECT_EQ(c.GetText(lut::kMinpixRange), "[0..15]");
    EXPECT_EQ(c.GetText(lut::kMaxpixRange), "[0..15]");
    EXPECT_EQ(c.GetText(lut::kSteepnessRange), "[1..10]");
    EXPECT_TRUE(c.IsEnabled(kIdOk));

    ASSERT_TRUE(dialog.UserTypes(lut::kMinpix, "8"));
    ASSERT_TRUE(dialog.UserTypes(lut::kMaxpix, "8"));
    EXPECT_FALSE(c.IsEnabled(kIdOk)) << "LSB must be below MSB";
    ASSERT_TRUE(dialog.UserTypes(lut::kMaxpix, "20"));
    EXPECT_FALSE(c.IsEnabled(kIdOk));
    EXPECT_EQ(c.GetText(lut::kMaxpixRange), "[0..15]");
    EXPECT_EQ(c.GetText(lut::kMaxpix), "20") << "the dialog shows what was typed";
    ASSERT_TRUE(dialog.UserTypes(lut::kMaxpix, "9"));
    EXPECT_TRUE(c.IsEnabled(kIdOk));
    ASSERT_TRUE(dialog.UserTypes(lut::kSteepness, "0"));
    EXPECT_FALSE(c.IsEnabled(kIdOk));
    EXPECT_FALSE(dialog.UserClicks(kIdOk));
    EXPECT_TRUE(view.FileDialogs().empty()) << "a disabled OK writes nothing";

    // Values typed reach the settings at once, and Cancel keeps them.
    ASSERT_TRUE(dialog.UserClicks(kIdCancel));
    EXPECT_EQ(dialog.Result(), kResultCancel);
    EXPECT_EQ(settings_.LUTGEN_minpix.value, 8);
    EXPECT_EQ(settings_.LUTGEN_maxpix.value, 9);
    EXPECT_EQ(settings_.LUTGEN_steepness.value, 0);
}

TEST_F(GenerateLutTest, OkWritesTheCurveToTheChosenFile) {
    const std::string path = dir_.File("curve.csv");
    ScriptedView view("type 1082 4\ntype 1081 12\ntype 1083 10\nok\nfile " + path + "\n");
    DlgGenerateLUT dialog(settings_, view);
    EXPECT_EQ(dialog.DoModal(), kResultOk);
    ASSERT_EQ(view.FileDialogs().size(), 1u);
    const FileDialogOptions& options = view.FileDialogs()[0].options;
    EXPECT_TRUE(options.save);
    EXPECT_TRUE(options.promptOverwrite);
    EXPECT_TRUE(options.hideReadOnly);
    EXPECT_EQ(options.initialFile, "LUT table");
    EXPECT_EQ(options.title, "Select LUT file");
    EXPECT_EQ(options.filter, "LUT table (*.csv)|*.csv||");
    EXPECT_EQ(options.initialFolder, "c:");
    // Compared whole, without a line-by-line diff of 4096 rows on failure.
    const std::string written = korvane::test::ReadFile(path);
    EXPECT_TRUE(written == korvane::test::NativeLines(FormatLutFile(4, 12, 10)));
    EXPECT_NE(written.find(korvane::test::NativeLines("\n  16;   4\n")), std::string::npos);
    // The generator leaves the LUT selection to the user.
    EXPECT_EQ(settings_.LUT_FILE.value, "");
    EXPECT_EQ(settings_.lutcolumn.value, "");
}

TEST_F(GenerateLutTest, CancelledSaveOrUnwritableFileStillClosesWithOk) {
    ScriptedView view("ok\nfile cancel\nok\nfile " + dir_.File("no/such/dir/x.csv") + "\n");
    DlgGenerateLUT first(settings_, view);
    EXPECT_EQ(first.DoModal(), kResultOk);
    DlgGenerateLUT second(settings_, view);
    EXPECT_EQ(second.DoModal(), kResultOk);
    EXPECT_TRUE(log_.Contains("DlgGenerateLUT::GenerateLutFile: WARNING: LUT file"));
    EXPECT_TRUE(view.MessageBoxes().empty()) << "the user is not told";
}

TEST_F(GenerateLutTest, RunsFromTheFrameGrabberPageOnTheSameSettings) {
    const std::string path = dir_.File("gen.csv");
    SheetUnderTest t(settings_,
                     "click 1007\n"
                     "type 1083 20\n"
                     "type 1083 5\n"
                     "ok\n"
                     "file " +
                         path +
                         "\n"
                         "ok\n");
    EXPECT_EQ(t.Run(), kResultOk);
    const auto& steps = t.view.Steps();
    ASSERT_GE(steps.size(), 5u);
    EXPECT_EQ(steps[1].dialog, "Generate LUT table");
    EXPECT_FALSE(steps[2].okEnabled);
    EXPECT_TRUE(steps[3].okEnabled);
    EXPECT_EQ(steps[4].dialog, "Generate LUT table") << "the generator closed with OK";
    EXPECT_EQ(steps[5].dialog, "Camera 1 properties") << "the click step ends on the sheet";
    EXPECT_EQ(steps.back().dialog, "Camera 1 properties");
    EXPECT_EQ(settings_.LUTGEN_steepness.value, 5);
    EXPECT_TRUE(korvane::test::ReadFile(path) ==
                korvane::test::NativeLines(FormatLutFile(0, 15, 5)));
}

}  // namespace
}  // namespace korvane::dlg::test
#include "tests/support/PlatformText.h"

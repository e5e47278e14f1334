// The script format, the scripted view's handling of actions a user could not
// take, the view registry behind RunCameraPropertySheet, and the process's
// dialog script shared with the platform's notices.
#include <cstdlib>

#include "dialogs/DialogScript.h"
#include "dialogs/PropertySheetRunner.h"
#include "dialogs/ViewRegistry.h"
#if defined(_WIN32)
#include "dialogs/win32/Win32View.h"
#endif
#include "platform/UiNotice.h"
#include "tests/dialogs/SheetHarness.h"

namespace korvane::dlg::test {
namespace {

using Kind = ScriptAction::Kind;

std::optional<ScriptAction> Parse(const std::string& line, std::string* error = nullptr) {
    std::string why;
    auto action = ParseScriptLine(line, 7, why);
    if (error != nullptr) {
        *error = why;
    }
    return action;
}

TEST(ScriptFormatTest, ParsesEveryAction) {
    auto type = Parse("  type 1061 two  words ");
    ASSERT_TRUE(type);
    EXPECT_EQ(type->kind, Kind::Type);
    EXPECT_EQ(type->id, 1061);
    EXPECT_EQ(type->text, "two  words ") << "the text is the rest of the line";
    EXPECT_EQ(type->line, 7);
    EXPECT_EQ(Parse("type 1016")->text, "") << "no text clears the edit";
    EXPECT_EQ(Parse("click 1214")->id, 1214);
    auto select = Parse("select 1026 1");
    EXPECT_EQ(select->kind, Kind::Select);
    EXPECT_EQ(select->value, 1);
    EXPECT_EQ(Parse("page 2")->value, 2);
    EXPECT_EQ(Parse("ok")->kind, Kind::Ok);
    EXPECT_EQ(Parse("cancel")->kind, Kind::Cancel);
    EXPECT_EQ(Parse("file /a b/x.dcf")->text, "/a b/x.dcf");
    EXPECT_EQ(Parse("file cancel")->kind, Kind::FileCancel);
    EXPECT_EQ(Parse("notice cancel")->value, 2);
    EXPECT_EQ(Parse("notice yes")->value, 6);
    EXPECT_EQ(Parse("notice 7")->value, 7);
}

TEST(ScriptFormatTest, SkipsCommentsAndExplainsMistakes) {
    std::string error;
    EXPECT_FALSE(Parse("", &error));
    EXPECT_EQ(error, "");
    EXPECT_FALSE(Parse("   # a comment", &error));
    EXPECT_EQ(error, "");
    for (const char* bad : {"press 1", "click", "click x", "click 12 13", "type abc", "select 1026",
                            "page", "ok now", "file", "notice maybe", "click 99999999999"}) {
        EXPECT_FALSE(Parse(bad, &error)) << bad;
        EXPECT_EQ(error.rfind("line 7: ", 0), 0u) << bad;
    }
}

using ScriptedViewTest = DialogTest;

TEST_F(ScriptedViewTest, RecordsActionsTheUserCouldNotTake) {
    settings_.UseDefaultDCF.value = 1;
    SheetUnderTest t(settings_,
                     "type 1022 /x.dcf\n"  // read-only
                     "click 1214\n"        // disabled with the default DCF
                     "type 1036 3\n"       // not on the page in front
                     "select 1045 0\n"     // disabled while the LUT is off
                     "page 5\n"
                     "file /x.dcf\n"
                     "notice ok\n"
                     "bogus line\n"
                     "ok\n");
    EXPECT_EQ(t.Run(), kResultOk);
    const auto& steps = t.view.Steps();
    ASSERT_EQ(steps.size(), 9u) << "the malformed line is no step";
    for (std::size_t i = 1; i < 8; ++i) {
        EXPECT_FALSE(steps[i].done) << steps[i].action;
    }
    EXPECT_TRUE(steps[8].done);
    EXPECT_EQ(steps[7].line, 7);
    EXPECT_EQ(t.view.Errors().size(), 3u);
    EXPECT_EQ(settings_.DCF_FILE.value, "M_DEFAULT");
    EXPECT_TRUE(log_.Contains("DialogScript: line 2: click 1214 (not possible, ignored)\n"));
}

TEST_F(ScriptedViewTest, TheEndOfTheScriptCancelsOpenDialogs) {
    SheetUnderTest t(settings_, "type 1016 4\nclick 1007\n");
    EXPECT_EQ(t.Run(), kResultCancel);
    EXPECT_EQ(t.view.Errors().size(), 2u) << "the generator, then the sheet";
    EXPECT_EQ(t.view.Steps().back().action, "cancel");
    EXPECT_TRUE(t.view.Exhausted());
    EXPECT_TRUE(log_.Contains("DialogScript: \"Camera 1 properties\" closed with Cancel\n"));
}

TEST_F(ScriptedViewTest, MessageBoxesTakeTheirAnswerOrTheDefault) {
    ScriptedView view("notice cancel\nclick 5\n");
    EXPECT_EQ(view.MessageBox("first", "cap", platform::kBoxOkCancel), platform::kAnswerCancel);
    EXPECT_EQ(view.MessageBox("second", "cap", platform::kBoxOk), platform::kAnswerOk);
    ASSERT_EQ(view.MessageBoxes().size(), 2u);
    EXPECT_TRUE(view.MessageBoxes()[0].scripted);
    EXPECT_FALSE(view.MessageBoxes()[1].scripted);
    EXPECT_FALSE(view.Exhausted()) << "the click is left for the dialog";
    EXPECT_FALSE(view.ChooseFile({}).has_value());
    EXPECT_EQ(view.Errors().size(), 1u) << "a file dialog without an answer";
}

// RunCameraPropertySheet through a view installed in the process.
class RunnerTest : public DialogTest {
  protected:
    void SetUp() override {
        DialogTest::SetUp();
        unsetenv("KORVANE_DIALOG_SCRIPT");
    }
    void TearDown() override {
        InstallDialogView(nullptr);
        unsetenv("KORVANE_DIALOG_SCRIPT");
        platform::EndUiScriptSession();
        DialogTest::TearDown();
    }
};

TEST_F(RunnerTest, InstalledViewRunsTheSheet) {
    auto view = std::make_shared<ScriptedView>("type 1016 77\npage 1\nok\ntype 1016 78\ncancel\n");
    InstallDialogView(view);
    EXPECT_TRUE(RunCameraPropertySheet(nullptr, "Camera 1 properties", settings_));
    EXPECT_EQ(settings_.Gain.value, 77);
    CameraSettings untouched = OpenedCameraSettings();
    EXPECT_FALSE(RunCameraPropertySheet(nullptr, "Camera 1 properties", untouched));
    EXPECT_EQ(view->Steps()[0].dialog, "Camera 1 properties");
}

TEST_F(RunnerTest, WithoutAViewTheSheetAnswersCancelled) {
#if defined(_WIN32)
    // With a display Windows shows the sheet in real windows (tests/gui).
    const bool windowed = win32::CanShowWindows();
#else
    const bool windowed = false;
#endif
    if (!windowed) {
        EXPECT_FALSE(RunCameraPropertySheet(nullptr, "Camera 1 properties", settings_));
        EXPECT_TRUE(
            log_.Contains("configureCamera: no property dialog is available in this build "
                          "(Camera 1 properties)\n"));
    }
    setenv("KORVANE_DIALOG_SCRIPT", dir_.File("missing.txt").c_str(), 1);
    EXPECT_FALSE(RunCameraPropertySheet(nullptr, "Camera 1 properties", settings_));
    EXPECT_TRUE(log_.Contains("DialogScript: WARNING: cannot read the dialog script"));
}

TEST_F(RunnerTest, ProcessScriptAnswersTheNoticeThenPlaysTheSheet) {
    const std::string script = File("script.txt",
                                    "# busy warning, then the sheet\n"
                                    "notice ok\n"
                                    "type 1016 9\n"
                                    "ok\n");
    setenv("KORVANE_DIALOG_SCRIPT", script.c_str(), 1);
    EXPECT_TRUE(platform::NoticeUiAvailable());
    EXPECT_EQ(platform::ShowNotice("busy", "Camera 1 properties", 0x31), platform::kAnswerOk);
    EXPECT_TRUE(RunCameraPropertySheet(nullptr, "Camera 1 properties", settings_));
    EXPECT_EQ(settings_.Gain.value, 9);
    // The next session starts at the top again.
    platform::UiScriptLine line;
    ASSERT_TRUE(platform::PeekUiScriptLine(line));
    EXPECT_EQ(line.number, 2);
    EXPECT_EQ(line.text, "notice ok");
}

TEST_F(RunnerTest, ACancelledNoticeEndsTheSession) {
    const std::string script = File("script.txt", "notice cancel\ntype 1016 9\nok\n");
    setenv("KORVANE_DIALOG_SCRIPT", script.c_str(), 1);
    EXPECT_EQ(platform::ShowNotice("busy", "cap", 0x31), platform::kAnswerCancel);
    EXPECT_EQ(platform::ShowNotice("busy", "cap", 0x31), platform::kAnswerCancel);
    // A sheet shown without the notice plays the script from the top too, and
    // reports the notice line it has no use for.
    EXPECT_TRUE(RunCameraPropertySheet(nullptr, "Camera 1 properties", settings_));
    EXPECT_EQ(settings_.Gain.value, 9);
    EXPECT_TRUE(
        log_.Contains("DialogScript: WARNING: line 1: no message box is open: notice cancel\n"));
}

TEST_F(RunnerTest, ChangingTheScriptStartsAfresh) {
    setenv("KORVANE_DIALOG_SCRIPT", File("a.txt", "notice ok\nnotice cancel\n").c_str(), 1);
    EXPECT_EQ(platform::ShowNotice("n", "c", 1), platform::kAnswerOk);
    setenv("KORVANE_DIALOG_SCRIPT", File("b.txt", "notice retry\n").c_str(), 1);
    EXPECT_EQ(platform::ShowNotice("n", "c", 1), 4);
    unsetenv("KORVANE_DIALOG_SCRIPT");
#ifdef _WIN32
    EXPECT_TRUE(platform::NoticeUiAvailable()) << "Windows always has its message boxes";
#else
    EXPECT_FALSE(platform::NoticeUiAvailable()) << "no script, no window toolkit";
#endif
}

}  // namespace
}  // namespace korvane::dlg::test

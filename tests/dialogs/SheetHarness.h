#pragma once
// The camera property sheet with its three pages on a settings copy, run
// through a scripted view, with the log's system path in a fresh directory.
#include <gtest/gtest.h>

#include <string>

#include "dialogs/CPropCameraControls.h"
#include "dialogs/CPropFrameGrabber.h"
#include "dialogs/CPropIo.h"
#include "dialogs/CSheet1.h"
#include "dialogs/ControlIds.h"
#include "dialogs/ScriptedView.h"
#include "driver/DriverLog.h"
#include "settings/CameraSettings.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TempDir.h"

namespace korvane::dlg::test {

// Settings as an opened 1280 x 960 camera leaves them.
inline CameraSettings OpenedCameraSettings() {
    CameraSettings settings;
    settings.Width.value = 640;
    settings.Height.value = 480;
    return settings;
}

struct SheetUnderTest {
    explicit SheetUnderTest(CameraSettings& settings, const std::string& script = "")
        : view(script),
          sheet("Camera 1 properties", nullptr, view),
          frameGrabber(sheet, settings),
          cameraControls(sheet, settings),
          io(sheet, settings) {
        sheet.AddPage(frameGrabber);
        sheet.AddPage(cameraControls);
        sheet.AddPage(io);
    }
    // Plays the whole script; answers the sheet's result.
    int Run() { return view.RunModal(sheet, nullptr); }
    ControlModel& Page(int index) { return *sheet.PageControls(index); }

    ScriptedView view;
    CSheet1 sheet;
    CPropFrameGrabber frameGrabber;
    CPropCameraControls cameraControls;
    CPropIo io;
};

class DialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DriverLog::Instance().ResetForTesting();
        DriverLog::Instance().SetSystemPath(dir_.path().c_str());
        DriverLog::Instance().SetMessageProc(&korvane::test::LogCapture::Callback);
        DriverLog::Instance().SetLevel(4);
    }
    void TearDown() override { DriverLog::Instance().ResetForTesting(); }

    std::string File(const std::string& name, const std::string& text) {
        korvane::test::WriteFile(dir_.File(name), text);
        return dir_.File(name);
    }

    korvane::test::TempDir dir_;
    korvane::test::LogCapture log_;
    CameraSettings settings_ = OpenedCameraSettings();
};

}  // namespace korvane::dlg::test

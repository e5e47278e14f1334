#include "dialogs/CPropFrameGrabber.h"

#include <exception>
#include <vector>

#include "dialogs/CSheet1.h"
#include "dialogs/ControlIds.h"
#include "dialogs/DlgGenerateLUT.h"
#include "dialogs/MessageBoxCaption.h"
#include "dialogs/RangeText.h"
#include "driver/DriverLog.h"
#include "platform/UiNotice.h"
#include "settings/LutCsvFile.h"

namespace korvane::dlg {

using namespace fg;

CPropFrameGrabber::CPropFrameGrabber(CSheet1& sheet, CameraSettings& settings)
    : PropertyPage(sheet, settings, FrameGrabberTemplate()) {}

void CPropFrameGrabber::DoDataExchange(Exchange direction) {
    ControlModel& c = Controls();
    CameraSettings& s = settings_;
    DdxParamString(c, direction, kDcfFile, s.DCF_FILE.value);
    DdxCheck(c, direction, kDefaultDcf, s.UseDefaultDCF.value);
    DdxParamInt(c, direction, kOffsetX, s.OffsetX.value);
    DdxParamString(c, direction, kOffsetXRange, offsetXRange_);
    DdxParamInt(c, direction, kWidth, s.Width.value);
    DdxParamString(c, direction, kWidthRange, widthRange_);
    DdxParamInt(c, direction, kOffsetY, s.OffsetY.value);
    DdxParamString(c, direction, kOffsetYRange, offsetYRange_);
    DdxParamInt(c, direction, kHeight, s.Height.value);
    DdxParamString(c, direction, kHeightRange, heightRange_);
    DdxCheck(c, direction, kFlipX, s.DirectionX.value);
    DdxCheck(c, direction, kFlipY, s.DirectionY.value);
    DdxParamInt(c, direction, kGain, s.Gain.value);
    DdxParamString(c, direction, kGainRange, gainRange_);
    DdxCheck(c, direction, kUseLut, s.UseLUT.value);
    DdxParamString(c, direction, kLutFile, s.LUT_FILE.value);
    DdxParamInt(c, direction, kLogLevel, s.LogLevel.value);
    DdxCheck(c, direction, kShareCamera, s.ShareCamera.value);
    DdxCheck(c, direction, kLogIntoFile, s.LogIntoFile.value);
    DdxParamString(c, direction, kShareName, s.ShareName.value);
}

void CPropFrameGrabber::OnInitDialog() {
    PropertyPage::OnInitDialog();
    dcfAtOpen_ = settings_.DCF_FILE.value;
    defaultDcfAtOpen_ = settings_.UseDefaultDCF.value;
    LoadControls();
    UpdateControls();
    FillLutColumns();
}

void CPropFrameGrabber::UpdateControls() {
    ReadControls();
    ControlModel& c = Controls();
    CameraSettings& s = settings_;

    const bool useLut = s.UseLUT.value != 0;
    c.SetEnabled(kLutFile, useLut);
    c.SetEnabled(kChooseLut, useLut);
    c.SetEnabled(kLutColumn, useLut);
    const bool ownDcf = s.UseDefaultDCF.value == 0;
    c.SetEnabled(kDcfFile, ownDcf);
    c.SetEnabled(kChooseDcf, ownDcf);

    c.SetText(kLogLevelRange, IntRangeText(s.LogLevel));

    // The offsets may go only as far as the image still fits the sensor.
    // The limits stay changed in the settings copy.
    if (s.Width.IsInRange()) {
        s.OffsetX.maxValue = s.Width.maxValue - s.Width.value;
    }
    if (s.Height.IsInRange()) {
        s.OffsetY.maxValue = s.Height.maxValue - s.Height.value;
    }
    offsetXRange_ = IntRangeText(s.OffsetX);
    offsetYRange_ = IntRangeText(s.OffsetY);
    widthRange_ = IntRangeText(s.Width);
    heightRange_ = IntRangeText(s.Height);
    gainRange_ = IntRangeText(s.Gain);

    // Shows every number in its canonical form at once.
    LoadControls();

    c.SetEnabled(kShareName, s.ShareCamera.value > 0);
}

bool CPropFrameGrabber::Validate() {
    ReadControls();
    const struct {
        const Param<int>& setting;
        const char* message;
    } checks[] = {
        {settings_.OffsetX, "Offset X not in range"},
        {settings_.OffsetY, "Offset Y not in range"},
        {settings_.Width, "Width not in range"},
        {settings_.Height, "Height not in range"},
        {settings_.Gain, "Gain not in range"},
        {settings_.LogLevel, "Log level not in range"},
    };
    for (const auto& check : checks) {
        if (!check.setting.IsInRange()) {
            sheet_.ReportError(*this, check.message);
            return false;
        }
    }
    return true;
}

void CPropFrameGrabber::StoreValidity(bool valid) {
    sheet_.SetFrameGrabberValid(valid);
}

void CPropFrameGrabber::OnSettingChanged() {
    UpdateControls();
    PropertyPage::OnSettingChanged();
}

void CPropFrameGrabber::FillLutColumns() {
    if (settings_.UseLUT.value == 0) {
        return;
    }
    ControlModel& c = Controls();
    std::vector<std::string> names;
    bool read = false;
    try {
        const LutCsvFile file(settings_.LUT_FILE.value);
        for (int i = 0; i < file.GetColumnCount(); ++i) {
            names.push_back(file.GetColumnName(i).value_or(""));
        }
        read = true;
    } catch (const std::exception& e) {
        KLOG(kProgress, "CPropFrameGrabber::FillLutColumns: WARNING: cannot read %s: %s\n",
             settings_.LUT_FILE.value.c_str(), e.what());
    }
    if (read) {
        c.ComboReset(kLutColumn);
        int selected = names.empty() ? -1 : 0;
        for (std::size_t i = 0; i < names.size(); ++i) {
            c.ComboAddString(kLutColumn, names[i]);
        }
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (names[i] == settings_.lutcolumn.value) {
                selected = static_cast<int>(i);
                break;
            }
        }
        c.ComboSetCurSel(kLutColumn, selected);
    }
    c.ComboSetEditReadOnly(kLutColumn, true);
}

void CPropFrameGrabber::UpdateNeedsReset(const std::string& dcfFile) {
    sheet_.needsReset =
        dcfFile != dcfAtOpen_ ? true : settings_.UseDefaultDCF.value != defaultDcfAtOpen_;
}

void CPropFrameGrabber::ChooseDcfFile() {
    FileDialogOptions options;
    options.defaultExtension = "dcf";
    options.filter = "DCF (*.dcf)|*.dcf||";
    options.title = "Select DCF file";
    options.fileMustExist = true;
    options.hideReadOnly = true;
    if (settings_.DCF_FILE.value != "M_DEFAULT") {
        options.initialFile = DriverLog::Instance().MakeAbsolutePath(settings_.DCF_FILE.value);
    }
    const std::optional<std::string> chosen = sheet_.View().ChooseFile(options);
    if (!chosen) {
        return;
    }
    // Take in what the user changed on this page so far: reloading the
    // controls below must not undo a click on a box that has no handler.
    ReadControls();
    settings_.DCF_FILE.value = DriverLog::Instance().MakeRelativePath(*chosen);
    LoadControls();
    // The full path chosen is compared with the text stored at open.
    UpdateNeedsReset(*chosen);
    OnSettingChanged();
}

void CPropFrameGrabber::ChooseLutFile() {
    FileDialogOptions options;
    options.defaultExtension = "csv";
    options.initialFile = "csv file";
    options.initialFolder = "c:";
    options.filter = "LUT table (*.csv)|*.csv||";
    options.title = "Select LUT file";
    options.fileMustExist = true;
    options.hideReadOnly = true;
    const std::optional<std::string> chosen = sheet_.View().ChooseFile(options);
    if (!chosen) {
        return;
    }
    if (LutCsvFile(*chosen).GetColumnCount() == 0) {
        sheet_.View().MessageBox("Could not read column names", kMessageBoxCaption,
                                 platform::kBoxOk | platform::kIconError);
        return;
    }
    ReadControls();  // as in ChooseDcfFile
    settings_.LUT_FILE.value = *chosen;
    LoadControls();
    FillLutColumns();
}

void CPropFrameGrabber::GenerateLut() {
    DlgGenerateLUT dialog(settings_, sheet_.View());
    dialog.DoModal();  // the page has nothing to do with its result
}

void CPropFrameGrabber::OnTextChanged(int id) {
    switch (id) {
        case kOffsetX:
        case kOffsetY:
        case kWidth:
        case kHeight:
        case kGain:
        case kLogLevel:
            OnSettingChanged();
            break;
        default:
            break;
    }
}

void CPropFrameGrabber::OnClicked(int id) {
    switch (id) {
        case kChooseDcf:
            ChooseDcfFile();
            break;
        case kChooseLut:
            ChooseLutFile();
            break;
        case kUseLut:
            UpdateControls();
            FillLutColumns();
            break;
        case kDefaultDcf:
            UpdateControls();
            UpdateNeedsReset(settings_.DCF_FILE.value);
            OnSettingChanged();
            break;
        case kShareCamera:
            UpdateControls();
            break;
        case kGenerateLut:
            GenerateLut();
            break;
        default:
            break;
    }
}

std::intptr_t CPropFrameGrabber::OnQuerySiblings(std::intptr_t, std::intptr_t) {
    StoreValidity(Validate());
    return 0;
}

void CPropFrameGrabber::OnOK() {
    // An empty list offered no choice (the LUT is off, or its file has no
    // columns): the stored column stays as it was.
    if (Controls().ComboGetCount(kLutColumn) == 0) {
        return;
    }
    ReadEnumCombo(Controls(), kLutColumn, settings_.lutcolumn.value);
}

}  // namespace korvane::dlg

// The layouts of the property pages and the LUT generator dialog. Everything
// that shows these dialogs (the headless model, a window toolkit, the
// generated resource script) reads them from here.
#include "dialogs/ControlIds.h"
#include "dialogs/DialogTemplate.h"

namespace korvane::dlg {
namespace {

constexpr const char* kFontName = "MS Shell Dlg";
constexpr int kFontSize = 8;
constexpr int kPageWidth = 299;
constexpr int kPageHeight = 185;
constexpr const char* kEmptyRange = "[ ]";

ControlTemplate Group(const char* text, int x, int y, int w, int h) {
    return {kIdStatic, ControlKind::GroupBox, text, {x, y, w, h}, false, -1};
}
// A static text naming the control `forId`, set two units lower than a
// 12-unit control on the same row so the texts line up.
ControlTemplate Label(const char* text, int forId, int x, int y, int w) {
    return {kIdStatic, ControlKind::Static, text, {x, y + 2, w, 8}, false, forId};
}
ControlTemplate Heading(const char* text, int x, int y, int w) {
    return {kIdStatic, ControlKind::Static, text, {x, y, w, 8}, false, -1};
}
ControlTemplate Edit(int id, int x, int y, int w, bool readOnly = false) {
    return {id, ControlKind::Edit, "", {x, y, w, 12}, readOnly, -1};
}
ControlTemplate Range(int id, int x, int y, int w, const char* text = kEmptyRange) {
    return {id, ControlKind::Static, text, {x, y + 2, w, 8}, false, -1};
}
ControlTemplate Check(int id, const char* text, int x, int y, int w) {
    return {id, ControlKind::CheckBox, text, {x, y + 1, w, 10}, false, -1};
}
ControlTemplate Button(int id, const char* text, int x, int y, int w, int h = 12) {
    return {id, ControlKind::PushButton, text, {x, y, w, h}, false, -1};
}
ControlTemplate Combo(int id, int x, int y, int w) {
    return {id, ControlKind::ComboBox, "", {x, y, w, 12}, false, -1};
}

DialogTemplate Page(int resourceId, const char* caption, std::vector<ControlTemplate> controls) {
    return {resourceId, caption,   DialogStyle::PropertyPage, kPageWidth, kPageHeight,
            kFontName,  kFontSize, std::move(controls)};
}

DialogTemplate BuildFrameGrabber() {
    using namespace fg;
    return Page(kTemplateFrameGrabber, "FrameGrabber Settings",
                {
                    Group("DCF", 7, 3, 285, 30),
                    Label("Active DCF", kDcfFile, 14, 14, 40),
                    Edit(kDcfFile, 56, 14, 150, true),
                    Button(kChooseDcf, "...", 210, 14, 16),
                    Check(kDefaultDcf, "Default DCF", 232, 14, 56),

                    Group("ROI", 7, 36, 285, 46),
                    Label("Offset X", kOffsetX, 14, 48, 34),
                    Edit(kOffsetX, 50, 48, 40),
                    Range(kOffsetXRange, 94, 48, 56),
                    Label("Width", kWidth, 156, 48, 22),
                    Edit(kWidth, 180, 48, 40),
                    Range(kWidthRange, 224, 48, 62),
                    Label("Offset Y", kOffsetY, 14, 64, 34),
                    Edit(kOffsetY, 50, 64, 40),
                    Range(kOffsetYRange, 94, 64, 56),
                    Label("Height", kHeight, 156, 64, 22),
                    Edit(kHeight, 180, 64, 40),
                    Range(kHeightRange, 224, 64, 62),

                    Group("Image Transformation", 7, 85, 285, 58),
                    Check(kFlipX, "Flip horizontally", 14, 97, 68),
                    Check(kFlipY, "Flip vertically", 84, 97, 64),
                    Label("Gain", kGain, 156, 97, 22),
                    Edit(kGain, 180, 97, 40),
                    Range(kGainRange, 224, 97, 62),
                    Check(kUseLut, "LUT Enable", 14, 112, 52),
                    Edit(kLutFile, 68, 112, 198, true),
                    Button(kChooseLut, "...", 270, 112, 16),
                    Combo(kLutColumn, 68, 127, 110),
                    Button(kGenerateLut, "Generate LUT", 224, 126, 62, 14),

                    Group("Misc", 7, 146, 285, 37),
                    Label("Log Level", kLogLevel, 14, 157, 34),
                    Edit(kLogLevel, 50, 157, 24),
                    Range(kLogLevelRange, 78, 157, 60, "Static"),
                    Check(kLogIntoFile, "Also log into file", 156, 157, 80),
                    Check(kShareCamera, "Share Camera", 14, 170, 60),
                    Label("Share Name", kShareName, 80, 170, 40),
                    Edit(kShareName, 124, 170, 100),
                });
}

DialogTemplate BuildCameraControls() {
    using namespace cc;
    // "Exosure" is the group's caption as users know it.
    return Page(kTemplateCameraControls, "Exposure/Trigger",
                {
                    Group("Exosure", 7, 3, 285, 48),
                    Label("Exposure time, ms", kExposure, 14, 16, 70),
                    Edit(kExposure, 88, 16, 50),
                    Range(kExposureRange, 144, 16, 100),
                    Label("Exposure delay, ms", kExposureDelay, 14, 32, 70),
                    Edit(kExposureDelay, 88, 32, 50),
                    Range(kExposureDelayRange, 144, 32, 100),

                    Group("Trigger", 7, 56, 285, 64),
                    Check(kUseTrigger, "Enable trigger", 14, 68, 80),
                    Label("Trigger source", kTriggerSource, 14, 84, 70),
                    Combo(kTriggerSource, 88, 84, 100),
                    Label("Trigger mode", kTriggerMode, 14, 100, 70),
                    Combo(kTriggerMode, 88, 100, 100),
                });
}

DialogTemplate BuildIo() {
    using namespace io;
    std::vector<ControlTemplate> controls;
    controls.push_back(Group("Input", 7, 3, 140, 96));
    controls.push_back(Heading("Debounce time, ms", 60, 13, 80));
    const char* inputs[] = {"Input 1", "Input 2", "Input 3", "Input 4", "Trigger"};
    for (int i = 0; i < 5; ++i) {
        const int y = 24 + 15 * i;
        controls.push_back(Label(inputs[i], kDebounce[i], 14, y, 40));
        controls.push_back(Combo(kDebounce[i], 60, y, 80));
    }
    controls.push_back(Group("Output", 152, 3, 140, 96));
    controls.push_back(Heading("Output signal", 205, 13, 80));
    const char* outputs[] = {"Output 4", "Output 5", "Output 6", "Output 7"};
    for (int i = 0; i < 4; ++i) {
        const int y = 24 + 15 * i;
        controls.push_back(Label(outputs[i], kAuxOut[i], 159, y, 42));
        controls.push_back(Combo(kAuxOut[i], 205, y, 80));
    }
    const std::vector<ControlTemplate> strobe = {
        Group("Strobe", 7, 102, 285, 80),
        Check(kStrobeTimer, "Strobe timer", 14, 113, 56),
        Label("Source", kStrobeSource, 76, 113, 24),
        Combo(kStrobeSource, 102, 113, 76),
        Label("Polarity", kStrobePolarity, 184, 113, 30),
        Combo(kStrobePolarity, 216, 113, 70),
        Label("Level", kLevel, 14, 130, 40),
        Edit(kLevel, 56, 130, 36),
        Range(kLevelRange, 96, 130, 70),
        Check(kHidrive, "Hi-drive mode", 184, 130, 70),
        Label("Time, ms", kStrobeTime, 14, 146, 40),
        Edit(kStrobeTime, 56, 146, 36),
        Range(kStrobeTimeRange, 96, 146, 70),
        Label("Hi-drive time, ms", kHidriveTime, 184, 146, 64),
        Edit(kHidriveTime, 250, 146, 36),
        Label("Delay, ms", kStrobeDelay, 14, 162, 40),
        Edit(kStrobeDelay, 56, 162, 36),
        Range(kStrobeDelayRange, 96, 162, 70),
        Range(kHidriveTimeRange, 216, 162, 70),
    };
    controls.insert(controls.end(), strobe.begin(), strobe.end());
    return Page(kTemplateIo, "Input/Output", std::move(controls));
}

DialogTemplate BuildGenerateLut() {
    using namespace lut;
    return {kTemplateGenerateLut,
            "Generate LUT table",
            DialogStyle::ModalDialog,
            220,
            150,
            kFontName,
            kFontSize,
            {
                {kFormula, ControlKind::Static, "", {7, 7, 206, 40}, false, -1},
                Group("Define input range", 7, 52, 206, 68),
                Label("MSB #", kMaxpix, 14, 66, 40),
                Edit(kMaxpix, 58, 66, 40),
                Range(kMaxpixRange, 104, 66, 60),
                Label("LSB #", kMinpix, 14, 82, 40),
                Edit(kMinpix, 58, 82, 40),
                Range(kMinpixRange, 104, 82, 60),
                Label("Steepness", kSteepness, 14, 98, 40),
                Edit(kSteepness, 58, 98, 40),
                Range(kSteepnessRange, 104, 98, 60),
                {kIdOk, ControlKind::DefPushButton, "OK", {106, 128, 50, 14}, false, -1},
                {kIdCancel, ControlKind::PushButton, "Cancel", {163, 128, 50, 14}, false, -1},
            }};
}

}  // namespace

const ControlTemplate* DialogTemplate::Find(int id) const {
    if (id == kIdStatic) {
        return nullptr;
    }
    for (const ControlTemplate& control : controls) {
        if (control.id == id) {
            return &control;
        }
    }
    return nullptr;
}

std::string DialogTemplate::LabelOf(int id) const {
    for (const ControlTemplate& control : controls) {
        if (control.id == kIdStatic && control.labelFor == id) {
            return control.text;
        }
    }
    return {};
}

const DialogTemplate& FrameGrabberTemplate() {
    static const DialogTemplate t = BuildFrameGrabber();
    return t;
}
const DialogTemplate& CameraControlsTemplate() {
    static const DialogTemplate t = BuildCameraControls();
    return t;
}
const DialogTemplate& IoTemplate() {
    static const DialogTemplate t = BuildIo();
    return t;
}
const DialogTemplate& GenerateLutTemplate() {
    static const DialogTemplate t = BuildGenerateLut();
    return t;
}

std::vector<const DialogTemplate*> AllTemplates() {
    return {&FrameGrabberTemplate(), &CameraControlsTemplate(), &IoTemplate(),
            &GenerateLutTemplate()};
}

}  // namespace korvane::dlg

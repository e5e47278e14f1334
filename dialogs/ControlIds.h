#pragma once
// Control identifiers of the property sheet, its three pages and the LUT
// generator dialog. Identifiers are unique within one dialog only: the pages
// reuse some numbers for different controls.
namespace korvane::dlg {

// Buttons and bars of the sheet's own frame.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdHelp = 9;
inline constexpr int kIdApply = 12321;
inline constexpr int kIdStatusBar = 1049;

// Labels and group boxes carry no identifier of their own.
inline constexpr int kIdStatic = -1;

// Dialog template resources.
inline constexpr int kTemplateFrameGrabber = 1002;
inline constexpr int kTemplateCameraControls = 1003;
inline constexpr int kTemplateIo = 106;
inline constexpr int kTemplateGenerateLut = 1004;

// "FrameGrabber Settings"
namespace fg {
inline constexpr int kDcfFile = 1022;
inline constexpr int kChooseDcf = 1214;
inline constexpr int kDefaultDcf = 1051;
inline constexpr int kOffsetX = 1200;
inline constexpr int kOffsetXRange = 1047;
inline constexpr int kWidth = 1017;
inline constexpr int kWidthRange = 1050;
inline constexpr int kOffsetY = 1020;
inline constexpr int kOffsetYRange = 1049;
inline constexpr int kHeight = 1018;
inline constexpr int kHeightRange = 1053;
inline constexpr int kFlipX = 1065;
inline constexpr int kFlipY = 1064;
inline constexpr int kGain = 1016;
inline constexpr int kGainRange = 1038;
inline constexpr int kUseLut = 1030;
inline constexpr int kLutFile = 1048;
inline constexpr int kChooseLut = 1006;
inline constexpr int kLutColumn = 1045;
inline constexpr int kGenerateLut = 1007;
inline constexpr int kLogLevel = 1023;
inline constexpr int kLogLevelRange = 1041;
inline constexpr int kShareCamera = 1060;
inline constexpr int kLogIntoFile = 1059;
inline constexpr int kShareName = 1061;
}  // namespace fg

// "Exposure/Trigger"
namespace cc {
inline constexpr int kExposure = 1036;
inline constexpr int kExposureRange = 1042;
inline constexpr int kExposureDelay = 1037;
inline constexpr int kExposureDelayRange = 1043;
inline constexpr int kUseTrigger = 1062;
inline constexpr int kTriggerSource = 1025;
inline constexpr int kTriggerMode = 1026;
}  // namespace cc

// "Input/Output"
namespace io {
// AuxInDebounce0..3, then TriggerDebounce.
inline constexpr int kDebounce[5] = {1067, 1068, 1069, 1070, 1071};
// AuxOut4..AuxOut7.
inline constexpr int kAuxOut[4] = {1063, 1064, 1065, 1066};
inline constexpr int kStrobeTimer = 1072;
inline constexpr int kStrobeSource = 1027;
inline constexpr int kStrobePolarity = 1028;
inline constexpr int kLevel = 1039;
inline constexpr int kLevelRange = 1044;
inline constexpr int kStrobeTime = 1040;
inline constexpr int kStrobeTimeRange = 1045;
inline constexpr int kStrobeDelay = 1041;
inline constexpr int kStrobeDelayRange = 1046;
inline constexpr int kHidrive = 1073;
inline constexpr int kHidriveTime = 1047;
inline constexpr int kHidriveTimeRange = 1048;
}  // namespace io

// "Generate LUT table"
namespace lut {
inline constexpr int kFormula = 1080;
inline constexpr int kMaxpix = 1081;
inline constexpr int kMinpix = 1082;
inline constexpr int kSteepness = 1083;
inline constexpr int kMaxpixRange = 1084;
inline constexpr int kMinpixRange = 1085;
inline constexpr int kSteepnessRange = 1086;
}  // namespace lut

}  // namespace korvane::dlg

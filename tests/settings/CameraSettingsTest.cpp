#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "driver/DriverLog.h"
#include "settings/CameraSettings.h"
#include "tests/support/LogCapture.h"
#include "tests/support/PlatformText.h"
#include "tests/support/TempDir.h"

namespace korvane {
namespace {

using test::ProfileText;
using test::ReadFile;
using test::WriteFile;

const char* const kDefaultsSection =
    "[Camera 1]\n"
    "OffsetX=0\n"
    "OffsetY=0\n"
    "Width=0\n"
    "Height=0\n"
    "DirectionX=0\n"
    "DirectionY=0\n"
    "DCF_FILE=M_DEFAULT\n"
    "UseDefaultDCF=0\n"
    "UseLUT=0\n"
    "LUT_FILE=\n"
    "lutcolumn=\n"
    "Use16bit=0\n"
    "Shift16bit=0\n"
    "LUTGEN_minpix=0\n"
    "LUTGEN_maxpix=15\n"
    "LUTGEN_steepness=1\n"
    "ExposureMode=Level High\n"
    "Exposure=0\n"
    "ExposureDelay=0\n"
    "LightingBrightField=255\n"
    "StateOfStrobeTimer=0\n"
    "StrobeSource=Exposure signal\n"
    "StrobePolarity=Level High\n"
    "StrobeTime=0\n"
    "StrobeDelay=0\n"
    "StrobeHidrive=0\n"
    "StrobeHidriveTime=0\n"
    "UseTrigger=0\n"
    "TriggerSource=Hardware Port 0\n"
    "TriggerMode=Falling\n"
    "Gain=0\n"
    "AuxInDebounce0=0.000250\n"
    "AuxInDebounce1=0.000250\n"
    "AuxInDebounce2=0.000250\n"
    "AuxInDebounce3=0.000250\n"
    "TriggerDebounce=0.000250\n"
    "AuxOut4=User bit\n"
    "AuxOut5=User bit\n"
    "AuxOut6=User bit\n"
    "AuxOut7=User bit\n"
    "LogLevel=1\n"
    "ShareCamera=0\n"
    "ShareName=\n";

class CameraSettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DriverLog::Instance().ResetForTesting();
        ASSERT_TRUE(DriverLog::Instance().SetSystemPath(dir_.path().c_str()));
    }
    void TearDown() override { DriverLog::Instance().ResetForTesting(); }

    std::string IniPath() const { return dir_.File("Korvane.ini"); }

    test::TempDir dir_;
};

std::vector<std::string> Labels(const ParamEnum& e) {
    return e.labels;
}

TEST_F(CameraSettingsTest, CatalogueDefaultsLimitsAndLabels) {
    const CameraSettings s;
    EXPECT_EQ(s.Width.value, 0);
    EXPECT_FALSE(s.Width.IsInRange());  // default below its minimum of 10
    EXPECT_FALSE(s.Height.IsInRange());
    EXPECT_EQ(s.Height.maxValue, 960);
    EXPECT_EQ(s.LightingBrightField.value, 255);
    EXPECT_EQ(s.LogLevel.value, 1);
    EXPECT_EQ(s.LogLevel.maxValue, 4);
    EXPECT_EQ(s.Shift16bit.maxValue, 8);
    EXPECT_EQ(s.LUTGEN_steepness.minValue, 1);
    EXPECT_EQ(s.DCF_FILE.value, "M_DEFAULT");
    EXPECT_DOUBLE_EQ(s.StrobeHidriveTime.maxValue, 1000.0);

    EXPECT_EQ(s.TriggerSource.value, "Hardware Port 0");
    EXPECT_EQ(s.TriggerSource.GetNumericValue(), 16);
    EXPECT_EQ(s.TriggerMode.value, "Falling");
    EXPECT_EQ(s.TriggerMode.GetNumericValue(), 13);
    EXPECT_EQ(s.StrobeSource.value, "Exposure signal");
    EXPECT_EQ(s.StrobePolarity.GetNumericValue(), 15);
    EXPECT_EQ(s.ExposureMode.value, "Level High");

    const std::vector<std::string> debounce = {"0.000250", "0.001000",  "0.005000", "0.010000",
                                               "1.000000", "10.000000", "25.000000"};
    const char* const debounceNames[] = {"AuxInDebounce0", "AuxInDebounce1", "AuxInDebounce2",
                                         "AuxInDebounce3", "TriggerDebounce"};
    for (int i = 0; i < CameraSettings::kDebounceCount; ++i) {
        EXPECT_EQ(s.Debounce[i].name, debounceNames[i]);
        EXPECT_EQ(Labels(s.Debounce[i]), debounce);
        EXPECT_EQ(s.Debounce[i].value, "0.000250");
        EXPECT_EQ(s.Debounce[i].labelValues.back(), 25000000);
    }
    EXPECT_EQ(s.AuxOut[0].name, "AuxOut4");
    EXPECT_EQ(s.AuxOut[3].name, "AuxOut7");
    EXPECT_EQ(s.AuxOut[0].GetLabelCount(), 4);
    EXPECT_EQ(s.AuxOut[1].GetLabelCount(), 4);
    EXPECT_EQ(s.AuxOut[2].GetLabelCount(), 2);
    EXPECT_EQ(s.AuxOut[3].GetLabelCount(), 1);
    EXPECT_EQ(s.AuxOut[3].GetNumericValue(), static_cast<std::int32_t>(0xA0000000u));
    CameraSettings changed = s;
    changed.AuxOut[1].value = "Strobe";
    EXPECT_EQ(changed.AuxOut[1].GetNumericValue(), 4152);
}

TEST_F(CameraSettingsTest, SavingDefaultsWritesFortyThreeKeysInOrder) {
    CameraSettings s;
    s.LogIntoFile.value = 1;  // never persisted
    ASSERT_TRUE(s.Save("Camera 1"));
    EXPECT_EQ(ReadFile(IniPath()), ProfileText(kDefaultsSection));
    std::istringstream lines(kDefaultsSection);
    std::string line;
    int keys = 0;
    while (std::getline(lines, line)) {
        keys += line.find('=') != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(keys, 43);
}

TEST_F(CameraSettingsTest, NullCameraNameFailsAndTouchesNothing) {
    CameraSettings s;
    EXPECT_FALSE(s.Save(nullptr));
    EXPECT_FALSE(s.Load(nullptr));
    EXPECT_FALSE(std::filesystem::exists(IniPath()));
}

TEST_F(CameraSettingsTest, ValuesSurviveARoundTrip) {
    CameraSettings s;
    s.Gain.value = 77;
    s.Exposure.value = 1e-07;
    s.StrobeTime.value = 12.5;
    s.TriggerSource.value = "Software";
    s.Debounce[4].value = "10.000000";
    s.ShareName.value = "line camera";
    s.LUT_FILE.value = "./curves/lut.csv";
    s.LogLevel.value = 4;
    ASSERT_TRUE(s.Save("Camera 2"));

    CameraSettings loaded;
    ASSERT_TRUE(loaded.Load("Camera 2"));
    EXPECT_EQ(loaded.Gain.value, 77);
    EXPECT_DOUBLE_EQ(loaded.Exposure.value, 1e-07);
    EXPECT_DOUBLE_EQ(loaded.StrobeTime.value, 12.5);
    EXPECT_EQ(loaded.TriggerSource.value, "Software");
    EXPECT_EQ(loaded.TriggerSource.GetNumericValue(), 20);
    EXPECT_EQ(loaded.Debounce[4].value, "10.000000");
    EXPECT_EQ(loaded.ShareName.value, "line camera");
    EXPECT_EQ(loaded.LUT_FILE.value, "./curves/lut.csv");
    EXPECT_EQ(loaded.LogLevel.value, 4);
}

TEST_F(CameraSettingsTest, RealsAreStoredInShortForm) {
    CameraSettings s;
    s.Exposure.value = 0.1234567;
    ASSERT_TRUE(s.Save("Camera 1"));
    EXPECT_NE(ReadFile(IniPath()).find(ProfileText("\nExposure=0.123457\n")), std::string::npos);
}

TEST_F(CameraSettingsTest, MissingKeysKeepCurrentValuesAndRealsPassTheirShortForm) {
    WriteFile(IniPath(), "[Camera 1]\nOffsetX=12\nExposureDelay=\n");
    CameraSettings s;
    s.Gain.value = 33;  // as read back from the digitizer
    s.Exposure.value = 0.1234567;
    s.ExposureDelay.value = 0.7654321;
    s.ShareName.value = "kept";
    ASSERT_TRUE(s.Load("Camera 1"));
    EXPECT_EQ(s.OffsetX.value, 12);
    EXPECT_EQ(s.Gain.value, 33);
    EXPECT_DOUBLE_EQ(s.Exposure.value, 0.123457);
    // Present but empty: left exactly as it was.
    EXPECT_DOUBLE_EQ(s.ExposureDelay.value, 0.7654321);
    EXPECT_EQ(s.ShareName.value, "kept");

    CameraSettings other;
    other.Gain.value = 44;
    ASSERT_TRUE(other.Load("Camera 9"));  // no such section
    EXPECT_EQ(other.Gain.value, 44);
}

TEST_F(CameraSettingsTest, HandEditedValuesLoadAsTheyAre) {
    WriteFile(IniPath(),
              "\xEF\xBB\xBF; edited by hand\r\n"
              "[camera 1]\r\n"
              "  gain = 300 \r\n"
              "Width=abc\r\n"
              "Height=  -20px\r\n"
              "Exposure=fast\r\n"
              "StrobeTime=2.5e1ms\r\n"
              "TriggerMode=Sideways\r\n"
              "LogIntoFile=1\r\n"
              "Gain=5\r\n"
              "[Camera 1]\r\n"
              "OffsetY=99\r\n"
              "ShareName=\"quoted name\"");
    CameraSettings s;
    s.OffsetY.value = 7;
    ASSERT_TRUE(s.Load("Camera 1"));
    EXPECT_EQ(s.Gain.value, 300);  // first key of the first section; not clamped
    EXPECT_FALSE(s.Gain.IsInRange());
    EXPECT_EQ(s.Width.value, 0);
    EXPECT_EQ(s.Height.value, -20);
    EXPECT_EQ(s.Exposure.value, 0.0);
    EXPECT_DOUBLE_EQ(s.StrobeTime.value, 25.0);
    EXPECT_EQ(s.TriggerMode.value, "Sideways");
    EXPECT_EQ(s.TriggerMode.GetNumericValue(), 0);
    EXPECT_EQ(s.LogIntoFile.value, 0);
    EXPECT_EQ(s.OffsetY.value, 7);  // second "Camera 1" section is not read
    EXPECT_EQ(s.ShareName.value, "");
}

TEST_F(CameraSettingsTest, LongAndBinaryValuesLoadWithoutHarm) {
    std::string text = "[Camera 1]\nDCF_FILE=" + std::string(5000, 'd') + "\n";
    text += std::string("LUT_FILE=a\0b\x01\xff", 14) + "\n";
    text += "Gain=" + std::string(100000, '9') + "\n";
    text += std::string(200000, '\xff') + "\n";
    WriteFile(IniPath(), text);
    CameraSettings s;
    ASSERT_TRUE(s.Load("Camera 1"));
    EXPECT_EQ(s.DCF_FILE.value, std::string(255, 'd'));
    EXPECT_EQ(s.LUT_FILE.value, "a");
    EXPECT_EQ(s.Gain.value, 2147483647);
}

TEST_F(CameraSettingsTest, SaveKeepsOtherSectionsAndComments) {
    const std::string before =
        "; site configuration, do not remove\n"
        "[Other]\n"
        "Key=Value ; not a comment\n"
        "\n"
        "[Camera 1]\n"
        "; tuned on line 3\n"
        "Gain=9\n"
        "Custom=1\n"
        "\n"
        "[Tail]\n"
        "x=y";
    WriteFile(IniPath(), before);
    CameraSettings s;
    ASSERT_TRUE(s.Load("Camera 1"));
    EXPECT_EQ(s.Gain.value, 9);
    s.Gain.value = 10;
    ASSERT_TRUE(s.Save("Camera 1"));
    const std::string after = ReadFile(IniPath());
    EXPECT_EQ(
        after.rfind(ProfileText("; site configuration, do not remove\n[Other]\nKey=Value ; not a "
                                "comment\n\n[Camera 1]\n; tuned on line 3\nGain=10\nCustom=1\n"
                                "OffsetX=0\n"),
                    0),
        0u)
        << after;
    EXPECT_NE(after.find(ProfileText("ShareName=\n\n[Tail]\nx=y")), std::string::npos) << after;
    EXPECT_EQ(after.find("Gain=9"), std::string::npos);

    CameraSettings again;
    ASSERT_TRUE(again.Load("Camera 1"));
    EXPECT_EQ(again.Gain.value, 10);
}

TEST_F(CameraSettingsTest, SecondCameraGetsItsOwnSection) {
    CameraSettings one;
    CameraSettings two;
    two.Gain.value = 2;
    ASSERT_TRUE(one.Save("Camera 1"));
    ASSERT_TRUE(two.Save("Camera 2"));
    ASSERT_TRUE(one.Save("Camera 1"));
    const std::string text = ReadFile(IniPath());
    EXPECT_EQ(text, ProfileText(std::string(kDefaultsSection) + "\n" + [] {
                  std::string s = kDefaultsSection;
                  s.replace(s.find("Camera 1"), 8, "Camera 2");
                  s.replace(s.find("Gain=0"), 6, "Gain=2");
                  return s;
              }()));
}

TEST_F(CameraSettingsTest, StaleTemporaryFileFromAnInterruptedSaveIsHarmless) {
    CameraSettings s;
    s.Gain.value = 21;
    ASSERT_TRUE(s.Save("Camera 1"));
    // What a save that died before its rename leaves behind.
    WriteFile(IniPath() + ".a1B2c3", "[Camera 1]\nGain=");
    CameraSettings loaded;
    ASSERT_TRUE(loaded.Load("Camera 1"));
    EXPECT_EQ(loaded.Gain.value, 21);
    loaded.Gain.value = 22;
    ASSERT_TRUE(loaded.Save("Camera 1"));
    CameraSettings again;
    ASSERT_TRUE(again.Load("Camera 1"));
    EXPECT_EQ(again.Gain.value, 22);
}

TEST_F(CameraSettingsTest, ReaderOfTheOldFileNeverSeesAHalfWrittenOne) {
    CameraSettings s;
    ASSERT_TRUE(s.Save("Camera 1"));
    std::ifstream openBefore(IniPath(), std::ios::binary);
    ASSERT_TRUE(openBefore.is_open());
    s.Gain.value = 200;
    s.ShareName.value = std::string(3000, 'n');
    ASSERT_TRUE(s.Save("Camera 1"));
    std::ostringstream old;
    old << openBefore.rdbuf();
#ifdef _WIN32
    // A reader holding the file stops its replacement on Windows; the save
    // then writes the file in place, and the reader finds the whole new text.
    const std::string saved = ReadFile(IniPath());
    EXPECT_NE(saved.find(ProfileText("\nGain=200\n")), std::string::npos) << saved;
    EXPECT_EQ(old.str(), saved);
#else
    // The file is replaced, not rewritten in place: the reader that opened
    // it before still reads the complete old text.
    EXPECT_EQ(old.str(), kDefaultsSection);
#endif
    // And nothing but the INI file is left in the directory.
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir_.path())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST_F(CameraSettingsTest, FailedSaveIsQuietReportedAndChangesNothing) {
    test::LogCapture capture;
    DriverLog::Instance().SetMessageProc(&test::LogCapture::Callback);
    // The system path names a directory that does not exist.
    ASSERT_TRUE(DriverLog::Instance().SetSystemPath(dir_.File("missing").c_str()));
    CameraSettings s;
    EXPECT_FALSE(s.Save("Camera 1"));
    EXPECT_TRUE(capture.Contains("CameraSettings::Save: WARNING:"));
    EXPECT_FALSE(std::filesystem::exists(dir_.File("missing")));

    // A file too large to be an INI file is neither read nor replaced.
    ASSERT_TRUE(DriverLog::Instance().SetSystemPath(dir_.path().c_str()));
    std::string huge = "[Camera 1]\nGain=5\n" + std::string(17 * 1024 * 1024, ';');
    WriteFile(IniPath(), huge);
    s.Gain.value = 1;
    EXPECT_TRUE(s.Load("Camera 1"));
    EXPECT_EQ(s.Gain.value, 1);
    EXPECT_FALSE(s.Save("Camera 1"));
    EXPECT_EQ(std::filesystem::file_size(IniPath()), huge.size());
    DriverLog::Instance().SetMessageProc(nullptr);
}

TEST_F(CameraSettingsTest, ReadOnlyDirectoryFailsQuietly) {
    CameraSettings s;
    ASSERT_TRUE(s.Save("Camera 1"));
    namespace fs = std::filesystem;
    fs::permissions(dir_.path(), fs::perms::owner_read | fs::perms::owner_exec);
    std::ofstream probe(dir_.File("probe"));
    const bool enforced = !probe.is_open();
    probe.close();
    if (!enforced) {
        fs::permissions(dir_.path(), fs::perms::owner_all);
        GTEST_SKIP() << "permissions are not enforced for this user";
    }
    s.Gain.value = 3;
    const bool saved = s.Save("Camera 1");
    fs::permissions(dir_.path(), fs::perms::owner_all);
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadFile(IniPath()), ProfileText(kDefaultsSection));
}

TEST_F(CameraSettingsTest, LineBreaksInTextsCannotInjectKeys) {
    CameraSettings s;
    s.ShareName.value = "cam\n[Camera 1]\nGain=250";
    ASSERT_TRUE(s.Save("Camera 1"));
    CameraSettings loaded;
    ASSERT_TRUE(loaded.Load("Camera 1"));
    EXPECT_EQ(loaded.ShareName.value, "cam");
    EXPECT_EQ(loaded.Gain.value, 0);
}

TEST_F(CameraSettingsTest, TextsWithOuterBlanksOrQuotesSurviveARoundTrip) {
    CameraSettings s;
    s.ShareName.value = "  padded ";
    s.DCF_FILE.value = "\"quoted.dcf\"";
    s.LUT_FILE.value = "'a' and 'b'";
    s.lutcolumn.value = "in\"side";
    ASSERT_TRUE(s.Save("Camera 1"));
    CameraSettings loaded;
    ASSERT_TRUE(loaded.Load("Camera 1"));
    EXPECT_EQ(loaded.ShareName.value, "  padded ");
    EXPECT_EQ(loaded.DCF_FILE.value, "\"quoted.dcf\"");
    EXPECT_EQ(loaded.LUT_FILE.value, "'a' and 'b'");
    EXPECT_EQ(loaded.lutcolumn.value, "in\"side");
    // Plain texts are stored as they are.
    EXPECT_NE(ReadFile(IniPath()).find(ProfileText("\nlutcolumn=in\"side\n")), std::string::npos);
}

TEST_F(CameraSettingsTest, CopiesAreIndependentAndComplete) {
    CameraSettings original;
    original.Width.maxValue = 640;
    original.Exposure.minValue = 0.01;
    original.TriggerMode.value = "Rising";
    original.AuxOut[2].AddLabel("Extra", 1);
    CameraSettings copy(original);
    EXPECT_EQ(copy.Width.maxValue, 640);
    EXPECT_EQ(copy.TriggerMode.value, "Rising");
    EXPECT_EQ(copy.AuxOut[2].GetLabelCount(), 3);
    copy.Gain.value = 12;
    EXPECT_EQ(original.Gain.value, 0);
    original.CopyValuesFrom(copy);
    EXPECT_EQ(original.Gain.value, 12);
    EXPECT_DOUBLE_EQ(original.Exposure.minValue, 0.01);
}

TEST_F(CameraSettingsTest, RangesForTheHost) {
    CameraSettings s;
    int min = -1;
    int max = -1;
    ASSERT_TRUE(s.GetRange("exposure", min, max));
    EXPECT_EQ(min, 0);
    EXPECT_EQ(max, 1000000000);
    ASSERT_TRUE(s.GetRange("GAIN", min, max));
    EXPECT_EQ(max, 255);
    ASSERT_TRUE(s.GetRange("Shift16bit", min, max));
    EXPECT_EQ(max, 8);
    s.ExposureDelay.minValue = 0.0000015;
    s.ExposureDelay.maxValue = 5000.0;  // beyond what 32 bits hold in library units
    ASSERT_TRUE(s.GetRange("ExposureDelay", min, max));
    EXPECT_EQ(min, 1);
    EXPECT_EQ(max, 2147483647);
    min = max = 5;
    EXPECT_FALSE(s.GetRange("Width", min, max));
    EXPECT_FALSE(s.GetRange(nullptr, min, max));
    EXPECT_FALSE(s.GetRange("StrobeTime", min, max));
    EXPECT_EQ(min, 5);
    EXPECT_EQ(max, 5);
}

}  // namespace
}  // namespace korvane

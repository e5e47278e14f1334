// The dialog templates against the controls the pages are known by, their
// layout, and the resource script generated from them.
#include <gtest/gtest.h>

#include <set>

#include "dialogs/ControlIds.h"
#include "dialogs/ControlModel.h"
#include "dialogs/DialogTemplate.h"
#include "dialogs/ResourceScript.h"

namespace korvane::dlg {
namespace {

using K = ControlKind;

struct Expected {
    int id;
    ControlKind kind;
    const char* text;   // caption of a button or check box, else ""
    const char* label;  // text of the label naming it, else ""
};

void ExpectControls(const DialogTemplate& t, const std::vector<Expected>& expected) {
    std::set<int> listed;
    for (const Expected& e : expected) {
        SCOPED_TRACE(t.caption + " control " + std::to_string(e.id));
        listed.insert(e.id);
        const ControlTemplate* c = t.Find(e.id);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->kind, e.kind);
        if (e.kind != K::Static) {
            EXPECT_EQ(c->text, e.text);
        }
        EXPECT_EQ(t.LabelOf(e.id), e.label);
    }
    for (const ControlTemplate& c : t.controls) {
        if (c.id != kIdStatic) {
            EXPECT_EQ(listed.count(c.id), 1u) << t.caption << " has an unlisted control " << c.id;
        }
    }
}

std::vector<std::string> GroupCaptions(const DialogTemplate& t) {
    std::vector<std::string> groups;
    for (const ControlTemplate& c : t.controls) {
        if (c.kind == K::GroupBox) {
            groups.push_back(c.text);
        }
    }
    return groups;
}

TEST(TemplatesTest, PagesShareTheirSizeAndFont) {
    for (const DialogTemplate* t : AllTemplates()) {
        EXPECT_EQ(t->fontName, "MS Shell Dlg");
        EXPECT_EQ(t->fontSize, 8);
    }
    const DialogTemplate* pages[] = {&FrameGrabberTemplate(), &CameraControlsTemplate(),
                                     &IoTemplate()};
    const int resources[] = {1002, 1003, 106};
    const char* captions[] = {"FrameGrabber Settings", "Exposure/Trigger", "Input/Output"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(pages[i]->width, 299);
        EXPECT_EQ(pages[i]->height, 185);
        EXPECT_EQ(pages[i]->style, DialogStyle::PropertyPage);
        EXPECT_EQ(pages[i]->resourceId, resources[i]);
        EXPECT_EQ(pages[i]->caption, captions[i]);
    }
    EXPECT_EQ(GenerateLutTemplate().caption, "Generate LUT table");
    EXPECT_EQ(GenerateLutTemplate().style, DialogStyle::ModalDialog);
}

TEST(TemplatesTest, FrameGrabberPage) {
    const DialogTemplate& t = FrameGrabberTemplate();
    ExpectControls(t, {
                          {1022, K::Edit, "", "Active DCF"},
                          {1214, K::PushButton, "...", ""},
                          {1051, K::CheckBox, "Default DCF", ""},
                          {1200, K::Edit, "", "Offset X"},
                          {1047, K::Static, "", ""},
                          {1017, K::Edit, "", "Width"},
                          {1050, K::Static, "", ""},
                          {1020, K::Edit, "", "Offset Y"},
                          {1049, K::Static, "", ""},
                          {1018, K::Edit, "", "Height"},
                          {1053, K::Static, "", ""},
                          {1065, K::CheckBox, "Flip horizontally", ""},
                          {1064, K::CheckBox, "Flip vertically", ""},
                          {1016, K::Edit, "", "Gain"},
                          {1038, K::Static, "", ""},
                          {1030, K::CheckBox, "LUT Enable", ""},
                          {1048, K::Edit, "", ""},
                          {1006, K::PushButton, "...", ""},
                          {1045, K::ComboBox, "", ""},
                          {1007, K::PushButton, "Generate LUT", ""},
                          {1023, K::Edit, "", "Log Level"},
                          {1041, K::Static, "", ""},
                          {1060, K::CheckBox, "Share Camera", ""},
                          {1059, K::CheckBox, "Also log into file", ""},
                          {1061, K::Edit, "", "Share Name"},
                      });
    EXPECT_EQ(GroupCaptions(t),
              (std::vector<std::string>{"DCF", "ROI", "Image Transformation", "Misc"}));
    EXPECT_TRUE(t.Find(1022)->readOnly);
    EXPECT_TRUE(t.Find(1048)->readOnly);
    EXPECT_FALSE(t.Find(1017)->readOnly);
    for (int id : {1047, 1050, 1049, 1053, 1038}) {
        EXPECT_EQ(t.Find(id)->text, "[ ]") << id;
    }
    EXPECT_EQ(t.Find(1041)->text, "Static");
}

TEST(TemplatesTest, ExposurePage) {
    const DialogTemplate& t = CameraControlsTemplate();
    ExpectControls(t, {
                          {1036, K::Edit, "", "Exposure time, ms"},
                          {1042, K::Static, "", ""},
                          {1037, K::Edit, "", "Exposure delay, ms"},
                          {1043, K::Static, "", ""},
                          {1062, K::CheckBox, "Enable trigger", ""},
                          {1025, K::ComboBox, "", "Trigger source"},
                          {1026, K::ComboBox, "", "Trigger mode"},
                      });
    EXPECT_EQ(GroupCaptions(t), (std::vector<std::string>{"Exosure", "Trigger"}));
}

TEST(TemplatesTest, InputOutputPage) {
    const DialogTemplate& t = IoTemplate();
    ExpectControls(t, {
                          {1067, K::ComboBox, "", "Input 1"},
                          {1068, K::ComboBox, "", "Input 2"},
                          {1069, K::ComboBox, "", "Input 3"},
                          {1070, K::ComboBox, "", "Input 4"},
                          {1071, K::ComboBox, "", "Trigger"},
                          {1063, K::ComboBox, "", "Output 4"},
                          {1064, K::ComboBox, "", "Output 5"},
                          {1065, K::ComboBox, "", "Output 6"},
                          {1066, K::ComboBox, "", "Output 7"},
                          {1072, K::CheckBox, "Strobe timer", ""},
                          {1027, K::ComboBox, "", "Source"},
                          {1028, K::ComboBox, "", "Polarity"},
                          {1039, K::Edit, "", "Level"},
                          {1044, K::Static, "", ""},
                          {1040, K::Edit, "", "Time, ms"},
                          {1045, K::Static, "", ""},
                          {1041, K::Edit, "", "Delay, ms"},
                          {1046, K::Static, "", ""},
                          {1073, K::CheckBox, "Hi-drive mode", ""},
                          {1047, K::Edit, "", "Hi-drive time, ms"},
                          {1048, K::Static, "", ""},
                      });
    EXPECT_EQ(GroupCaptions(t), (std::vector<std::string>{"Input", "Output", "Strobe"}));
    std::set<std::string> headings;
    for (const ControlTemplate& c : t.controls) {
        if (c.id == kIdStatic && c.kind == K::Static && c.labelFor < 0) {
            headings.insert(c.text);
        }
    }
    EXPECT_EQ(headings, (std::set<std::string>{"Debounce time, ms", "Output signal"}));
}

TEST(TemplatesTest, GeneratorDialog) {
    const DialogTemplate& t = GenerateLutTemplate();
    ExpectControls(t, {
                          {lut::kFormula, K::Static, "", ""},
                          {lut::kMaxpix, K::Edit, "", "MSB #"},
                          {lut::kMinpix, K::Edit, "", "LSB #"},
                          {lut::kSteepness, K::Edit, "", "Steepness"},
                          {lut::kMaxpixRange, K::Static, "", ""},
                          {lut::kMinpixRange, K::Static, "", ""},
                          {lut::kSteepnessRange, K::Static, "", ""},
                          {kIdOk, K::DefPushButton, "OK", ""},
                          {kIdCancel, K::PushButton, "Cancel", ""},
                      });
    EXPECT_EQ(GroupCaptions(t), (std::vector<std::string>{"Define input range"}));
}

// Every control lies inside its dialog and inside at most one group box, and
// no two controls (labels included) cover each other.
TEST(TemplatesTest, LayoutsFitWithoutOverlaps) {
    for (const DialogTemplate* t : AllTemplates()) {
        SCOPED_TRACE(t->caption);
        const Rect dialog{0, 0, t->width, t->height};
        std::vector<const ControlTemplate*> groups;
        std::vector<const ControlTemplate*> others;
        for (const ControlTemplate& c : t->controls) {
            EXPECT_TRUE(dialog.Contains(c.rect)) << c.id << " " << c.text;
            (c.kind == K::GroupBox ? groups : others).push_back(&c);
        }
        for (std::size_t i = 0; i < others.size(); ++i) {
            int containing = 0;
            for (const ControlTemplate* g : groups) {
                if (g->rect.Contains(others[i]->rect)) {
                    ++containing;
                } else {
                    EXPECT_FALSE(g->rect.Overlaps(others[i]->rect))
                        << others[i]->id << " " << others[i]->text << " straddles " << g->text;
                }
            }
            EXPECT_LE(containing, 1);
            for (std::size_t j = i + 1; j < others.size(); ++j) {
                EXPECT_FALSE(others[i]->rect.Overlaps(others[j]->rect))
                    << others[i]->id << " " << others[i]->text << " / " << others[j]->id << " "
                    << others[j]->text;
            }
        }
    }
}

TEST(TemplatesTest, ModelTakesEveryIdentifiedControl) {
    const ControlModel model(FrameGrabberTemplate());
    EXPECT_EQ(model.Ids().size(), 25u);
    EXPECT_TRUE(model.IsReadOnly(fg::kDcfFile));
    EXPECT_EQ(model.GetText(fg::kLogLevelRange), "Static");
    EXPECT_EQ(model.Get(fg::kLutColumn).selection, -1);
    EXPECT_THROW(model.Get(9999), std::out_of_range);
}

TEST(TemplatesTest, ResourceScriptCarriesEveryControl) {
    const std::string rc = GenerateResourceScript();
    EXPECT_NE(rc.find("1002 DIALOGEX 0, 0, 299, 185\r\n"), std::string::npos);
    EXPECT_NE(rc.find("1003 DIALOGEX 0, 0, 299, 185\r\n"), std::string::npos);
    EXPECT_NE(rc.find("106 DIALOGEX 0, 0, 299, 185\r\n"), std::string::npos);
    EXPECT_NE(rc.find("CAPTION \"FrameGrabber Settings\"\r\nFONT 8, \"MS Shell Dlg\""),
              std::string::npos);
    EXPECT_NE(rc.find("    EDITTEXT        1022,56,14,150,12,ES_AUTOHSCROLL | ES_READONLY\r\n"),
              std::string::npos);
    EXPECT_NE(rc.find("    CONTROL         \"Default DCF\",1051,\"Button\",BS_AUTOCHECKBOX"),
              std::string::npos);
    EXPECT_NE(rc.find("    COMBOBOX        1045,68,127,110,92,CBS_DROPDOWN"), std::string::npos);
    EXPECT_NE(rc.find("    GROUPBOX        \"Exosure\",-1,"), std::string::npos);
    EXPECT_NE(rc.find("    LTEXT           \"Static\",1041,"), std::string::npos);
    EXPECT_NE(rc.find("    DEFPUSHBUTTON   \"OK\",IDOK,"), std::string::npos);
    EXPECT_NE(rc.find("    PUSHBUTTON      \"Cancel\",IDCANCEL,"), std::string::npos);

    // One line per template control, between BEGIN and END.
    for (const DialogTemplate* t : AllTemplates()) {
        const std::string one = ResourceScriptFor(*t);
        const auto begin = one.find("BEGIN\r\n");
        const auto end = one.find("END\r\n");
        ASSERT_NE(begin, std::string::npos);
        std::size_t lines = 0;
        for (auto at = one.find("\r\n", begin + 7); at != std::string::npos && at < end;
             at = one.find("\r\n", at + 2)) {
            ++lines;
        }
        EXPECT_EQ(lines, t->controls.size()) << t->caption;
        EXPECT_NE(rc.find(one), std::string::npos);
    }
}

TEST(TemplatesTest, ResourceStringsAreEscaped) {
    EXPECT_EQ(ResourceString("a\"b\\c\n\td"), "\"a\"\"b\\\\c\\n\\td\"");
    EXPECT_EQ(ResourceString(""), "\"\"");
}

}  // namespace
}  // namespace korvane::dlg

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <vector>

#include "settings/DialogExchange.h"

namespace korvane {
namespace {

// A headless page: edits hold texts, combos hold items and a selection.
class FakeControls : public DialogControls {
  public:
    struct Combo {
        std::vector<std::string> items;
        int selection = -1;
        bool readOnly = false;
    };

    std::string GetText(int id) const override {
        auto it = texts.find(id);
        return it == texts.end() ? std::string() : it->second;
    }
    void SetText(int id, const std::string& text) override { texts[id] = text; }
    void ComboReset(int id) override { combos[id] = Combo{}; }
    void ComboAddString(int id, const std::string& text) override {
        combos[id].items.push_back(text);
    }
    int ComboGetCount(int id) const override {
        auto it = combos.find(id);
        return it == combos.end() ? 0 : static_cast<int>(it->second.items.size());
    }
    void ComboSetCurSel(int id, int index) override { combos[id].selection = index; }
    int ComboGetCurSel(int id) const override {
        auto it = combos.find(id);
        return it == combos.end() ? -1 : it->second.selection;
    }
    std::string ComboGetItemText(int id, int index) const override {
        return combos.at(id).items.at(static_cast<std::size_t>(index));
    }
    void ComboSetEditReadOnly(int id, bool readOnly) override { combos[id].readOnly = readOnly; }

    std::map<int, std::string> texts;
    std::map<int, Combo> combos;
};

TEST(DialogExchangeTest, IntegersLoadAsDecimalAndSaveLeadingNumber) {
    FakeControls page;
    int value = -42;
    DdxParamInt(page, Exchange::Load, 1016, value);
    EXPECT_EQ(page.texts[1016], "-42");
    for (const auto& [typed, expected] : std::vector<std::pair<std::string, int>>{
             {"  17px", 17}, {"", 0}, {"abc", 0}, {"+3", 3}, {"-0", 0}}) {
        page.texts[1016] = typed;
        value = 99;
        DdxParamInt(page, Exchange::Save, 1016, value);
        EXPECT_EQ(value, expected) << typed;
    }
}

TEST(DialogExchangeTest, RealsLoadInAFormThatReadsBackExactly) {
    FakeControls page;
    for (double v : {0.1, 1.0 / 3.0, 1e-07, 12.5, 999.999999}) {
        double value = v;
        DdxParamDouble(page, Exchange::Load, 1036, value);
        value = -1;
        DdxParamDouble(page, Exchange::Save, 1036, value);
        EXPECT_NEAR(value, v, std::abs(v) * 1e-14) << page.texts[1036];
    }
    double value = 5;
    DdxParamDouble(page, Exchange::Load, 1036, value);
    EXPECT_EQ(page.texts[1036], "5");
    page.texts[1036] = "fast";
    DdxParamDouble(page, Exchange::Save, 1036, value);
    EXPECT_EQ(value, 0.0);
}

TEST(DialogExchangeTest, TextsGoAcrossUnchanged) {
    FakeControls page;
    std::string value = "  share me ";
    DdxParamString(page, Exchange::Load, 1061, value);
    EXPECT_EQ(page.texts[1061], "  share me ");
    page.texts[1061] = "other";
    DdxParamString(page, Exchange::Save, 1061, value);
    EXPECT_EQ(value, "other");
}

TEST(DialogExchangeTest, FillEnumComboReplacesItemsSelectsValueAndLocksEdit) {
    FakeControls page;
    page.combos[1025].items = {"stale"};
    ParamEnum source("TriggerSource", "");
    source.AddLabel("Hardware Port 0", 16);
    source.AddLabel("Software", 20);
    source.value = "Software";
    FillEnumCombo(page, 1025, source);
    const auto& combo = page.combos[1025];
    EXPECT_EQ(combo.items, (std::vector<std::string>{"Hardware Port 0", "Software"}));
    EXPECT_EQ(combo.selection, 1);
    EXPECT_TRUE(combo.readOnly);

    source.value = "software";  // exact match only
    FillEnumCombo(page, 1025, source);
    EXPECT_EQ(page.combos[1025].selection, -1);

    ParamEnum repeated("X", "");
    repeated.AddLabel("A", 1);
    repeated.AddLabel("B", 2);
    repeated.AddLabel("A", 3);
    FillEnumCombo(page, 7, repeated);
    EXPECT_EQ(page.combos[7].selection, 2);
}

TEST(DialogExchangeTest, ReadEnumComboStoresNoneWithoutValidSelection) {
    FakeControls page;
    std::string text = "Falling";
    ReadEnumCombo(page, 1026, text);
    EXPECT_EQ(text, "None");
    page.combos[1026].items = {"Falling", "Rising"};
    page.combos[1026].selection = 1;
    ReadEnumCombo(page, 1026, text);
    EXPECT_EQ(text, "Rising");
    page.combos[1026].selection = 2;
    ReadEnumCombo(page, 1026, text);
    EXPECT_EQ(text, "None");
}

}  // namespace
}  // namespace korvane

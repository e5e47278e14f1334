// docs/properties.md against the driver: every name the page lists answers
// get, set and range as the page says, with its example value, and every
// key of a camera's INI section that the page does not list is refused, so
// the page cannot drift from the code.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/HostFixture.h"

namespace korvane::test {
namespace {

struct PageRow {
    std::string name;
    bool get = false;
    bool set = false;
    bool range = false;
    std::string example;
};

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return "";
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string Unquote(const std::string& cell) {
    const std::string t = Trim(cell);
    return t.size() >= 2 && t.front() == '`' && t.back() == '`' ? t.substr(1, t.size() - 2) : t;
}

// The property table: its rows have six cells and start with a quoted name.
std::vector<PageRow> ReadPage(const std::string& text) {
    std::vector<PageRow> rows;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("| `", 0) != 0) {
            continue;
        }
        std::vector<std::string> cells;
        std::istringstream cellStream(line.substr(1));
        for (std::string cell; std::getline(cellStream, cell, '|');) {
            cells.push_back(cell);
        }
        if (cells.size() < 6) {
            continue;
        }
        PageRow row;
        row.name = Unquote(cells[0]);
        row.get = Trim(cells[1]) == "yes";
        row.set = Trim(cells[2]) == "yes";
        row.range = Trim(cells[3]) == "yes";
        row.example = Trim(cells[4]);
        rows.push_back(row);
    }
    return rows;
}

// The keys of one section of an INI text.
std::vector<std::string> SectionKeys(const std::string& ini, const std::string& section) {
    std::vector<std::string> keys;
    std::istringstream in(ini);
    bool inside = false;
    for (std::string line; std::getline(in, line);) {
        line = Trim(line);
        if (!line.empty() && line.front() == '[') {
            inside = line == "[" + section + "]";
        } else if (inside && line.find('=') != std::string::npos) {
            keys.push_back(line.substr(0, line.find('=')));
        }
    }
    return keys;
}

class PropertiesPageTest : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        RaiseLogLevel();
        page_ = ReadFile(std::string(KORVANE_SOURCE_DIR) + "/docs/properties.md");
        ASSERT_FALSE(page_.empty()) << "docs/properties.md not found";
        rows_ = ReadPage(page_);
    }
    std::string page_;
    std::vector<PageRow> rows_;
};

TEST_F(PropertiesPageTest, EveryListedNameAnswersAsThePageSays) {
    ASSERT_GE(rows_.size(), 15u) << "the property table was not found";
    WriteIni("[Camera 1]\nLogLevel=4\n");
    ASSERT_EQ(Initialize(), 1);
    OpenCamera("Camera 1", 2);
    // An inquiry type the digitizer knows (its gain), for the MdigInquire row.
    ASSERT_EQ(d().setProperty(0, 2, "StoreValue", 4019), 1);
    for (const PageRow& row : rows_) {
        int value = -1;
        EXPECT_EQ(d().getProperty(0, 2, row.name.c_str(), &value) == 1, row.get) << row.name;
        if (row.set) {
            ASSERT_FALSE(row.example.empty()) << row.name << ": a settable row needs an example";
            EXPECT_EQ(d().setProperty(0, 2, row.name.c_str(), std::stoi(row.example)), 1)
                << row.name << "=" << row.example;
        } else {
            EXPECT_EQ(d().setProperty(0, 2, row.name.c_str(), 1), 0) << row.name;
        }
        int lo = 0;
        int hi = 0;
        EXPECT_EQ(d().getPropertyRange(0, 2, row.name.c_str(), &lo, &hi) == 1, row.range)
            << row.name;
    }
}

TEST_F(PropertiesPageTest, SettingsThePageDoesNotListAreRefused) {
    WriteIni("[Camera 1]\nLogLevel=4\n");
    ASSERT_EQ(Initialize(), 1);
    OpenCamera("Camera 1", 2);
    d().closeXELPort(0, 2);  // writes every persisted setting
    const std::vector<std::string> keys = SectionKeys(ReadIni(), "Camera 1");
    ASSERT_GE(keys.size(), 40u) << ReadIni();
    std::set<std::string> listed;
    for (const PageRow& row : rows_) {
        listed.insert(row.name);
    }
    OpenCamera("Camera 1", 2);
    int refused = 0;
    for (const std::string& key : keys) {
        if (listed.count(key) != 0) {
            continue;
        }
        int value = -1;
        EXPECT_EQ(d().getProperty(0, 2, key.c_str(), &value), 0)
            << key << " is readable: list it in docs/properties.md";
        EXPECT_EQ(d().setProperty(0, 2, key.c_str(), 0), 0)
            << key << " is settable: list it in docs/properties.md";
        ++refused;
    }
    EXPECT_GT(refused, 0);
    EXPECT_NE(page_.find("`LightingBrightField`"), std::string::npos)
        << "the page names a refused catalogue key as an example";
}

TEST_F(PropertiesPageTest, TheCommandExampleRunsAsDescribed) {
    const std::string lead = "the command `MdigControl` with the arguments\n`";
    const auto at = page_.find(lead);
    ASSERT_NE(at, std::string::npos);
    const auto begin = at + lead.size();
    const std::string arguments = page_.substr(begin, page_.find('`', begin) - begin);
    ASSERT_EQ(arguments, "ControlType=4019;ControlValue=12");
    WriteIni("[Camera 1]\nLogLevel=4\n");
    ASSERT_EQ(Initialize(), 1);
    OpenCamera("Camera 1", 2);
    char result[16] = {};
    ASSERT_EQ(d().execCmd(0, 2, "MdigControl", arguments.c_str(), result, sizeof result), 1);
    EXPECT_STREQ(result, "ok");
    ASSERT_EQ(d().setProperty(0, 2, "StoreValue", 4019), 1);
    int gain = -1;
    ASSERT_EQ(d().getProperty(0, 2, "MdigInquire", &gain), 1);
    EXPECT_EQ(gain, 12);
}

}  // namespace
}  // namespace korvane::test

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>

#include "settings/CameraSettings.h"
#include "settings/LutCsvFile.h"
#include "settings/LutGenerator.h"
#include "settings/LutTable.h"
#include "tests/support/PlatformText.h"
#include "tests/support/TempDir.h"

namespace korvane {
namespace {

using test::ReadFile;
using test::WriteFile;

class LutTest : public ::testing::Test {
  protected:
    std::string Write(const std::string& text, const std::string& name = "lut.csv") {
        const std::string path = dir_.File(name);
        WriteFile(path, text);
        return path;
    }
    // The whole table, on the heap (256 KiB).
    std::unique_ptr<LutTable> table_ = std::make_unique<LutTable>();
    test::TempDir dir_;
};

// The lines of a text file, each ended the system's way.
std::vector<std::string> Lines(const std::string& text) {
    const std::string end = test::NativeLines("\n");
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t found = text.find(end, start);
        if (found == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, found - start));
        start = found + end.size();
    }
    return lines;
}

TEST_F(LutTest, GeneratedFileForTheFullRange) {
    const std::string path = dir_.File("full.csv");
    ASSERT_TRUE(WriteLutFile(path, 0, 15, 1));
    const auto lines = Lines(ReadFile(path));
    ASSERT_EQ(lines.size(), 65537u);
    EXPECT_EQ(lines[0], "LN;ln");
    EXPECT_EQ(lines[1 + 0], "   0;   0");
    EXPECT_EQ(lines[1 + 1], "   1;  17");
    EXPECT_EQ(lines[1 + 2], "   2;  27");
    EXPECT_EQ(lines[1 + 255], " 255; 136");
    EXPECT_EQ(lines[1 + 32767], "32767; 255");
    EXPECT_EQ(lines[1 + 65535], "65535; 255");

    // The file is what the camera reads back.
    ASSERT_TRUE(LoadLutTable(path, "ln", *table_));
    EXPECT_EQ((*table_)[2], 27);
    EXPECT_EQ((*table_)[65535], 255);
    EXPECT_EQ((*table_)[65536], 0);
}

TEST_F(LutTest, CurveClampsToTheChosenBits) {
    for (int x = 0; x <= 15; ++x) {
        EXPECT_EQ(LutCurveValue(x, 4, 12, 10), 0) << x;
    }
    EXPECT_EQ(LutCurveValue(16, 4, 12, 10), 4);
    EXPECT_EQ(LutCurveValue(100, 4, 12, 10), 95);
    EXPECT_EQ(LutCurveValue(4094, 4, 12, 10), 255);
    EXPECT_EQ(LutCurveValue(4095, 4, 12, 10), 255);
    EXPECT_EQ(LutCurveValue(65535, 4, 12, 10), 255);
    // Monotonic and within a byte over the whole input range.
    int previous = 0;
    for (int x = 0; x < kLutFileRows; ++x) {
        const int y = LutCurveValue(x, 3, 15, 7);
        ASSERT_GE(y, previous);
        ASSERT_LE(y, 255);
        previous = y;
    }
}

TEST_F(LutTest, UndefinedCurvesWriteNothing) {
    const std::string path = dir_.File("bad.csv");
    EXPECT_FALSE(WriteLutFile(path, 8, 8, 1));  // empty range: 0/0
    EXPECT_FALSE(WriteLutFile(path, 9, 8, 1));
    EXPECT_FALSE(WriteLutFile(path, 0, 15, 0));  // ln(0)
    EXPECT_FALSE(WriteLutFile(path, -1, 15, 1));
    EXPECT_FALSE(WriteLutFile(path, 0, 31, 1));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(LutCurveValue(10, 8, 8, 1), 0);
}

TEST_F(LutTest, UnwritableTargetFailsAndKeepsTheOldFile) {
    EXPECT_FALSE(WriteLutFile(dir_.File("no/such/dir/lut.csv"), 0, 15, 1));
    const std::string path = Write("LN;ln\n0;9\n");
    std::filesystem::create_directory(dir_.File("sub"));
    EXPECT_FALSE(WriteLutFile(dir_.File("sub"), 0, 15, 1));  // a directory is in the way
    EXPECT_EQ(ReadFile(path), "LN;ln\n0;9\n");
    ASSERT_TRUE(WriteLutFile(path, 0, 15, 1));  // replaces an existing file whole
    EXPECT_EQ(Lines(ReadFile(path)).size(), 65537u);
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir_.path())) {
        entries += e.is_regular_file() ? 1 : 0;
    }
    EXPECT_EQ(entries, 1);  // no temporary file left behind
}

TEST_F(LutTest, RangeStateOfTheGeneratorDialog) {
    CameraSettings s;
    LutRangeState state = EvaluateLutRange(s);
    EXPECT_TRUE(state.valid);
    EXPECT_EQ(state.minpixRange, "[0..15]");
    EXPECT_EQ(state.maxpixRange, "[0..15]");
    EXPECT_EQ(state.steepnessRange, "[1..10]");
    s.LUTGEN_minpix.value = 8;
    s.LUTGEN_maxpix.value = 8;
    EXPECT_FALSE(EvaluateLutRange(s).valid);
    s.LUTGEN_minpix.value = 7;
    EXPECT_TRUE(EvaluateLutRange(s).valid);
    s.LUTGEN_maxpix.value = 20;
    state = EvaluateLutRange(s);
    EXPECT_FALSE(state.valid);
    EXPECT_EQ(state.maxpixRange, "[0..15]");
    s.LUTGEN_maxpix.value = 15;
    s.LUTGEN_steepness.value = 0;
    EXPECT_FALSE(EvaluateLutRange(s).valid);
    s.LUTGEN_steepness.value = 10;
    s.LUTGEN_minpix.value = -1;
    EXPECT_FALSE(EvaluateLutRange(s).valid);
}

TEST_F(LutTest, HeaderGivesTheColumnNames) {
    LutCsvFile three(Write("LN;ln;gamma\n0;1;2\n"));
    ASSERT_EQ(three.GetColumnCount(), 2);
    EXPECT_EQ(three.GetColumnName(0), "ln");
    EXPECT_EQ(three.GetColumnName(1), "gamma");
    EXPECT_EQ(three.GetColumnName(2), std::nullopt);
    EXPECT_EQ(three.GetColumnName(-1), std::nullopt);

    LutCsvFile emptyName(Write("LN;;x\n", "b.csv"));
    ASSERT_EQ(emptyName.GetColumnCount(), 2);
    EXPECT_EQ(emptyName.GetColumnName(0), "");

    LutCsvFile trailing(Write("LN;ln;\r\n", "c.csv"));
    EXPECT_EQ(trailing.columnNames, (std::vector<std::string>{"ln"}));
    LutCsvFile twoTrailing(Write("LN;ln;;", "d.csv"));
    EXPECT_EQ(twoTrailing.columnNames, (std::vector<std::string>{"ln", ""}));

    LutCsvFile missing(dir_.File("missing.csv"));
    EXPECT_EQ(missing.GetColumnCount(), 0);
    LutCsvFile directory(dir_.path());
    EXPECT_EQ(directory.GetColumnCount(), 0);
    EXPECT_FALSE(directory.ReadColumn(""));
}

TEST_F(LutTest, ColumnsAreChosenByExactName) {
    const std::string path = Write("LN;ln;gamma\n0;1;2\n1;3;4\n");
    ASSERT_TRUE(LoadLutTable(path, "gamma", *table_));
    EXPECT_EQ((*table_)[0], 2);
    EXPECT_EQ((*table_)[1], 4);
    EXPECT_FALSE(LoadLutTable(path, "Gamma", *table_));
    EXPECT_EQ((*table_)[1], 0);  // a failed load leaves the table cleared

    const std::string empty = Write("LN;;x\n7;9;1\n", "e.csv");
    ASSERT_TRUE(LoadLutTable(empty, "", *table_));
    EXPECT_EQ((*table_)[7], 9);
}

TEST_F(LutTest, BlankLineRule) {
    // The usual line end after the last row, and a last row without one.
    ASSERT_TRUE(LoadLutTable(Write("LN;ln\n0;1\n1;2\n"), "ln", *table_));
    EXPECT_EQ((*table_)[1], 2);
    ASSERT_TRUE(LoadLutTable(Write("LN;ln\r\n0;1\r\n1;2", "a.csv"), "ln", *table_));
    EXPECT_EQ((*table_)[1], 2);
    // Two line ends in a row at the end, or a blank line inside.
    EXPECT_FALSE(LoadLutTable(Write("LN;ln\n0;1\n1;2\n\n", "b.csv"), "ln", *table_));
    EXPECT_FALSE(LoadLutTable(Write("LN;ln\n0;1\n\n1;2\n", "c.csv"), "ln", *table_));
    EXPECT_FALSE(LoadLutTable(Write("LN;ln\r\n0;1\r\n\r\n", "d.csv"), "ln", *table_));
    // A short row stops the read; what came before it stays in the lists.
    LutCsvFile shortRow(Write("LN;ln\n0;5\n1\n2;7\n", "e.csv"));
    EXPECT_FALSE(shortRow.ReadColumn("ln"));
    EXPECT_EQ(shortRow.GetRowCount(), 1);
    EXPECT_EQ(shortRow.GetValue(0), 5);
    EXPECT_EQ(shortRow.GetIndex(1), 1);
    EXPECT_EQ(shortRow.GetValue(1), 0);
    EXPECT_EQ(shortRow.GetIndex(99), 0);
    // A row ending in ";" has no empty cell to read.
    EXPECT_FALSE(LoadLutTable(Write("LN;a;b\n0;1;\n", "f.csv"), "b", *table_));
    // Header only: usable, every input maps to 0.
    EXPECT_TRUE(LoadLutTable(Write("LN;ln\n", "g.csv"), "ln", *table_));
}

TEST_F(LutTest, InputsAndOutputsAreStoredWithinTheTable) {
    const std::string path = Write(
        "LN;ln\n"
        "70000;12\n"
        "-1;13\n"
        "131071;14\n"
        "131072;15\n"
        "5;300\n"
        "6;-1\n"
        "7;70000\n"
        "8;1\n"
        "8;2\n"
        " 9 ; 3 junk\n"
        "x;4\n"
        "99999999999;5\n");
    ASSERT_TRUE(LoadLutTable(path, "ln", *table_));
    EXPECT_EQ((*table_)[70000], 12);
    EXPECT_EQ((*table_)[131071], 14);
    EXPECT_EQ((*table_)[5], 300);
    EXPECT_EQ((*table_)[6], 0xFFFF);
    EXPECT_EQ((*table_)[7], 70000 & 0xFFFF);
    EXPECT_EQ((*table_)[8], 2);  // the later row wins
    EXPECT_EQ((*table_)[9], 3);
    EXPECT_EQ((*table_)[0], 4);  // "x" reads as input 0
    EXPECT_EQ((*table_)[10], 0);
}

TEST_F(LutTest, HugeAndBinaryFilesAreRefusedWithoutHarm) {
    // One line longer than any sensible LUT row.
    std::string longLine = "LN;ln\n0;" + std::string(LutCsvFile::kMaxLineLength + 10, '7') + "\n";
    EXPECT_FALSE(LoadLutTable(Write(longLine), "ln", *table_));
    LutCsvFile longHeader(Write(std::string(LutCsvFile::kMaxLineLength + 1, ';'), "h.csv"));
    EXPECT_EQ(longHeader.GetColumnCount(), 0);
    // Binary noise: no line structure, NUL bytes.
    std::string noise;
    for (int i = 0; i < 100000; ++i) {
        noise.push_back(static_cast<char>((i * 7919) & 0xFF));
    }
    LutCsvFile binary(Write(noise, "n.bin"));
    for (int i = 0; i < binary.GetColumnCount(); ++i) {
        binary.ReadColumn(*binary.GetColumnName(i));
    }
    EXPECT_LE(binary.GetRowCount(), 100000);
}

TEST_F(LutTest, RowCountIsCapped) {
    std::string text = "LN;ln\n";
    text.reserve(static_cast<std::size_t>(LutCsvFile::kMaxRows + 2) * 4);
    for (std::size_t i = 0; i <= LutCsvFile::kMaxRows; ++i) {
        text += "0;1\n";
    }
    LutCsvFile tooMany(Write(text));
    EXPECT_FALSE(tooMany.ReadColumn("ln"));
    EXPECT_EQ(static_cast<std::size_t>(tooMany.GetRowCount()), LutCsvFile::kMaxRows);
}

}  // namespace
}  // namespace korvane

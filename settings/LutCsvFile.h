#pragma once
// Reader of a LUT file: semicolon-separated text whose first line names the
// columns and whose other lines each map one input pixel value (cell 0) to
// the outputs of the named columns (cells 1 onward).
//
// Cells end at ";" or at the end of the line; a ";" at the very end of a line
// makes no empty last cell, two adjacent ones make an empty cell. Numbers are
// read as a leading decimal integer (no number gives 0).
//
// A file is read with limits, so a huge or binary file cannot exhaust memory:
// a line longer than kMaxLineLength, more than kMaxRows data rows or more
// than kMaxColumns header cells make the file unusable.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

class LutCsvFile {
  public:
    static constexpr std::size_t kMaxLineLength = 1024 * 1024;
    static constexpr std::size_t kMaxRows = 1048576;
    static constexpr std::size_t kMaxColumns = 4096;

    // Stores the name and reads the header.
    explicit LutCsvFile(std::string name);

    // Fills columnNames from the first line. A file that does not exist, is
    // no regular file, cannot be opened or has an unusable first line leaves
    // the list empty.
    void ReadHeader();

    // Reads the input numbers and the named column's numbers of every data
    // row (names match exactly). False when the name is not a column, the
    // file cannot be read, or a line (a blank one included) ends before the
    // column's cell; the lists then hold the rows read before that line.
    bool ReadColumn(const std::string& name);

    int GetColumnCount() const { return static_cast<int>(columnNames.size()); }
    // The name at i; none when i is out of range.
    std::optional<std::string> GetColumnName(int i) const;
    int GetRowCount() const { return static_cast<int>(valueColumn.size()); }
    // The row's input or output number; 0 when i is out of range.
    std::int32_t GetIndex(int i) const;
    std::int32_t GetValue(int i) const;

    std::string fileName;
    char separator = ';';
    std::vector<std::string> columnNames;
    std::vector<std::int32_t> valueColumn;
    std::vector<std::int32_t> indexColumn;
};

}  // namespace korvane

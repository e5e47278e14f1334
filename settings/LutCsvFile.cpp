#include "settings/LutCsvFile.h"

#include <filesystem>
#include <fstream>
#include <string_view>

#include "settings/TextNumbers.h"

namespace korvane {
namespace {

enum class LineResult { Line, End, TooLong };

// One line without its line end (a CR before the LF is dropped, as the
// text mode of the platform that writes these files would). Like getline, a
// final line end does not start another, empty line.
LineResult ReadLine(std::istream& in, std::string& line) {
    line.clear();
    std::streambuf* buf = in.rdbuf();
    bool any = false;
    for (;;) {
        const int c = buf->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            break;
        }
        any = true;
        if (c == '\n') {
            break;
        }
        if (line.size() >= LutCsvFile::kMaxLineLength) {
            return LineResult::TooLong;
        }
        line.push_back(static_cast<char>(c));
    }
    if (!any) {
        return LineResult::End;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return LineResult::Line;
}

// Cell boundaries: the next cell starts after a separator, unless that
// separator ends the line.
class CellReader {
  public:
    CellReader(std::string_view line, char separator) : line_(line), separator_(separator) {}

    bool Next(std::string_view& cell) {
        if (done_) {
            return false;
        }
        const std::size_t end = line_.find(separator_, pos_);
        if (end == line_.npos) {
            cell = line_.substr(pos_);
            done_ = true;
        } else {
            cell = line_.substr(pos_, end - pos_);
            pos_ = end + 1;
            done_ = pos_ >= line_.size();
        }
        return true;
    }

  private:
    std::string_view line_;
    char separator_;
    std::size_t pos_ = 0;
    bool done_ = false;
};

bool OpenRegularFile(const std::string& name, std::ifstream& in) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(name, ec)) {
        return false;
    }
    in.open(name, std::ios::binary);
    return in.is_open();
}

}  // namespace

LutCsvFile::LutCsvFile(std::string name) : fileName(std::move(name)) {
    ReadHeader();
}

void LutCsvFile::ReadHeader() {
    std::ifstream in;
    if (!OpenRegularFile(fileName, in)) {
        return;
    }
    std::string line;
    if (ReadLine(in, line) != LineResult::Line) {
        return;
    }
    std::vector<std::string> names;
    CellReader cells(line, separator);
    std::string_view cell;
    bool first = true;
    while (cells.Next(cell)) {
        if (first) {
            first = false;  // names the input column
            continue;
        }
        if (names.size() == kMaxColumns) {
            return;
        }
        names.emplace_back(cell);
    }
    for (auto& n : names) {
        columnNames.push_back(std::move(n));
    }
}

bool LutCsvFile::ReadColumn(const std::string& name) {
    indexColumn.clear();
    valueColumn.clear();
    std::size_t column = 0;
    bool found = false;
    for (std::size_t p = 0; p < columnNames.size(); ++p) {
        if (columnNames[p] == name) {
            column = p + 1;
            found = true;
            break;
        }
    }
    std::ifstream in;
    if (!found || !OpenRegularFile(fileName, in)) {
        return false;
    }
    std::string line;
    if (ReadLine(in, line) != LineResult::Line) {
        return false;
    }
    for (;;) {
        const LineResult r = ReadLine(in, line);
        if (r == LineResult::End) {
            return true;
        }
        if (r == LineResult::TooLong || valueColumn.size() == kMaxRows) {
            return false;
        }
        CellReader cells(line, separator);
        std::string_view cell;
        std::size_t number = 0;
        bool reached = false;
        while (cells.Next(cell)) {
            if (number == 0) {
                indexColumn.push_back(ParseLeadingInt(cell));
            }
            if (number == column) {
                valueColumn.push_back(ParseLeadingInt(cell));
                reached = true;
                break;
            }
            ++number;
        }
        if (!reached) {
            return false;
        }
    }
}

std::optional<std::string> LutCsvFile::GetColumnName(int i) const {
    if (i < 0 || static_cast<std::size_t>(i) >= columnNames.size()) {
        return std::nullopt;
    }
    return columnNames[static_cast<std::size_t>(i)];
}

std::int32_t LutCsvFile::GetIndex(int i) const {
    if (i < 0 || static_cast<std::size_t>(i) >= indexColumn.size()) {
        return 0;
    }
    return indexColumn[static_cast<std::size_t>(i)];
}

std::int32_t LutCsvFile::GetValue(int i) const {
    if (i < 0 || static_cast<std::size_t>(i) >= valueColumn.size()) {
        return 0;
    }
    return valueColumn[static_cast<std::size_t>(i)];
}

}  // namespace korvane

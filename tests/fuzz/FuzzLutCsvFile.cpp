// Fuzzes the LUT file reader: any file content must read without a crash,
// with bounded memory, and with row lists that agree with each other.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "settings/LutCsvFile.h"
#include "settings/LutTable.h"
#include "tests/fuzz/FuzzScratch.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvane;
    static fuzz::ScratchDir scratch;
    static auto table = std::make_unique<LutTable>();
    const std::string path = scratch.path() + "/lut.csv";
    fuzz::WriteBytes(path, data, size);

    LutCsvFile file(path);
    Check(file.GetColumnCount() <= static_cast<int>(LutCsvFile::kMaxColumns));
    const int columns = file.GetColumnCount() < 4 ? file.GetColumnCount() : 4;
    for (int c = 0; c < columns; ++c) {
        const auto name = file.GetColumnName(c);
        Check(name.has_value());
        const bool ok = file.ReadColumn(*name);
        const auto rows = static_cast<std::size_t>(file.GetRowCount());
        Check(rows <= LutCsvFile::kMaxRows);
        Check(file.indexColumn.size() >= rows && file.indexColumn.size() <= rows + 1);
        Check(!ok || file.indexColumn.size() == rows);
    }
    Check(!file.GetColumnName(file.GetColumnCount()).has_value());
    Check(file.GetValue(-1) == 0 && file.GetIndex(file.GetRowCount() + 1) == 0);

    const bool loaded = LoadLutTable(path, columns > 0 ? *file.GetColumnName(0) : "ln", *table);
    if (!loaded) {
        for (std::uint16_t v : *table) {
            Check(v == 0);
        }
    }
    return 0;
}

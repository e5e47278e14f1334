#include "settings/LutTable.h"

#include "settings/LutCsvFile.h"

namespace korvane {

bool LoadLutTable(const std::string& file, const std::string& column, LutTable& table) {
    table.fill(0);
    LutCsvFile csv(file);
    if (!csv.ReadColumn(column)) {
        return false;
    }
    for (int i = 0; i < csv.GetRowCount(); ++i) {
        const std::int32_t input = csv.GetIndex(i);
        if (input >= 0 && static_cast<std::size_t>(input) < kLutTableSize) {
            table[static_cast<std::size_t>(input)] =
                static_cast<std::uint16_t>(static_cast<std::uint32_t>(csv.GetValue(i)) & 0xFFFFu);
        }
    }
    return true;
}

}  // namespace korvane

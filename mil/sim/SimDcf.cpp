#include "mil/sim/SimDcf.h"

#include <fstream>

#include "mil/sim/IniReader.h"

namespace korvane::mil::sim {
namespace {

constexpr std::size_t kMaxDcfBytes = 64 * 1024;
constexpr long long kMaxSide = 16384;

}  // namespace

bool ParseDcf(const std::string& text, SensorFormat& format, std::string& error) {
    const IniDocument doc = ReadIni(text);
    if (!doc.problems.empty()) {
        error = "line " + std::to_string(doc.problems.front().line) + ": " +
                doc.problems.front().message;
        return false;
    }
    SensorFormat result = format;
    int keys = 0;
    for (const IniSection& section : doc.sections) {
        if (!section.name.empty() || !section.valid) {
            error = "line " + std::to_string(section.line) + ": unexpected section";
            return false;
        }
        for (const IniEntry& entry : section.entries) {
            long long value = 0;
            bool ok = false;
            if (EqualsIgnoreCase(entry.key, "Width")) {
                ok = ParseInteger(entry.value, 1, kMaxSide, value);
                result.width = static_cast<int>(value);
            } else if (EqualsIgnoreCase(entry.key, "Height")) {
                ok = ParseInteger(entry.value, 1, kMaxSide, value);
                result.height = static_cast<int>(value);
            } else if (EqualsIgnoreCase(entry.key, "Bits")) {
                ok = ParseInteger(entry.value, 8, 16, value) && (value == 8 || value == 16);
                result.bits = static_cast<int>(value);
            } else {
                error = "line " + std::to_string(entry.line) + ": unknown key " + entry.key;
                return false;
            }
            if (!ok) {
                error = "line " + std::to_string(entry.line) + ": bad value of " + entry.key;
                return false;
            }
            ++keys;
        }
    }
    if (keys == 0) {
        error = "no Width, Height or Bits";
        return false;
    }
    format = result;
    return true;
}

bool LoadDcf(const std::string& path, SensorFormat& format, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read DCF file '" + path + "'";
        return false;
    }
    std::string text(kMaxDcfBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxDcfBytes) {
        error = "DCF file '" + path + "' is too large";
        return false;
    }
    std::string reason;
    if (!ParseDcf(text, format, reason)) {
        error = "DCF file '" + path + "' is malformed, " + reason;
        return false;
    }
    return true;
}

}  // namespace korvane::mil::sim

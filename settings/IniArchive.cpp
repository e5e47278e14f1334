#include "settings/IniArchive.h"

#include "platform/IniProfile.h"
#include "settings/TextNumbers.h"

namespace korvane {

IniArchive::IniArchive(std::string path, std::string sectionName)
    : iniPath(std::move(path)), section(std::move(sectionName)) {}

IniArchive::~IniArchive() {
    Commit();
}

const platform::IniSectionReader& IniArchive::Reader() const {
    if (!reader_) {
        reader_.emplace(iniPath, section);
    }
    return *reader_;
}

int IniArchive::ReadInt(const std::string& key, int current) const {
    return Reader().ReadInt(key, current);
}

double IniArchive::ReadDouble(const std::string& key, double current) const {
    const std::string text = Reader().ReadString(key, FormatReal(current));
    return text.empty() ? current : ParseLeadingReal(text);
}

std::string IniArchive::ReadString(const std::string& key, const std::string& current) const {
    return Reader().ReadString(key, current);
}

void IniArchive::WriteInt(const std::string& key, int v) {
    pending_.emplace_back(key, std::to_string(v));
}

void IniArchive::WriteDouble(const std::string& key, double v) {
    pending_.emplace_back(key, FormatReal(v));
}

void IniArchive::WriteString(const std::string& key, const std::string& text) {
    // A value is one line of the file; a line break would start a new key
    // (or section) on the next load, so the text ends at the first one.
    std::string value = text.substr(0, text.find_first_of(std::string("\r\n\0", 3)));
    // Reads drop blanks around a value and one pair of quotes around it; a
    // text that reads back differently is stored inside quotes.
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                        value.back() == value.front();
    if (!value.empty() && (blank(value.front()) || blank(value.back()) || quoted)) {
        value = '"' + value + '"';
    }
    pending_.emplace_back(key, std::move(value));
}

void IniArchive::Exchange(Param<int>& setting) {
    if (loading) {
        setting.value = ReadInt(setting.name, setting.value);
    } else {
        WriteInt(setting.name, setting.value);
    }
}

void IniArchive::Exchange(Param<double>& setting) {
    if (loading) {
        setting.value = ReadDouble(setting.name, setting.value);
    } else {
        WriteDouble(setting.name, setting.value);
    }
}

void IniArchive::Exchange(Param<std::string>& setting) {
    if (loading) {
        setting.value = ReadString(setting.name, setting.value);
    } else {
        WriteString(setting.name, setting.value);
    }
}

bool IniArchive::Commit() {
    if (pending_.empty()) {
        return true;
    }
    const bool ok = platform::IniWriteStrings(iniPath, section, pending_);
    pending_.clear();
    reader_.reset();  // later reads see what was written
    return ok;
}

}  // namespace korvane

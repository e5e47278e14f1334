#pragma once
// Reads or writes the settings of one camera section of the driver's INI
// file. Integers are stored as "%d", reals as "%g", texts and enumerated
// labels as they are. Every read passes the current value as the default, so
// a key the file lacks leaves the setting alone.
//
// Writes are collected and reach the file together in Commit() (or when the
// archive goes away), so a save replaces the file once and either all its
// keys arrive or none does. Reads take the section from one read of the file,
// made at the first of them.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/IniProfile.h"
#include "settings/Param.h"

namespace korvane {

class IniArchive {
  public:
    IniArchive(std::string iniPath, std::string section);
    ~IniArchive();
    IniArchive(const IniArchive&) = delete;
    IniArchive& operator=(const IniArchive&) = delete;

    int ReadInt(const std::string& key, int current) const;
    // The current value goes through its "%g" text as the default, so a
    // missing key gives current rounded to six significant digits; a key
    // present but empty leaves current as it is.
    double ReadDouble(const std::string& key, double current) const;
    std::string ReadString(const std::string& key, const std::string& current) const;

    void WriteInt(const std::string& key, int v);
    void WriteDouble(const std::string& key, double v);
    void WriteString(const std::string& key, const std::string& text);

    // Reads the setting when loading, writes it otherwise (an enumerated
    // setting as its label text).
    void Exchange(Param<int>& setting);
    void Exchange(Param<double>& setting);
    void Exchange(Param<std::string>& setting);

    // Writes what was collected; false when the file could not be updated.
    // Nothing pending counts as success.
    bool Commit();

    std::string iniPath;
    std::string section;
    bool loading = true;

  private:
    const platform::IniSectionReader& Reader() const;

    std::vector<std::pair<std::string, std::string>> pending_;
    mutable std::optional<platform::IniSectionReader> reader_;
};

}  // namespace korvane

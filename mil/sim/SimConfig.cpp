#include "mil/sim/SimConfig.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "driver/DriverLog.h"
#include "mil/sim/IniReader.h"
#include "platform/Paths.h"

namespace korvane::mil::sim {
namespace {

constexpr int kMaxSystems = 64;
constexpr int kMaxDigitizers = 16;
constexpr int kMaxSide = 16384;
constexpr int kMaxMs = 3600000;
constexpr std::size_t kMaxConfigBytes = 1 << 20;
constexpr std::size_t kMaxPathLength = 4095;

// The folder part of a file path ("" when it has none).
std::string FolderOf(const std::string& path) {
    const std::size_t cut = path.find_last_of(std::string("/") + platform::PathSeparator());
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

// Section names: "Application", "SystemN", "SystemN.DigitizerM".
struct SectionName {
    enum class Kind { Application, System, Digitizer, Unknown } kind = Kind::Unknown;
    int system = 0;
    int digitizer = 0;
};

bool ParseIndexedName(const std::string& text, const std::string& prefix, int max, int& index) {
    if (text.size() <= prefix.size() || !EqualsIgnoreCase(text.substr(0, prefix.size()), prefix)) {
        return false;
    }
    const std::string digits = text.substr(prefix.size());
    for (char c : digits) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    long long value = 0;
    if (!ParseInteger(digits, 0, max - 1, value)) {
        return false;
    }
    index = static_cast<int>(value);
    return true;
}

SectionName ClassifySection(const std::string& name) {
    SectionName result;
    if (EqualsIgnoreCase(name, "Application")) {
        result.kind = SectionName::Kind::Application;
        return result;
    }
    const std::size_t dot = name.find('.');
    if (dot == std::string::npos) {
        if (ParseIndexedName(name, "System", kMaxSystems, result.system)) {
            result.kind = SectionName::Kind::System;
        }
        return result;
    }
    if (ParseIndexedName(name.substr(0, dot), "System", kMaxSystems, result.system) &&
        ParseIndexedName(name.substr(dot + 1), "Digitizer", kMaxDigitizers, result.digitizer)) {
        result.kind = SectionName::Kind::Digitizer;
    }
    return result;
}

// Reads the entries of one section into typed fields, reporting each value
// that cannot be used.
class EntryReader {
  public:
    EntryReader(const IniEntry& entry, std::vector<ConfigProblem>& problems)
        : entry_(entry), problems_(problems) {}

    bool Is(const char* key) const { return EqualsIgnoreCase(entry_.key, key); }

    void Int(int& field, int min, int max) {
        long long value = 0;
        if (ParseInteger(entry_.value, min, max, value)) {
            field = static_cast<int>(value);
        } else {
            Bad("an integer from " + std::to_string(min) + " to " + std::to_string(max));
        }
    }

    void Long(long long& field, long long min, long long max) {
        long long value = 0;
        if (ParseInteger(entry_.value, min, max, value)) {
            field = value;
        } else {
            Bad("an integer from " + std::to_string(min) + " to " + std::to_string(max));
        }
    }

    void Bool(bool& field) {
        long long value = 0;
        if (ParseInteger(entry_.value, 0, 1, value)) {
            field = value != 0;
        } else {
            Bad("0 or 1");
        }
    }

    void Bits(int& field) {
        long long value = 0;
        if (ParseInteger(entry_.value, 8, 16, value) && (value == 8 || value == 16)) {
            field = static_cast<int>(value);
        } else {
            Bad("8 or 16");
        }
    }

    void Text(std::string& field, std::size_t maxLength) {
        if (entry_.value.empty() || entry_.value.size() > maxLength) {
            Bad("a text of 1 to " + std::to_string(maxLength) + " characters");
        } else {
            field = entry_.value;
        }
    }

    // A comma-separated list of inquiry or control types. One bad item
    // rejects the whole list, so a typo never silently drops a fault.
    void TypeList(std::set<MilInt>& field) {
        std::set<MilInt> types;
        std::stringstream items(entry_.value);
        std::string item;
        while (std::getline(items, item, ',')) {
            const std::size_t b = item.find_first_not_of(" \t");
            const std::size_t e = item.find_last_not_of(" \t");
            long long value = 0;
            if (b == std::string::npos ||
                !ParseInteger(item.substr(b, e - b + 1), 0, 0x7FFFFFFFFFFFFFFFLL, value)) {
                Bad("a comma-separated list of type numbers");
                return;
            }
            types.insert(value);
        }
        field = std::move(types);
    }

    void Unknown(const std::string& section) {
        problems_.push_back(
            {entry_.line, "unknown key '" + entry_.key + "' in [" + section + "], ignored"});
    }

  private:
    void Bad(const std::string& expected) {
        problems_.push_back({entry_.line, "value '" + entry_.value + "' of " + entry_.key +
                                              " is not " + expected + ", default kept"});
    }

    const IniEntry& entry_;
    std::vector<ConfigProblem>& problems_;
};

void ReadApplication(const IniSection& section, SimConfig& config,
                     std::vector<ConfigProblem>& problems) {
    for (const IniEntry& entry : section.entries) {
        EntryReader r(entry, problems);
        if (r.Is("FailMappAlloc")) {
            r.Bool(config.failAppAlloc);
        } else {
            r.Unknown(section.name);
        }
    }
}

void ReadSystem(const IniSection& section, SystemConfig& system,
                std::vector<ConfigProblem>& problems) {
    for (const IniEntry& entry : section.entries) {
        EntryReader r(entry, problems);
        if (r.Is("Descriptor")) {
            r.Text(system.descriptor, kDescriptorSize - 1);
        } else if (r.Is("Serial")) {
            r.Text(system.serial, kErrorTextSize - 1);
        } else if (r.Is("AsyncSupport")) {
            r.Bool(system.asyncSupport);
        } else if (r.Is("Digitizers")) {
            int count = static_cast<int>(system.digitizers.size());
            r.Int(count, 0, kMaxDigitizers);
            system.digitizers.resize(static_cast<std::size_t>(count));
        } else if (r.Is("FailMsysAlloc")) {
            r.Bool(system.failAlloc);
        } else if (r.Is("FailMbufAlloc")) {
            r.Bool(system.failBufferAlloc);
        } else {
            r.Unknown(section.name);
        }
    }
}

void ReadDigitizer(const IniSection& section, DigitizerConfig& dig,
                   std::vector<ConfigProblem>& problems) {
    for (const IniEntry& entry : section.entries) {
        EntryReader r(entry, problems);
        if (r.Is("Width")) {
            r.Int(dig.width, 1, kMaxSide);
        } else if (r.Is("Height")) {
            r.Int(dig.height, 1, kMaxSide);
        } else if (r.Is("Bits")) {
            r.Bits(dig.bits);
        } else if (r.Is("FrameTimeMs")) {
            r.Int(dig.frameTimeMs, 0, kMaxMs);
        } else if (r.Is("FailMdigAlloc")) {
            r.Bool(dig.failAlloc);
        } else if (r.Is("SizeZero")) {
            r.Bool(dig.sizeZero);
        } else if (r.Is("FailGrabEvery")) {
            r.Long(dig.failGrabEvery, 0, 0x7FFFFFFFFFFFFFFFLL);
        } else if (r.Is("HangGrabMs")) {
            r.Int(dig.hangGrabMs, 0, kMaxMs);
        } else if (r.Is("FailControl")) {
            r.TypeList(dig.failControl);
        } else if (r.Is("FailInquire")) {
            r.TypeList(dig.failInquire);
        } else if (r.Is("TriggerPeriodMs")) {
            r.Int(dig.triggerPeriodMs, 0, kMaxMs);
        } else if (r.Is("TriggerTimeoutMs")) {
            r.Int(dig.triggerTimeoutMs, 0, kMaxMs);
        } else if (r.Is("NoiseAmplitude")) {
            r.Int(dig.noise.amplitude, 0, 65535);
        } else if (r.Is("NoiseSeed")) {
            long long seed = static_cast<long long>(dig.noise.seed);
            r.Long(seed, 0, 0x7FFFFFFFFFFFFFFFLL);
            dig.noise.seed = static_cast<std::uint64_t>(seed);
        } else if (r.Is("FrameTimeJitterMs")) {
            r.Int(dig.noise.jitterMs, 0, kMaxMs);
        } else if (r.Is("Playback")) {
            r.Text(dig.playback, kMaxPathLength);
        } else {
            r.Unknown(section.name);
        }
    }
}

}  // namespace

SimConfig DefaultConfig() {
    SimConfig config;
    config.systems.resize(1);
    config.systems[0].serial = "SIM-0001";
    return config;
}

SimConfig ParseConfig(const std::string& text, std::vector<ConfigProblem>& problems) {
    const IniDocument doc = ReadIni(text);
    for (const IniProblem& p : doc.problems) {
        problems.push_back({p.line, p.message + ", ignored"});
    }

    SimConfig config;
    // Boards first (their digitizer count decides which digitizer sections
    // apply), in ascending index order whatever the file order.
    std::map<int, SystemConfig> systems;
    for (const IniSection& section : doc.sections) {
        if (!section.valid) {
            continue;
        }
        const SectionName name = ClassifySection(section.name);
        switch (name.kind) {
            case SectionName::Kind::Application:
                ReadApplication(section, config, problems);
                break;
            case SectionName::Kind::System:
                ReadSystem(section, systems[name.system], problems);
                break;
            case SectionName::Kind::Digitizer:
                break;
            case SectionName::Kind::Unknown:
                if (section.name.empty()) {
                    for (const IniEntry& entry : section.entries) {
                        problems.push_back(
                            {entry.line, "key '" + entry.key + "' outside any section, ignored"});
                    }
                } else {
                    problems.push_back(
                        {section.line, "unknown section [" + section.name + "], ignored"});
                }
                break;
        }
    }

    // Without any board section the file still tunes the default board.
    std::vector<int> indices;
    if (systems.empty()) {
        systems[0] = DefaultConfig().systems[0];
    }
    for (auto& [index, system] : systems) {
        indices.push_back(index);
        config.systems.push_back(system);
    }

    for (const IniSection& section : doc.sections) {
        if (!section.valid) {
            continue;
        }
        const SectionName name = ClassifySection(section.name);
        if (name.kind != SectionName::Kind::Digitizer) {
            continue;
        }
        std::size_t position = 0;
        while (position < indices.size() && indices[position] != name.system) {
            ++position;
        }
        if (position == indices.size()) {
            problems.push_back({section.line, "section [" + section.name +
                                                  "] names a system that is not configured, "
                                                  "ignored"});
            continue;
        }
        auto& digitizers = config.systems[position].digitizers;
        if (static_cast<std::size_t>(name.digitizer) >= digitizers.size()) {
            problems.push_back({section.line, "section [" + section.name + "] names digitizer " +
                                                  std::to_string(name.digitizer) +
                                                  " of a system with " +
                                                  std::to_string(digitizers.size()) + ", ignored"});
            continue;
        }
        ReadDigitizer(section, digitizers[static_cast<std::size_t>(name.digitizer)], problems);
    }

    for (std::size_t i = 0; i < config.systems.size(); ++i) {
        if (config.systems[i].serial.empty()) {
            char serial[32];
            std::snprintf(serial, sizeof serial, "SIM-%04zu", i + 1);
            config.systems[i].serial = serial;
        }
    }
    return config;
}

SimConfig LoadConfig() {
    std::string path;
    bool mustExist = false;
    if (const char* env = std::getenv("KORVANE_SIM_CONFIG"); env != nullptr && *env != '\0') {
        path = env;
        mustExist = true;
    } else if (const std::string systemPath = DriverLog::Instance().SystemPath();
               !systemPath.empty()) {
        path = platform::JoinPath(systemPath, "KorvaneSim.ini");
    }
    if (path.empty()) {
        return DefaultConfig();
    }

    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (mustExist) {
            KLOG(kError,
                 "MilSimulator::LoadConfig: WARNING: cannot read configuration %s, using the "
                 "built-in default\n",
                 path.c_str());
        }
        return DefaultConfig();
    }
    std::string text;
    text.resize(kMaxConfigBytes + 1);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxConfigBytes) {
        KLOG(kError,
             "MilSimulator::LoadConfig: WARNING: configuration %s is larger than %zu bytes, "
             "using the built-in default\n",
             path.c_str(), kMaxConfigBytes);
        return DefaultConfig();
    }

    std::vector<ConfigProblem> problems;
    SimConfig config = ParseConfig(text, problems);
    for (const ConfigProblem& p : problems) {
        KLOG(kError, "MilSimulator::LoadConfig: WARNING: %s line %d: %s\n", path.c_str(), p.line,
             p.message.c_str());
    }
    config.source = path;
    // Recorded images named relative to the file live beside it, wherever
    // the host was started from.
    const std::string folder = FolderOf(path);
    for (SystemConfig& system : config.systems) {
        for (DigitizerConfig& dig : system.digitizers) {
            if (!dig.playback.empty() && !folder.empty() &&
                platform::PathIsRelative(dig.playback)) {
                dig.playback = platform::JoinPath(folder, dig.playback);
            }
        }
    }
    KLOG(kProgress, "MilSimulator::LoadConfig: configuration %s, %zu system(s)\n", path.c_str(),
         config.systems.size());
    return config;
}

}  // namespace korvane::mil::sim

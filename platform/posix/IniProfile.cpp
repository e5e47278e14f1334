#include "platform/IniProfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string_view>

#include "platform/common/IniWriteRules.h"

namespace korvane::platform {
namespace {

// ---------------------------------------------------------------------------
// Text rules

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    return NameEqual{}(a, b);
}

// ---------------------------------------------------------------------------
// The file as lines

struct Line {
    std::string text;  // without its line end
    // "\n", "\r\n"; the last line also "\r" or "". Always one of these
    // literals, which also spares GCC's optimiser a false warning on moved
    // short strings.
    std::string_view eol;
};

struct Document {
    bool bom = false;
    std::vector<Line> lines;

    std::string_view Eol() const {
        for (const auto& l : lines) {
            if (!l.eol.empty() && l.eol != "\r") {
                return l.eol == "\r\n" ? "\r\n" : "\n";
            }
        }
        return "\n";
    }
};

Document Parse(std::string_view bytes) {
    Document doc;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        doc.bom = true;
        bytes.remove_prefix(3);
    }
    while (!bytes.empty()) {
        const std::size_t nl = bytes.find('\n');
        Line line;
        if (nl == bytes.npos) {
            // A last line may end in a bare CR; it stays as it was.
            std::string_view text = bytes;
            if (!text.empty() && text.back() == '\r') {
                text.remove_suffix(1);
                line.eol = "\r";
            }
            line.text = std::string(text);
            bytes = {};
        } else {
            std::string_view text = bytes.substr(0, nl);
            line.eol = "\n";
            if (!text.empty() && text.back() == '\r') {
                text.remove_suffix(1);
                line.eol = "\r\n";
            }
            line.text = std::string(text);
            bytes.remove_prefix(nl + 1);
        }
        doc.lines.push_back(std::move(line));
    }
    return doc;
}

std::string Serialize(const Document& doc) {
    std::string out;
    if (doc.bom) {
        out += "\xEF\xBB\xBF";
    }
    for (const auto& l : doc.lines) {
        out += l.text;
        out += l.eol;
    }
    return out;
}

// A section header's name, when the line is one. A "[" without a closing
// "]" is no header.
std::optional<std::string_view> SectionName(std::string_view text) {
    text = Trim(text);
    if (text.empty() || text.front() != '[') {
        return std::nullopt;
    }
    const std::size_t close = text.rfind(']');
    if (close == text.npos) {
        return std::nullopt;
    }
    return Trim(text.substr(1, close - 1));
}

// A key line's key and raw value. Comments and lines without "=" are none.
bool SplitKey(std::string_view text, std::string_view& key, std::string_view& value) {
    const std::string_view trimmed = Trim(text);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[') {
        return false;
    }
    const std::size_t eq = text.find('=');
    if (eq == text.npos) {
        return false;
    }
    key = Trim(text.substr(0, eq));
    value = text.substr(eq + 1);
    return true;
}

// The lines of a file's text as Parse splits them, without copying them:
// fn(text) for each line, its line end removed, while fn returns true.
template <typename Fn>
void ForEachLine(std::string_view bytes, Fn fn) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    while (!bytes.empty()) {
        const std::size_t nl = bytes.find('\n');
        std::string_view text = bytes.substr(0, nl);
        bytes.remove_prefix(nl == bytes.npos ? bytes.size() : nl + 1);
        if (!text.empty() && text.back() == '\r') {
            text.remove_suffix(1);
        }
        if (!fn(text)) {
            return;
        }
    }
}

// fn(key, raw value) for each key line of the first section of that name,
// in file order, while fn returns true. Reads need no Document: nothing
// is copied but what they return.
template <typename Fn>
void ForEachKey(std::string_view bytes, std::string_view section, Fn fn) {
    bool inside = false;
    ForEachLine(bytes, [&](std::string_view text) {
        const auto name = SectionName(text);
        if (!inside) {
            inside = name && SameName(*name, section);
            return true;
        }
        if (name) {
            return false;  // the section ends at the next header
        }
        std::string_view k;
        std::string_view v;
        return !SplitKey(text, k, v) || fn(k, v);
    });
}

struct SectionRange {
    std::size_t header;  // index of the header line
    std::size_t end;     // one past the section's last line
};

std::optional<SectionRange> FindSection(const Document& doc, std::string_view section) {
    for (std::size_t i = 0; i < doc.lines.size(); ++i) {
        const auto name = SectionName(doc.lines[i].text);
        if (!name || !SameName(*name, section)) {
            continue;
        }
        std::size_t end = i + 1;
        while (end < doc.lines.size() && !SectionName(doc.lines[end].text)) {
            ++end;
        }
        return SectionRange{i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> FindKey(const Document& doc, const SectionRange& range,
                                   std::string_view key) {
    for (std::size_t i = range.header + 1; i < range.end; ++i) {
        std::string_view k;
        std::string_view v;
        if (SplitKey(doc.lines[i].text, k, v) && SameName(k, key)) {
            return i;
        }
    }
    return std::nullopt;
}

// A last line without a line end gets one before anything follows it. One
// that ends in a bare CR keeps it and gets a LF after it: a "\n" after its
// text would turn a CR inside the text into the line's end and change the
// value read back.
void TerminateLastLine(Document& doc, std::string_view eol) {
    if (doc.lines.empty()) {
        return;
    }
    Line& last = doc.lines.back();
    if (last.eol.empty()) {
        last.eol = eol;
    } else if (last.eol == "\r") {
        last.eol = "\r\n";
    }
}

void SetKey(Document& doc, std::string_view section, const std::string& key,
            const std::string& value) {
    const std::string_view eol = doc.Eol();
    auto terminateLast = [&] { TerminateLastLine(doc, eol); };
    auto range = FindSection(doc, section);
    if (!range) {
        terminateLast();
        if (!doc.lines.empty() && !Trim(doc.lines.back().text).empty()) {
            doc.lines.push_back(Line{"", eol});
        }
        doc.lines.push_back(Line{"[" + std::string(section) + "]", eol});
        doc.lines.push_back(Line{key + "=" + value, eol});
        return;
    }
    if (const auto at = FindKey(doc, *range, key)) {
        std::string_view k;
        std::string_view v;
        SplitKey(doc.lines[*at].text, k, v);
        doc.lines[*at].text = std::string(k) + "=" + value;
        return;
    }
    // After the section's last non-blank line, so blank lines that part it
    // from the next section stay between them.
    std::size_t insertAt = range->header + 1;
    for (std::size_t i = range->header + 1; i < range->end; ++i) {
        if (!Trim(doc.lines[i].text).empty()) {
            insertAt = i + 1;
        }
    }
    if (insertAt == doc.lines.size()) {
        terminateLast();
    }
    doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
                     Line{key + "=" + value, eol});
}

// SetKey for each entry in turn, with the same result, but the section is
// found and its keys are split once: a settings save sets dozens of keys, and
// looking each one up from the top of the file made a save quadratic.
void SetKeys(Document& doc, std::string_view section,
             const std::vector<std::pair<std::string, std::string>>& entries) {
    auto next = entries.begin();
    auto range = FindSection(doc, section);
    if (!range && next != entries.end()) {
        SetKey(doc, section, next->first, next->second);
        ++next;
        range = FindSection(doc, section);
    }
    if (!range || next == entries.end()) {
        return;
    }
    const std::string_view eol = doc.Eol();
    // The section's keys by name (first of a name wins) and their lines.
    // A map, not a list: a save sets every key of the section, and a search
    // of the list for each made the save quadratic in its keys. Names are
    // copies: inserting lines moves the texts.
    NameMap<std::size_t> keys;
    std::size_t insertAt = range->header + 1;
    for (std::size_t i = range->header + 1; i < range->end; ++i) {
        std::string_view k;
        std::string_view v;
        if (SplitKey(doc.lines[i].text, k, v)) {
            keys.try_emplace(std::string(k), i);
        }
        if (!Trim(doc.lines[i].text).empty()) {
            insertAt = i + 1;
        }
    }
    for (; next != entries.end(); ++next) {
        const std::string& key = next->first;
        const std::string& value = next->second;
        const auto known = keys.find(key);
        if (known != keys.end()) {
            std::string_view k;
            std::string_view v;
            SplitKey(doc.lines[known->second].text, k, v);
            doc.lines[known->second].text = std::string(k) + "=" + value;
            continue;
        }
        if (insertAt == doc.lines.size()) {
            TerminateLastLine(doc, eol);
        }
        // Lines before insertAt keep their places; only later ones move,
        // and no line kept here is later.
        doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
                         Line{key + "=" + value, eol});
        keys.try_emplace(key, insertAt);
        ++insertAt;
    }
}

// ---------------------------------------------------------------------------
// Files

class UniqueFd {
  public:
    explicit UniqueFd(int fd = -1) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return fd_; }
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }
    void Reset() { Close(); }

  private:
    int fd_;
};

enum class ReadResult { Ok, Missing, Failed };

ReadResult ReadWholeFile(const std::string& path, std::string& out) {
    out.clear();
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0) {
        return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Failed;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::uint64_t>(st.st_size) > kIniMaxFileSize) {
        return ReadResult::Failed;
    }
    // Straight into the text, sized by the file; one byte more shows a file
    // that grew since, and it may grow up to the limit.
    out.resize(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t have = 0;
    for (;;) {
        if (have == out.size()) {
            if (out.size() > kIniMaxFileSize) {
                out.clear();
                return ReadResult::Failed;
            }
            out.resize(std::min(out.size() * 2, kIniMaxFileSize + 1));
        }
        const ssize_t n = ::read(fd.get(), out.data() + have, out.size() - have);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            out.clear();
            return ReadResult::Failed;
        }
        if (n == 0) {
            out.resize(have);
            return ReadResult::Ok;
        }
        have += static_cast<std::size_t>(n);
    }
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// The file a write replaces: a symbolic link is followed, so the link
// stays and its target gets the new text.
std::string ReplaceTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) != nullptr) {
            return resolved;
        }
    }
    return path;
}

// Writes the text to a new file beside target and renames it over target.
bool ReplaceFile(const std::string& target, const std::string& text) {
    struct stat old {};
    const mode_t mode = ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    std::string tempName = target + ".XXXXXX";
    UniqueFd fd(::mkstemp(tempName.data()));
    if (fd.get() < 0) {
        return false;
    }
    const bool written =
        WriteAll(fd.get(), text) && ::fchmod(fd.get(), mode) == 0 && ::fsync(fd.get()) == 0;
    if (!fd.Close() || !written || ::rename(tempName.c_str(), target.c_str()) != 0) {
        ::unlink(tempName.c_str());
        return false;
    }
    return true;
}

// Writers of this process take turns, so two threads updating the same file
// cannot drop each other's keys.
std::mutex& WriteMutex() {
    static std::mutex mutex;
    return mutex;
}

// The raw value of a key, when the file has it.
std::optional<std::string> LookUp(const std::string& path, const std::string& section,
                                  const std::string& key) {
    std::string bytes;
    if (ReadWholeFile(path, bytes) != ReadResult::Ok) {
        return std::nullopt;
    }
    std::optional<std::string> found;
    ForEachKey(bytes, Trim(section), [&](std::string_view k, std::string_view v) {
        if (!SameName(k, key)) {
            return true;
        }
        found = std::string(v);
        return false;
    });
    return found;
}

std::string CutToBuffer(std::string_view s) {
    s = s.substr(0, s.find('\0'));
    return std::string(s.substr(0, kIniMaxValueLength));
}

// What a read hands back of a raw value: blanks around it and one pair of
// matching quotes removed, then cut as a 256-byte buffer would cut it.
std::string CleanValue(std::string_view value) {
    value = Trim(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return CutToBuffer(value);
}

int LeadingInt(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && (IsBlank(s[i]) || s[i] == '\r' || s[i] == '\n')) {
        ++i;
    }
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    constexpr std::int64_t kLimit = std::int64_t{INT_MAX} + 1;
    std::int64_t magnitude = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (s[i] - '0');
        if (magnitude > kLimit) {
            magnitude = kLimit;
        }
    }
    if (negative) {
        return static_cast<int>(-magnitude);
    }
    return static_cast<int>(magnitude < kLimit ? magnitude : kLimit - 1);
}

// What a read of a missing key hands back: the default cut as a value is,
// without trailing blanks.
std::string DefaultText(const std::string& def) {
    std::string fallback = CutToBuffer(def);
    while (!fallback.empty() && IsBlank(fallback.back())) {
        fallback.pop_back();
    }
    return fallback;
}

// An integer read of a key the file has: an empty value gives the default.
int IntValue(std::string_view raw, int def) {
    const std::string value = CleanValue(raw);
    return value.empty() ? def : LeadingInt(value);
}

}  // namespace

std::string IniReadString(const std::string& path, const std::string& section,
                          const std::string& key, const std::string& def) {
    if (const auto raw = LookUp(path, section, key)) {
        return CleanValue(*raw);
    }
    return DefaultText(def);
}

int IniReadInt(const std::string& path, const std::string& section, const std::string& key,
               int def) {
    const auto raw = LookUp(path, section, key);
    return raw ? IntValue(*raw, def) : def;
}

IniSectionReader::IniSectionReader(std::string path, std::string section)
    : path_(std::move(path)), section_(std::move(section)) {
    std::string bytes;
    if (ReadWholeFile(path_, bytes) != ReadResult::Ok) {
        return;
    }
    ForEachKey(bytes, Trim(section_), [this](std::string_view k, std::string_view v) {
        keys_.try_emplace(std::string(k), v);
        return true;
    });
}

std::string IniSectionReader::ReadString(const std::string& key, const std::string& def) const {
    const auto found = keys_.find(key);
    return found != keys_.end() ? CleanValue(found->second) : DefaultText(def);
}

int IniSectionReader::ReadInt(const std::string& key, int def) const {
    const auto found = keys_.find(key);
    return found != keys_.end() ? IntValue(found->second, def) : def;
}

bool IniWriteStrings(const std::string& path, const std::string& section,
                     const std::vector<std::pair<std::string, std::string>>& entries) {
    if (!IniWriteWritable(section, entries)) {
        return false;
    }
    const std::string target = ReplaceTarget(path);
    std::lock_guard<std::mutex> lock(WriteMutex());
    std::string bytes;
    if (ReadWholeFile(target, bytes) == ReadResult::Failed) {
        return false;  // never replace a file that could not be read whole
    }
    Document doc = Parse(bytes);
    const std::string_view name = Trim(section);
    SetKeys(doc, name, entries);
    return ReplaceFile(target, Serialize(doc));
}

bool IniWriteString(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value) {
    return IniWriteStrings(path, section, {{key, value}});
}

}  // namespace korvane::platform

#include "mil/sim/PgmReader.h"

#include <fstream>

namespace korvane::mil::sim {
namespace {

// A header with comments longer than this is not a recorded frame.
constexpr std::size_t kMaxHeaderBytes = 64 * 1024;
constexpr std::uint64_t kMaxFileBytes =
    static_cast<std::uint64_t>(kPgmMaxSide) * kPgmMaxSide * 2 + kMaxHeaderBytes;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Walks the header: whitespace and comments between the numbers, counting
// lines for the error message.
class HeaderCursor {
  public:
    explicit HeaderCursor(const std::string& data) : data_(data) {}

    std::size_t Position() const { return pos_; }
    int Line() const { return line_; }

    void SkipBlanksAndComments() {
        while (pos_ < data_.size()) {
            const char c = data_[pos_];
            if (c == '#') {
                while (pos_ < data_.size() && data_[pos_] != '\n') {
                    ++pos_;
                }
            } else if (IsSpace(c)) {
                Advance();
            } else {
                return;
            }
        }
    }

    // A decimal number of at most digits digits; false when none is there,
    // it is longer, or a character other than whitespace or a comment
    // follows it directly.
    bool Number(long long& value, int maxDigits) {
        value = 0;
        int digits = 0;
        while (pos_ < data_.size() && data_[pos_] >= '0' && data_[pos_] <= '9') {
            if (++digits > maxDigits) {
                return false;
            }
            value = value * 10 + (data_[pos_] - '0');
            ++pos_;
        }
        return digits > 0 && (pos_ == data_.size() || IsSpace(data_[pos_]) || data_[pos_] == '#');
    }

    // The single whitespace character that ends the header.
    bool EndOfHeader() {
        if (pos_ >= data_.size() || !IsSpace(data_[pos_])) {
            return false;
        }
        Advance();
        return true;
    }

  private:
    void Advance() {
        if (data_[pos_] == '\n') {
            ++line_;
        }
        ++pos_;
    }

    const std::string& data_;
    std::size_t pos_ = 0;
    int line_ = 1;
};

bool Fail(PgmError& error, int line, std::string message) {
    error.line = line;
    error.message = std::move(message);
    return false;
}

}  // namespace

bool ParsePgm(const std::string& data, PgmImage& image, PgmError& error) {
    if (data.size() < 2 || data[0] != 'P' || data[1] != '5') {
        return Fail(error, 1, "not a binary PGM file (magic 'P5' missing)");
    }
    // The magic must be followed by whitespace or a comment.
    constexpr std::size_t start = 2;
    if (data.size() == start || !(IsSpace(data[start]) || data[start] == '#')) {
        return Fail(error, 1, "no whitespace after the magic 'P5'");
    }
    long long fields[3] = {};
    const char* const names[3] = {"width", "height", "maxval"};
    const std::string rest = data.substr(start, std::min(data.size() - start, kMaxHeaderBytes));
    HeaderCursor c(rest);
    for (int i = 0; i < 3; ++i) {
        c.SkipBlanksAndComments();
        if (c.Position() >= rest.size()) {
            return Fail(error, c.Line(), std::string("header ends before the ") + names[i]);
        }
        const int line = c.Line();
        if (!c.Number(fields[i], 6)) {
            return Fail(error, line, std::string(names[i]) + " is not a decimal number");
        }
        if (i < 2 && (fields[i] < 1 || fields[i] > kPgmMaxSide)) {
            return Fail(error, line,
                        std::string(names[i]) + " " + std::to_string(fields[i]) + " is not 1 to " +
                            std::to_string(kPgmMaxSide));
        }
        if (i == 2 && (fields[i] < 1 || fields[i] > 65535)) {
            return Fail(error, line, "maxval " + std::to_string(fields[i]) + " is not 1 to 65535");
        }
    }
    const int rasterLine = c.Line();
    if (!c.EndOfHeader()) {
        return Fail(error, rasterLine, "no whitespace after the maxval");
    }
    const auto width = static_cast<std::size_t>(fields[0]);
    const auto height = static_cast<std::size_t>(fields[1]);
    const int maxval = static_cast<int>(fields[2]);
    const std::size_t sampleBytes = maxval > 255 ? 2 : 1;
    const std::size_t offset = start + c.Position();
    const std::size_t needed = width * height * sampleBytes;
    // Checked before anything is allocated: a header may promise any size.
    if (data.size() - offset < needed) {
        return Fail(error, rasterLine,
                    "pixel data truncated: " + std::to_string(data.size() - offset) + " of " +
                        std::to_string(needed) + " bytes");
    }

    std::vector<std::uint16_t> samples(width * height);
    const auto* raw = reinterpret_cast<const unsigned char*>(data.data() + offset);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const unsigned value = sampleBytes == 2 ? (raw[2 * i] << 8u) | raw[2 * i + 1] : raw[i];
        if (value > static_cast<unsigned>(maxval)) {
            return Fail(error, rasterLine,
                        "sample " + std::to_string(value) + " at pixel (" +
                            std::to_string(i % width) + ", " + std::to_string(i / width) +
                            ") is above maxval " + std::to_string(maxval));
        }
        samples[i] = static_cast<std::uint16_t>(value);
    }
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.maxval = maxval;
    image.samples = std::move(samples);
    return true;
}

bool ReadPgmFile(const std::string& path, PgmImage& image, PgmError& error) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        return Fail(error, 0, "cannot be read");
    }
    const std::streamoff size = in.tellg();
    if (size < 0) {
        return Fail(error, 0, "cannot be read");
    }
    if (static_cast<std::uint64_t>(size) > kMaxFileBytes) {
        return Fail(error, 0,
                    "is " + std::to_string(size) + " bytes, larger than any image of at most " +
                        std::to_string(kPgmMaxSide) + " x " + std::to_string(kPgmMaxSide));
    }
    std::string data(static_cast<std::size_t>(size), '\0');
    in.seekg(0);
    if (!in.read(data.data(), size)) {
        return Fail(error, 0, "cannot be read");
    }
    return ParsePgm(data, image, error);
}

}  // namespace korvane::mil::sim

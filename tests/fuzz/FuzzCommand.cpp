// Fuzzes the command language: the argument parser on its own, and execCmd's
// path through an opened simulated camera with result buffers of every size.
// Input: one byte choosing the result buffer size, then the command name up
// to the first line feed, then the argument text.
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "camera/CommandParser.h"
#include "tests/fuzz/FuzzCamera.h"

namespace {

using korvane::fuzz::Check;

// Every pair comes from one item of the text, and writing the map back out
// and parsing it again gives the same map.
void CheckArguments(const std::string& text) {
    const auto args = korvane::ParseArguments(text.c_str());
    std::string rebuilt;
    for (const auto& [key, value] : args) {
        Check(key.find(';') == std::string::npos && key.find('=') == std::string::npos);
        Check(value.find(';') == std::string::npos);
        Check(text.find(key + "=" + value) != std::string::npos);
        rebuilt += key + "=" + value + ";";
    }
    Check(korvane::ParseArguments(rebuilt.c_str()) == args);
    Check(korvane::ParseArguments(nullptr).empty());
}

// The integer reader agrees with the C library's, saturated to int.
void CheckLeadingInt(const std::string& text) {
    const char* p = text.c_str();
    errno = 0;
    long long expected = std::strtoll(p, nullptr, 10);
    // Base 10 reads no "0x" prefix, like the parser; only the saturation
    // width differs.
    expected = expected > INT_MAX ? INT_MAX : expected < INT_MIN ? INT_MIN : expected;
    Check(korvane::ParseLeadingInt(p) == static_cast<int>(expected));
    (void)korvane::ParseLeadingDouble(p);
}

// The buffer holds one of the outcome words, cut to what fits with its NUL.
bool HoldsOutcome(const char* result, int size) {
    for (const std::string word : {"ok", "fail", "unknowncmd"}) {
        if (word.substr(0, static_cast<std::size_t>(size - 1)) == result) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::uint64_t runs = 0;
    korvane::fuzz::FuzzCamera& fixture = korvane::fuzz::Camera();
    if (++runs % 2000 == 0) {
        fixture.Reopen();
    }
    if (size == 0) {
        return 0;
    }
    // -8 .. 40: negative and tiny buffers matter most.
    const int resultSize = static_cast<int>(data[0] % 49) - 8;
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t nl = rest.find('\n');
    // The exports see NUL-terminated texts: cut at the first NUL.
    const std::string command = std::string(rest.substr(0, nl).c_str());
    const std::string arguments =
        nl == std::string::npos ? std::string() : std::string(rest.substr(nl + 1).c_str());

    CheckArguments(arguments);
    CheckLeadingInt(arguments);

    // Exactly resultSize bytes, so that any write past them is caught.
    const std::size_t bytes = resultSize > 0 ? static_cast<std::size_t>(resultSize) : 0;
    auto result = std::make_unique<char[]>(bytes == 0 ? 0 : bytes);
    const bool ok =
        fixture.camera().ExecCommand(command.c_str(), arguments.c_str(), result.get(), resultSize);
    if (resultSize > 0) {
        Check(std::memchr(result.get(), '\0', bytes) != nullptr);
        Check(HoldsOutcome(result.get(), resultSize));
        if (resultSize >= 11) {
            Check(ok == (std::strcmp(result.get(), "ok") == 0));
        }
    }
    return 0;
}

#include "platform/Clock.h"

#include <chrono>
#include <ctime>

namespace korvane::platform {

LocalTime CurrentLocalTime() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                     tm.tm_hour,        tm.tm_min,     tm.tm_sec};
}

long ProcessClockMs() {
    return static_cast<long>(std::clock() / (CLOCKS_PER_SEC / 1000));
}

std::int64_t MonotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace korvane::platform

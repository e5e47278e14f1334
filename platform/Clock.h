#pragma once
// Time sources the driver needs: the wall clock in local time for log
// prefixes and the process clock for thread start lines.
#include <cstdint>

namespace korvane::platform {

struct LocalTime {
    int year = 0;    // four digits
    int month = 0;   // 1 to 12
    int day = 0;     // 1 to 31
    int hour = 0;    // 0 to 23
    int minute = 0;  // 0 to 59
    int second = 0;  // 0 to 60
};

LocalTime CurrentLocalTime();

// Milliseconds of processor time since the process started (what the C
// library's clock() reports, scaled to milliseconds).
long ProcessClockMs();

// Milliseconds from a monotonic clock, for time-outs and measurements.
std::int64_t MonotonicMs();

}  // namespace korvane::platform

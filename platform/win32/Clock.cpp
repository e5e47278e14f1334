#include "platform/Clock.h"

#include <ctime>

#include "platform/win32/WinHandle.h"

namespace korvane::platform {

LocalTime CurrentLocalTime() {
    SYSTEMTIME st{};
    ::GetLocalTime(&st);
    return LocalTime{st.wYear,
                     st.wMonth,
                     st.wDay,
                     st.wHour,
                     st.wMinute,
                     st.wSecond};
}

long ProcessClockMs() {
    // The C runtime's clock() counts wall time since the process started on
    // Windows, which is what the thread start lines report.
    return static_cast<long>(std::clock() / (CLOCKS_PER_SEC / 1000));
}

std::int64_t MonotonicMs() {
    return static_cast<std::int64_t>(::GetTickCount64());
}

}  // namespace korvane::platform

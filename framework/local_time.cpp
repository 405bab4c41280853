#include "framework/local_time.h"

int64_t ClockSeconds()
{
#if defined(_WIN32)
    return _time64(nullptr);
#else
    return static_cast<int64_t>(std::time(nullptr));
#endif
}

bool LocalTime(int64_t now, std::tm& out)
{
#if defined(_WIN32)
    const __time64_t time = now;
    return _localtime64_s(&out, &time) == 0;
#else
    const std::time_t time = static_cast<std::time_t>(now);
    if (static_cast<int64_t>(time) != now) return false; // beyond a 32-bit time_t
    return localtime_r(&time, &out) != nullptr;
#endif
}

#include "fetch/feed_time.h"

#include <ctime>

namespace {
// Dates before this year carry no usable time.
constexpr int kFirstUsableYear = 1900;

int64_t LocalMktime64(std::tm& fields)
{
#if defined(_WIN32)
    return _mktime64(&fields);
#else
    static_assert(sizeof(std::time_t) == 8, "feed times need a 64-bit time_t");
    return std::mktime(&fields);
#endif
}
} // namespace

FeedTime MakeFeedTime(const CalendarFields& fields)
{
    FeedTime result;
    if (fields.year < kFirstUsableYear) return result;

    std::tm broken = {};
    broken.tm_sec = fields.second;
    broken.tm_min = fields.minute;
    broken.tm_hour = fields.hour;
    broken.tm_mday = fields.day;
    broken.tm_mon = fields.month - 1;
    broken.tm_year = fields.year - 1900;
    broken.tm_isdst = -1;
    const int64_t seconds = LocalMktime64(broken);
    if (seconds < 0)
        result.status = FeedTimeStatus::unrepresentable;
    else
        result.feedTime = seconds;
    return result;
}

// Feed time: the number that decides whether a feed changed.
//
// It is made from the calendar fields of a response's Last-Modified date.
// The fields are GMT but are read as local time; feed times are only ever
// compared with one another, never shown. 0 stands for "no usable time".
// Platform-free.
#pragma once

#include <cstdint>

// The calendar fields of a date, as WinINet reports them in a SYSTEMTIME.
struct CalendarFields {
    int year = 0;   // e.g. 2015
    int month = 0;  // 1-12
    int day = 0;    // 1-31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

enum class FeedTimeStatus {
    ok,             // feedTime holds the time (0 for a year before 1900)
    unrepresentable // the library's time conversion cannot represent the date
};

struct FeedTime {
    FeedTimeStatus status = FeedTimeStatus::ok;
    int64_t feedTime = 0;
};

// Years before 1900 (an all-zero record among them) give 0. Otherwise the
// fields go through the 64-bit mktime with the daylight-saving flag left to
// the library. Its result must not be negative: Windows' _mktime64 answers
// -1 for anything before 1970 or after the year 3000, and other libraries
// return negative counts for times before 1970, so both count as
// unrepresentable and every build treats the same dates alike.
FeedTime MakeFeedTime(const CalendarFields& fields);

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
    int year = 0;  // e.g. 2015
    int month = 0; // 1-12
    int day = 0;   // 1-31
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
// the library. Windows' _mktime64 cannot represent times before 1970 or
// after the year 3000 (and Wine's crashes on some of them), so dates before
// 1970-01-02 and from the year 3000 on are unrepresentable without asking
// it; so is a negative result, which keeps every build alike.
FeedTime MakeFeedTime(const CalendarFields& fields);

// Reads an HTTP date in any of the three forms HTTP allows:
//   "Sun, 06 Nov 1994 08:49:37 GMT"   (the preferred form)
//   "Sunday, 06-Nov-94 08:49:37 GMT"  (two-digit years 70-99 are 19xx, else 20xx)
//   "Sun Nov  6 08:49:37 1994"        (asctime)
// as WinINet's own date parsing reads them: day and month names in any case,
// days of one or two digits, the zone written GMT, UTC or +0000, runs of
// blanks between the fields and around the date. Returns false, leaving
// `out` alone, for anything else, including dates whose fields are out of
// range ("32 Oct", "25:00:00").
bool ParseHttpDate(const char* text, CalendarFields& out);

// What the change test makes of a response's Last-Modified header.
struct LastModifiedTime {
    bool usable = false;  // a date whose feed time can be compared
    int64_t feedTime = 0; // that feed time; 0 when not usable
};

// `header` is the header's text, or null when the response has none. A
// header that is not a date, or whose date has no feed time (before
// 1970-01-02 and from the year 3000 on), is not usable: the feed then counts
// as changed, as it does without the header.
LastModifiedTime ReadLastModified(const char* header);

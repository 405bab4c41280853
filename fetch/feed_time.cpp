#include "fetch/feed_time.h"

#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace
{
// Dates before this year carry no usable time.
constexpr int kFirstUsableYear = 1900;
// The years the 64-bit time conversion is asked about; outside them the
// date is unrepresentable (the first day of 1970 is left out as well, since
// a zone east of Greenwich puts part of it before 1970).
constexpr int kFirstConvertedYear = 1970;
constexpr int kLastConvertedYear = 2999;

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

    if (fields.year < kFirstConvertedYear || fields.year > kLastConvertedYear ||
        (fields.year == kFirstConvertedYear && fields.month == 1 && fields.day == 1)) {
        result.status = FeedTimeStatus::unrepresentable;
        return result;
    }

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

namespace
{
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
const char* const kLongDays[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                 "Friday", "Saturday", "Sunday"};

bool IsOneOf(const std::string& token, const char* const* names, int count)
{
    for (int i = 0; i < count; ++i)
        if (token == names[i]) return true;
    return false;
}

// 1-12 for a month abbreviation, else 0.
int MonthNumber(const std::string& token)
{
    for (int i = 0; i < 12; ++i)
        if (token == kMonths[i]) return i + 1;
    return 0;
}

// A number of `minDigits` to `maxDigits` decimal digits and nothing else.
bool ReadNumber(const std::string& token, size_t minDigits, size_t maxDigits, int& value)
{
    if (token.size() < minDigits || token.size() > maxDigits) return false;
    value = 0;
    for (char c : token) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

// "HH:MM:SS", two digits each.
bool ReadClock(const std::string& token, CalendarFields& f)
{
    return token.size() == 8 && token[2] == ':' && token[5] == ':' &&
           ReadNumber(token.substr(0, 2), 2, 2, f.hour) &&
           ReadNumber(token.substr(3, 2), 2, 2, f.minute) &&
           ReadNumber(token.substr(6, 2), 2, 2, f.second) && f.hour < 24 && f.minute < 60 &&
           f.second <= 60;
}

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

bool DayFitsMonth(const CalendarFields& f)
{
    static const int kLengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int length = kLengths[f.month - 1] + (f.month == 2 && IsLeapYear(f.year) ? 1 : 0);
    return f.day >= 1 && f.day <= length;
}

std::vector<std::string> Tokens(const char* text)
{
    std::vector<std::string> tokens;
    std::string token;
    for (const char* p = text;; ++p) {
        if (*p == '\0' || *p == ' ' || *p == ',') {
            if (!token.empty()) tokens.push_back(token);
            token.clear();
            if (*p == '\0') break;
        } else {
            token += *p;
        }
    }
    return tokens;
}
} // namespace

bool ParseHttpDate(const char* text, CalendarFields& out)
{
    if (!text) return false;
    const std::vector<std::string> t = Tokens(text);
    CalendarFields f;
    bool ok = false;
    if (t.size() == 6) { // Sun, 06 Nov 1994 08:49:37 GMT
        f.month = MonthNumber(t[2]);
        ok = IsOneOf(t[0], kDays, 7) && ReadNumber(t[1], 1, 2, f.day) && f.month &&
             ReadNumber(t[3], 4, 4, f.year) && ReadClock(t[4], f) && t[5] == "GMT";
    } else if (t.size() == 4) { // Sunday, 06-Nov-94 08:49:37 GMT
        const std::string& date = t[1];
        ok = IsOneOf(t[0], kLongDays, 7) && date.size() == 9 && date[2] == '-' && date[6] == '-' &&
             ReadNumber(date.substr(0, 2), 2, 2, f.day) &&
             (f.month = MonthNumber(date.substr(3, 3))) != 0 &&
             ReadNumber(date.substr(7, 2), 2, 2, f.year) && ReadClock(t[2], f) && t[3] == "GMT";
        f.year += f.year >= 70 ? 1900 : 2000;
    } else if (t.size() == 5) { // Sun Nov  6 08:49:37 1994
        f.month = MonthNumber(t[1]);
        ok = IsOneOf(t[0], kDays, 7) && f.month && ReadNumber(t[2], 1, 2, f.day) &&
             ReadClock(t[3], f) && ReadNumber(t[4], 4, 4, f.year);
    }
    if (!ok || !DayFitsMonth(f)) return false;
    out = f;
    return true;
}

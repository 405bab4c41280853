#include "fetch/feed_time.h"

#include <cstring>
#include <ctime>

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
const char* const kZones[] = {"GMT", "UTC"};

bool IsLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// A left-to-right reader over the text of a date. Each step either reads
// what it asks for and moves on, or returns false.
class DateReader
{
  public:
    explicit DateReader(const char* text) : m_p(text) {}

    bool AtEnd() const { return *m_p == '\0'; }
    void SkipBlanks()
    {
        while (IsBlank(*m_p))
            ++m_p;
    }
    // Any number of blanks, none included.
    bool OptionalBlanks()
    {
        SkipBlanks();
        return true;
    }
    // One or more blanks.
    bool Blanks()
    {
        if (!IsBlank(*m_p)) return false;
        SkipBlanks();
        return true;
    }
    bool Char(char c)
    {
        if (*m_p != c) return false;
        ++m_p;
        return true;
    }
    // A whole word of letters that is one of `names`, in any case; `index`
    // tells which.
    bool Name(const char* const* names, int count, int& index)
    {
        size_t length = 0;
        while (IsLetter(m_p[length]))
            ++length;
        for (index = 0; index < count; ++index) {
            const char* name = names[index];
            if (std::strlen(name) != length) continue;
            size_t i = 0;
            while (i < length && Lower(m_p[i]) == Lower(name[i]))
                ++i;
            if (i == length) {
                m_p += length;
                return true;
            }
        }
        return false;
    }
    // A run of `minDigits` to `maxDigits` decimal digits, and no more.
    bool Number(size_t minDigits, size_t maxDigits, int& value)
    {
        size_t length = 0;
        while (IsDigit(m_p[length]))
            ++length;
        if (length < minDigits || length > maxDigits) return false;
        value = 0;
        for (size_t i = 0; i < length; ++i)
            value = value * 10 + (m_p[i] - '0');
        m_p += length;
        return true;
    }
    bool Month(int& month)
    {
        int index = 0;
        if (!Name(kMonths, 12, index)) return false;
        month = index + 1;
        return true;
    }
    // "HH:MM:SS", two digits each.
    bool Clock(CalendarFields& f)
    {
        return Number(2, 2, f.hour) && Char(':') && Number(2, 2, f.minute) && Char(':') &&
               Number(2, 2, f.second) && f.hour < 24 && f.minute < 60 && f.second <= 60;
    }
    // Greenwich, under any of the names servers give it.
    bool Zone()
    {
        int index = 0;
        if (Name(kZones, 2, index)) return true;
        int offset = 0;
        return Char('+') && Number(4, 4, offset) && offset == 0;
    }

  private:
    const char* m_p;
};

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

// "Sun, 06 Nov 1994 08:49:37 GMT"
bool ReadRfc1123(DateReader& in, CalendarFields& f)
{
    int weekday = 0;
    return in.Name(kDays, 7, weekday) && in.Char(',') && in.OptionalBlanks() &&
           in.Number(1, 2, f.day) && in.Blanks() && in.Month(f.month) && in.Blanks() &&
           in.Number(4, 4, f.year) && in.Blanks() && in.Clock(f) && in.Blanks() && in.Zone();
}

// "Sunday, 06-Nov-94 08:49:37 GMT"; two-digit years 70-99 are 19xx, the
// others 20xx.
bool ReadRfc850(DateReader& in, CalendarFields& f)
{
    int weekday = 0;
    if (!(in.Name(kLongDays, 7, weekday) && in.Char(',') && in.OptionalBlanks() &&
          in.Number(1, 2, f.day) && in.Char('-') && in.Month(f.month) && in.Char('-') &&
          in.Number(2, 2, f.year) && in.Blanks() && in.Clock(f) && in.Blanks() && in.Zone()))
        return false;
    f.year += f.year >= 70 ? 1900 : 2000;
    return true;
}

// "Sun Nov  6 08:49:37 1994"
bool ReadAsctime(DateReader& in, CalendarFields& f)
{
    int weekday = 0;
    return in.Name(kDays, 7, weekday) && in.Blanks() && in.Month(f.month) && in.Blanks() &&
           in.Number(1, 2, f.day) && in.Blanks() && in.Clock(f) && in.Blanks() &&
           in.Number(4, 4, f.year);
}
} // namespace

bool ParseHttpDate(const char* text, CalendarFields& out)
{
    using Form = bool (*)(DateReader&, CalendarFields&);
    static const Form kForms[] = {ReadRfc1123, ReadRfc850, ReadAsctime};
    if (!text) return false;
    for (Form form : kForms) {
        DateReader in(text);
        in.SkipBlanks();
        CalendarFields f;
        if (form(in, f) && in.OptionalBlanks() && in.AtEnd() && DayFitsMonth(f)) {
            out = f;
            return true;
        }
    }
    return false;
}

LastModifiedTime ReadLastModified(const char* header)
{
    LastModifiedTime result;
    CalendarFields fields;
    if (!ParseHttpDate(header, fields)) return result;
    const FeedTime time = MakeFeedTime(fields);
    // A year before 1900 gives the feed time 0, which is also what a slot
    // holds after start-up and after an edit: as usable it would make the
    // feed unchanged on every visit.
    if (time.status != FeedTimeStatus::ok || fields.year < kFirstUsableYear) return result;
    result.usable = true;
    result.feedTime = time.feedTime;
    return result;
}

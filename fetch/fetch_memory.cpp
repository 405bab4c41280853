#include "fetch/fetch_memory.h"

#include <cstring>

#include "fetch/feed_time.h"

namespace
{
bool IsSendable(const CString& value)
{
    return !value.IsEmpty() && std::strpbrk(value.GetString(), "\r\n") == nullptr;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Seconds since 1970-01-01 of a GMT calendar date, by the proleptic
// Gregorian calendar (no library time conversion: Retry-After dates are
// compared with the clock, not with one another as feed times are).
int64_t UtcSeconds(const CalendarFields& f)
{
    const int64_t y = f.year - (f.month <= 2 ? 1 : 0);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yearOfEra = y - era * 400;
    const int64_t dayOfYear = (153 * (f.month + (f.month > 2 ? -3 : 9)) + 2) / 5 + f.day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const int64_t days = era * 146097 + dayOfEra - 719468;
    return days * 86400 + f.hour * 3600 + f.minute * 60 + f.second;
}
} // namespace

CString ConditionalHeaders(const FetchValidators& validators, const CString& url)
{
    CString headers;
    if (validators.url.IsEmpty() || validators.url != url) return headers;
    if (IsSendable(validators.etag)) headers += "If-None-Match: " + validators.etag + "\r\n";
    if (IsSendable(validators.lastModified))
        headers += "If-Modified-Since: " + validators.lastModified + "\r\n";
    return headers;
}

bool IsConditional(const FetchValidators& validators, const CString& url)
{
    return !ConditionalHeaders(validators, url).IsEmpty();
}

bool ParseRetryAfter(const char* header, int64_t now, int64_t& until)
{
    if (!header) return false;
    const char* p = header;
    while (IsBlank(*p))
        ++p;
    const int64_t latest = now + kMaxRetryAfterSeconds;
    if (*p >= '0' && *p <= '9') {
        int64_t seconds = 0;
        for (; *p >= '0' && *p <= '9'; ++p)
            if (seconds <= kMaxRetryAfterSeconds) seconds = seconds * 10 + (*p - '0');
        while (IsBlank(*p))
            ++p;
        if (*p != '\0') return false;
        until = seconds >= kMaxRetryAfterSeconds ? latest : now + seconds;
        return true;
    }
    CalendarFields date;
    if (!ParseHttpDate(header, date)) return false;
    const int64_t at = UtcSeconds(date);
    until = at < latest ? at : latest;
    return true;
}

void FetchMemory::OnFailedAnswer(int status, const char* retryAfter, int64_t now)
{
    m_waitUntil = 0;
    if (status == kHttpGone) {
        m_gone = true;
        return;
    }
    int64_t until = 0;
    if ((status == kHttpTooManyRequests || status == kHttpServiceUnavailable) &&
        ParseRetryAfter(retryAfter, now, until))
        m_waitUntil = until;
}

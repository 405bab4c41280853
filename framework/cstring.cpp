#include "framework/cstring.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace sjis
{

size_t Find(const char* text, size_t n, const char* pat, size_t patLen, size_t from)
{
    if (patLen == 0 || from > n || patLen > n - from) return std::string::npos;
    // memchr jumps to each byte equal to the pattern's first byte; only those
    // candidates are checked for being a character boundary. Walking every
    // character forward instead made long feeds slow to search.
    //
    // A candidate i is a boundary if an even number of lead-byte values stand
    // between it and the last point known to be a boundary: the byte before a
    // run of lead-byte values always ends a character (a non-lead value is
    // either a one-byte character or a trail byte), and from there the run
    // pairs up. `boundary` only moves forward, so every byte is looked at
    // backwards at most once and the search stays linear.
    const char first = pat[0];
    const char* const last = text + (n - patLen); // last possible match start
    size_t boundary = from;
    const char* p = text + from;
    while (p <= last) {
        p = static_cast<const char*>(std::memchr(p, first, static_cast<size_t>(last - p) + 1));
        if (!p) break;
        const size_t i = static_cast<size_t>(p - text);
        size_t k = i;
        while (k > boundary && IsLeadByte(static_cast<unsigned char>(text[k - 1])))
            --k;
        if ((i - k) % 2 == 0) {
            if (std::memcmp(p, pat, patLen) == 0) return i;
            boundary = i;
        } else {
            boundary = i + 1; // text[i] is the trail byte of the character at i - 1
        }
        ++p;
    }
    return std::string::npos;
}

size_t FitLength(const char* s, size_t n, size_t max)
{
    size_t i = 0;
    while (i < n) {
        const size_t len = CharLength(s, i, n);
        if (i + len > max) break;
        i += len;
    }
    return i;
}

} // namespace sjis

int CString::Find(const char* sub, int start) const
{
    if (start < 0) start = 0;
    const size_t pos =
        sjis::Find(m_s.data(), m_s.size(), sub, std::strlen(sub), static_cast<size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(char ch, int start) const
{
    const char pat[2] = {ch, 0};
    return Find(pat, start);
}

int CString::ReverseFind(char ch) const
{
    int last = -1;
    for (int pos = Find(ch); pos >= 0; pos = Find(ch, pos + 1))
        last = pos;
    return last;
}

int CString::Replace(const char* from, const char* to)
{
    const size_t fromLen = std::strlen(from);
    if (fromLen == 0) return 0;
    size_t pos = sjis::Find(m_s.data(), m_s.size(), from, fromLen, 0);
    if (pos == std::string::npos) return 0;

    // Build the result in one pass so that long texts with many matches stay
    // linear in their length.
    std::string out;
    out.reserve(m_s.size());
    size_t done = 0;
    int count = 0;
    while (pos != std::string::npos) {
        out.append(m_s, done, pos - done);
        out.append(to);
        done = pos + fromLen;
        ++count;
        pos = sjis::Find(m_s.data(), m_s.size(), from, fromLen, done);
    }
    out.append(m_s, done, std::string::npos);
    m_s.swap(out);
    return count;
}

CString CString::Mid(int first, int count) const
{
    if (first < 0) first = 0;
    if (count < 0) count = 0;
    const size_t f = static_cast<size_t>(first);
    if (f >= m_s.size()) return CString();
    return CString(m_s.substr(f, static_cast<size_t>(count)));
}

CString CString::Mid(int first) const
{
    if (first < 0) first = 0;
    const size_t f = static_cast<size_t>(first);
    if (f >= m_s.size()) return CString();
    return CString(m_s.substr(f));
}

void CString::Format(const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    va_list copy;
    va_copy(copy, ap);
    const int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    if (n < 0) {
        m_s.clear();
    } else {
        m_s.assign(static_cast<size_t>(n) + 1, '\0');
        std::vsnprintf(&m_s[0], m_s.size(), fmt, ap);
        m_s.resize(static_cast<size_t>(n));
    }
    va_end(ap);
}

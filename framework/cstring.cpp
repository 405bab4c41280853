#include "framework/cstring.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "framework/cpu.h"

#if TANSY_SSE2
#include <emmintrin.h>
#endif

namespace
{

// The first p in [p, last] with p[0] == a and p[gap] == b, or null; p[gap]
// must be readable for every p up to `last`. Byte by byte from the first
// byte, by memchr.
const char* NextPairPortable(const char* p, const char* last, char a, char b, size_t gap)
{
    while (p <= last) {
        p = static_cast<const char*>(std::memchr(p, a, static_cast<size_t>(last - p) + 1));
        if (!p || p[gap] == b) return p;
        ++p;
    }
    return nullptr;
}

#if TANSY_SSE2
// The same, sixteen starting positions at a time: a candidate needs both its
// first and its last byte to match, which skips most of markup-heavy text
// where the first byte ('<') alone is common.
TANSY_SSE2_TARGET const char* NextPairSse2(const char* p, const char* last, char a, char b,
                                           size_t gap)
{
    const __m128i va = _mm_set1_epi8(a);
    const __m128i vb = _mm_set1_epi8(b);
    while (last - p >= 15) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + gap));
        const int mask =
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(x, va), _mm_cmpeq_epi8(y, vb)));
        if (mask) return p + __builtin_ctz(static_cast<unsigned>(mask));
        p += 16;
    }
    for (; p <= last; ++p)
        if (p[0] == a && p[gap] == b) return p;
    return nullptr;
}
#endif

using NextPairFunction = const char* (*)(const char*, const char*, char, char, size_t);

// The fastest NextPair the CPU runs.
NextPairFunction NextPair()
{
#if TANSY_SSE2
    if (cpu::HasSse2()) return NextPairSse2;
#endif
    return NextPairPortable;
}

size_t FindWith(NextPairFunction next, const char* text, size_t n, const char* pat, size_t patLen,
                size_t from)
{
    if (patLen == 0 || from > n || patLen > n - from) return std::string::npos;
    // `next` jumps to each position whose first and last bytes equal the
    // pattern's; only those candidates are checked for being a character
    // boundary. Walking every character forward instead made long feeds
    // slow to search.
    //
    // A candidate i is a boundary if an even number of lead-byte values stand
    // between it and the last point known to be a boundary: the byte before a
    // run of lead-byte values always ends a character (a non-lead value is
    // either a one-byte character or a trail byte), and from there the run
    // pairs up. `boundary` only moves forward, so every byte is looked at
    // backwards at most once and the search stays linear.
    const char* const last = text + (n - patLen); // last possible match start
    size_t boundary = from;
    const char* p = text + from;
    while (p <= last) {
        p = next(p, last, pat[0], pat[patLen - 1], patLen - 1);
        if (!p) break;
        const size_t i = static_cast<size_t>(p - text);
        if (sjis::IsBoundary(text, boundary, i)) {
            if (std::memcmp(p, pat, patLen) == 0) return i;
            boundary = i;
        } else {
            boundary = i + 1; // text[i] is the trail byte of the character at i - 1
        }
        ++p;
    }
    return std::string::npos;
}

} // namespace

namespace sjis
{

size_t Find(const char* text, size_t n, const char* pat, size_t patLen, size_t from)
{
    return FindWith(NextPair(), text, n, pat, patLen, from);
}

size_t FindPortable(const char* text, size_t n, const char* pat, size_t patLen, size_t from)
{
    return FindWith(NextPairPortable, text, n, pat, patLen, from);
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

CString FitText(const CString& text, size_t maxBytes, const char* mark)
{
    const std::string& s = text.str();
    if (s.size() <= maxBytes) return text;
    const size_t markLength = std::strlen(mark);
    const size_t room = maxBytes > markLength ? maxBytes - markLength : 0;
    return CString(s.substr(0, sjis::FitLength(s.data(), s.size(), room)) + mark);
}

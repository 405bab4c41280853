// The conversion rules, one character at a time, shared by the plain
// conversions (jis_convert.cpp) and the fast loops (jis_convert_fast.h),
// which fall back on them wherever their loops stop.
//
// Everything here has internal linkage: one of the files that include it is
// compiled for SSE2, and none of its code may be picked by the linker for the
// others, which run on CPUs without SSE2.
#pragma once

#include <stddef.h>
#include <string.h>

#include "jis_tables.h"

namespace
{

// The geta mark, written for characters that cannot be converted.
constexpr uint16_t kGeta = 0x81AC;
// U+FFFD in UTF-8, written for a lone surrogate in UTF-16.
constexpr unsigned char kUtf8Replacement[3] = {0xEF, 0xBF, 0xBD};

// Output with a hard limit: a character is written whole or not at all.
class CSink
{
  public:
    CSink(char* dst, uint32_t max) : m_dst(reinterpret_cast<unsigned char*>(dst)), m_max(max) {}

    uint32_t Count() const { return m_pos; }
    uint32_t Room() const { return m_max - m_pos; }
    unsigned char* Cursor() { return m_dst + m_pos; }
    void Advance(uint32_t n) { m_pos += n; }

    bool PutByte(unsigned char b)
    {
        if (m_pos >= m_max) return false;
        m_dst[m_pos++] = b;
        return true;
    }

    // Writes a CP932 code (one or two bytes); 0 writes the geta mark.
    bool PutCode(uint16_t code)
    {
        if (code == 0) code = kGeta;
        if (code < 0x100) return PutByte(static_cast<unsigned char>(code));
        if (m_max - m_pos < 2) return false;
        m_dst[m_pos] = static_cast<unsigned char>(code >> 8);
        m_dst[m_pos + 1] = static_cast<unsigned char>(code);
        m_pos += 2;
        return true;
    }

    bool PutBytes(const unsigned char* p, uint32_t n)
    {
        if (m_max - m_pos < n) return false;
        memcpy(m_dst + m_pos, p, n);
        m_pos += n;
        return true;
    }

  private:
    unsigned char* m_dst;
    uint32_t m_max;
    uint32_t m_pos = 0;
};

inline bool IsContinuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

inline bool InRange(unsigned char c, unsigned char lo, unsigned char hi)
{
    return static_cast<unsigned char>(c - lo) <= static_cast<unsigned char>(hi - lo);
}

inline bool IsJisByte(unsigned char c)
{
    return InRange(c, 0x21, 0x7E);
}

inline bool IsEucByte(unsigned char c)
{
    return InRange(c, 0xA1, 0xFE);
}

inline uint16_t Jis0208(unsigned char a, unsigned char b)
{
    return jis::kJis0208ToCp932[(a - 0x21) * 94 + (b - 0x21)];
}

inline uint16_t Jis0212(unsigned char a, unsigned char b)
{
    return jis::kJis0212ToCp932[(a - 0x21) * 94 + (b - 0x21)];
}

// A BMP character's CP932 code, or the code of its closest character where
// it has none of its own (see jis::kClosestPages); 0 where neither exists.
// Written out here with internal linkage, for the reason above.
inline uint16_t BmpToCp932(uint32_t cp)
{
    if (cp > 0xFFFF) return 0;
    const uint16_t code = jis::kUnicodePages[jis::kUnicodePageIndex[cp >> 8]][cp & 0xFF];
    if (code != 0) return code;
    return jis::kClosestPages[jis::kClosestPageIndex[cp >> 8]][cp & 0xFF];
}

// Length of UTF-8 text with a byte order mark at its start, which is dropped.
inline size_t Utf8MarkLength(const unsigned char* s, size_t n)
{
    return n >= 3 && s[0] == 0xEF && s[1] == 0xBB && s[2] == 0xBF ? 3 : 0;
}

// One UTF-8 sequence (or ASCII byte) at s[i], i < n, the text ending at n.
// False, with nothing written, when its output does not fit.
inline bool Utf8Step(const unsigned char* s, size_t n, size_t& i, CSink& out)
{
    const unsigned char c = s[i];
    if (c < 0x80) {
        if (!out.PutByte(c)) return false;
        ++i;
        return true;
    }
    // Decode one sequence; `used` bytes of it are well-formed so far.
    uint32_t cp = 0;
    size_t used = 1;
    bool complete = false;
    if (InRange(c, 0xC2, 0xDF)) {
        if (i + 1 < n && IsContinuation(s[i + 1])) {
            cp = (c & 0x1F) << 6 | (s[i + 1] & 0x3F);
            used = 2;
            complete = true;
        }
    } else if (InRange(c, 0xE0, 0xEF)) {
        const unsigned char lo = c == 0xE0 ? 0xA0 : 0x80;
        const unsigned char hi = c == 0xED ? 0x9F : 0xBF;
        if (i + 1 < n && InRange(s[i + 1], lo, hi)) {
            used = 2;
            if (i + 2 < n && IsContinuation(s[i + 2])) {
                cp = (c & 0x0F) << 12 | (s[i + 1] & 0x3F) << 6 | (s[i + 2] & 0x3F);
                used = 3;
                complete = true;
            }
        }
    } else if (InRange(c, 0xF0, 0xF4)) {
        const unsigned char lo = c == 0xF0 ? 0x90 : 0x80;
        const unsigned char hi = c == 0xF4 ? 0x8F : 0xBF;
        if (i + 1 < n && InRange(s[i + 1], lo, hi)) {
            used = 2;
            if (i + 2 < n && IsContinuation(s[i + 2])) {
                used = 3;
                if (i + 3 < n && IsContinuation(s[i + 3])) {
                    used = 4;
                    complete = true; // outside the BMP: no CP932 form
                    cp = 0x10000;
                }
            }
        }
    }
    if (!out.PutCode(complete ? BmpToCp932(cp) : 0)) return false;
    i += used;
    return true;
}

// One EUC-JP character at s[i], i < n; as Utf8Step.
inline bool EucStep(const unsigned char* s, size_t n, size_t& i, CSink& out)
{
    const unsigned char c = s[i];
    if (c < 0x80) {
        if (!out.PutByte(c)) return false;
        i += 1;
    } else if (IsEucByte(c)) {
        if (i + 1 < n && IsEucByte(s[i + 1])) {
            if (!out.PutCode(Jis0208(c - 0x80, s[i + 1] - 0x80))) return false;
            i += 2;
        } else {
            if (!out.PutCode(0)) return false;
            i += 1;
        }
    } else if (c == 0x8E) {
        if (i + 1 < n && InRange(s[i + 1], 0xA1, 0xDF)) {
            if (!out.PutByte(s[i + 1])) return false;
            i += 2;
        } else {
            if (!out.PutCode(0)) return false;
            i += 1;
        }
    } else if (c == 0x8F) {
        if (i + 2 < n && IsEucByte(s[i + 1]) && IsEucByte(s[i + 2])) {
            if (!out.PutCode(Jis0212(s[i + 1] - 0x80, s[i + 2] - 0x80))) return false;
            i += 3;
        } else {
            if (!out.PutCode(0)) return false;
            i += (i + 1 < n && IsEucByte(s[i + 1])) ? 2 : 1;
        }
    } else {
        if (!out.PutCode(0)) return false;
        i += 1;
    }
    return true;
}

// The state of an ISO-2022-JP text: the character set chosen by the last
// escape, and whether SO has shifted to half-width katakana until SI.
struct CIso2022State {
    enum Mode { kAscii, kKana, kJis0208, kJis0212 };
    Mode mode = kAscii;
    bool shiftOut = false;
};

// One escape sequence, shift, byte or byte pair of ISO-2022-JP at s[i],
// i < n; as Utf8Step.
inline bool Iso2022Step(const unsigned char* s, size_t n, size_t& i, CSink& out,
                        CIso2022State& state)
{
    const unsigned char c = s[i];
    if (c == 0x1B) {
        const unsigned char a = i + 1 < n ? s[i + 1] : 0;
        const unsigned char b = i + 2 < n ? s[i + 2] : 0;
        const unsigned char d = i + 3 < n ? s[i + 3] : 0;
        size_t len = 0;
        CIso2022State::Mode mode = state.mode;
        if (a == '(' && (b == 'B' || b == 'J' || b == 'H')) {
            mode = CIso2022State::kAscii;
            len = 3;
        } else if (a == '(' && b == 'I') {
            mode = CIso2022State::kKana;
            len = 3;
        } else if (a == '$' && (b == '@' || b == 'B')) {
            mode = CIso2022State::kJis0208;
            len = 3;
        } else if (a == '$' && b == '(' && (d == '@' || d == 'B')) {
            mode = CIso2022State::kJis0208;
            len = 4;
        } else if (a == '$' && b == '(' && d == 'D') {
            mode = CIso2022State::kJis0212;
            len = 4;
        }
        if (len) {
            state.mode = mode;
            state.shiftOut = false;
            i += len;
            return true;
        }
        if (!out.PutCode(0)) return false; // an escape we do not know
        i += 1;
        return true;
    }
    bool ok;
    size_t used = 1;
    if (c == 0x0E || c == 0x0F) {
        state.shiftOut = c == 0x0E;
        ok = true;
    } else if (c >= 0x80) {
        ok = out.PutCode(InRange(c, 0xA1, 0xDF) ? c : 0);
    } else if (c < 0x21 || c == 0x7F) {
        ok = out.PutByte(c);
    } else if (state.shiftOut || state.mode == CIso2022State::kKana) {
        ok = out.PutCode(c <= 0x5F ? static_cast<uint16_t>(c + 0x80) : 0);
    } else if (state.mode == CIso2022State::kAscii) {
        ok = out.PutByte(c);
    } else if (i + 1 < n && IsJisByte(s[i + 1])) {
        ok = out.PutCode(state.mode == CIso2022State::kJis0208 ? Jis0208(c, s[i + 1])
                                                               : Jis0212(c, s[i + 1]));
        used = 2;
    } else {
        ok = out.PutCode(0);
    }
    if (!ok) return false;
    i += used;
    return true;
}

// Code unit i of UTF-16 text.
template <bool kBigEndian> inline uint32_t Unit(const unsigned char* s, size_t i)
{
    return kBigEndian ? (s[2 * i] << 8 | s[2 * i + 1]) : (s[2 * i + 1] << 8 | s[2 * i]);
}

inline bool IsZeroUnit(const unsigned char* s, size_t i)
{
    uint16_t unit;
    memcpy(&unit, s + 2 * i, sizeof unit);
    return unit == 0;
}

// Whether UTF-16 text of n units begins with a byte order mark (dropped).
template <bool kBigEndian> inline size_t Utf16MarkUnits(const unsigned char* s, size_t n)
{
    return n > 0 && Unit<kBigEndian>(s, 0) == 0xFEFF ? 1 : 0;
}

// One UTF-16 code unit or surrogate pair at unit i, i < n, written as UTF-8;
// as Utf8Step.
template <bool kBigEndian>
inline bool Utf16Step(const unsigned char* s, size_t n, size_t& i, CSink& out)
{
    const uint32_t u = Unit<kBigEndian>(s, i);
    unsigned char buf[4];
    uint32_t len;
    if (u < 0x80) {
        buf[0] = static_cast<unsigned char>(u);
        len = 1;
    } else if (u < 0x800) {
        buf[0] = static_cast<unsigned char>(0xC0 | u >> 6);
        buf[1] = static_cast<unsigned char>(0x80 | (u & 0x3F));
        len = 2;
    } else if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && Unit<kBigEndian>(s, i + 1) >= 0xDC00 &&
               Unit<kBigEndian>(s, i + 1) <= 0xDFFF) {
        const uint32_t cp = 0x10000 + ((u - 0xD800) << 10) + (Unit<kBigEndian>(s, i + 1) - 0xDC00);
        buf[0] = static_cast<unsigned char>(0xF0 | cp >> 18);
        buf[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
        buf[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
        buf[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        len = 4;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
        memcpy(buf, kUtf8Replacement, 3);
        len = 3;
    } else {
        buf[0] = static_cast<unsigned char>(0xE0 | u >> 12);
        buf[1] = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
        buf[2] = static_cast<unsigned char>(0x80 | (u & 0x3F));
        len = 3;
    }
    if (!out.PutBytes(buf, len)) return false;
    i += (len == 4) ? 2 : 1;
    return true;
}

// Units of UTF-16 text dropped at its start on the way to CP932: its byte
// order mark, and a second U+FEFF right after it, which the conversion by
// way of UTF-8 (ordinal 63, then 31) dropped as the UTF-8 text's mark.
template <bool kBigEndian> inline size_t Utf16SjisMarkUnits(const unsigned char* s, size_t n)
{
    const size_t mark = Utf16MarkUnits<kBigEndian>(s, n);
    return mark == 0 ? 0 : 1 + Utf16MarkUnits<kBigEndian>(s + 2, n - 1);
}

// One UTF-16 code unit or surrogate pair at unit i, i < n, written as CP932
// as Utf16Step and then Utf8Step would write it: a character outside the
// BMP as the geta mark, a lone surrogate as U+FFFD is. As Utf8Step.
template <bool kBigEndian>
inline bool Utf16SjisStep(const unsigned char* s, size_t n, size_t& i, CSink& out)
{
    const uint32_t u = Unit<kBigEndian>(s, i);
    size_t used = 1;
    uint16_t code;
    if (u < 0x80) {
        code = static_cast<uint16_t>(u);
    } else if ((u & 0xF800) != 0xD800) {
        code = BmpToCp932(u);
    } else if (u <= 0xDBFF && i + 1 < n && (Unit<kBigEndian>(s, i + 1) & 0xFC00) == 0xDC00) {
        code = 0;
        used = 2;
    } else {
        code = BmpToCp932(0xFFFD);
    }
    if (!out.PutCode(code)) return false;
    i += used;
    return true;
}

} // namespace

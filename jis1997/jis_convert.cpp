// The conversion functions of jis1997.h: table lookups with a fast path that
// copies ASCII eight bytes at a time.
#include <string.h>

#include "jis1997.h"
#include "jis_tables.h"

namespace {

// The geta mark, written for characters that cannot be converted.
constexpr uint16_t kGeta = 0x81AC;
// U+FFFD in UTF-8, written for a lone surrogate in UTF-16.
constexpr unsigned char kUtf8Replacement[3] = {0xEF, 0xBF, 0xBD};

constexpr uint64_t kHighBits = 0x8080808080808080ull;
constexpr uint64_t kOnes = 0x0101010101010101ull;

inline uint64_t Load8(const unsigned char* p)
{
    uint64_t w;
    memcpy(&w, p, 8);
    return w;
}

inline bool HasZeroByte(uint64_t w)
{
    return ((w - kOnes) & ~w & kHighBits) != 0;
}

// Output with a hard limit: a character is written whole or not at all.
class CSink {
public:
    CSink(char* dst, uint32_t max) : m_dst(reinterpret_cast<unsigned char*>(dst)), m_max(max) {}

    uint32_t Count() const { return m_pos; }
    uint32_t Room() const { return m_max - m_pos; }
    unsigned char* Cursor() { return m_dst + m_pos; }
    void Advance(uint32_t n) { m_pos += n; }

    bool PutByte(unsigned char b)
    {
        if (m_pos >= m_max)
            return false;
        m_dst[m_pos++] = b;
        return true;
    }

    // Writes a CP932 code (one or two bytes); 0 writes the geta mark.
    bool PutCode(uint16_t code)
    {
        if (code == 0)
            code = kGeta;
        if (code < 0x100)
            return PutByte(static_cast<unsigned char>(code));
        if (m_max - m_pos < 2)
            return false;
        m_dst[m_pos] = static_cast<unsigned char>(code >> 8);
        m_dst[m_pos + 1] = static_cast<unsigned char>(code);
        m_pos += 2;
        return true;
    }

    bool PutBytes(const unsigned char* p, uint32_t n)
    {
        if (m_max - m_pos < n)
            return false;
        memcpy(m_dst + m_pos, p, n);
        m_pos += n;
        return true;
    }

private:
    unsigned char* m_dst;
    uint32_t m_max;
    uint32_t m_pos = 0;
};

// Copies the ASCII bytes at s[i..n) eight at a time while they and the room
// last. Stops before any 8-bit byte, leaving the rest to the caller's loop.
inline void CopyAsciiRun(const unsigned char* s, size_t n, size_t& i, CSink& out)
{
    while (n - i >= 8 && out.Room() >= 8) {
        uint64_t w = Load8(s + i);
        if (w & kHighBits)
            return;
        memcpy(out.Cursor(), &w, 8);
        out.Advance(8);
        i += 8;
    }
}

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

// Length of the zero-terminated UTF-16 text in code units.
size_t Utf16Length(const unsigned char* s)
{
    size_t n = 0;
    while (s[2 * n] != 0 || s[2 * n + 1] != 0)
        ++n;
    return n;
}

template <bool kBigEndian>
inline uint32_t Unit(const unsigned char* s, size_t i)
{
    return kBigEndian ? (s[2 * i] << 8 | s[2 * i + 1]) : (s[2 * i + 1] << 8 | s[2 * i]);
}

template <bool kBigEndian>
uint32_t Utf16ToUtf8(char* dst, const char* src, uint32_t max)
{
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    const size_t n = Utf16Length(s);
    CSink out(dst, max);
    size_t i = 0;
    if (n > 0 && Unit<kBigEndian>(s, 0) == 0xFEFF)
        i = 1;
    while (i < n) {
        // Four ASCII units at a time.
        while (n - i >= 4 && out.Room() >= 4) {
            uint64_t w = Load8(s + 2 * i);
            const uint64_t highBytes = kBigEndian ? 0x00FF00FF00FF00FFull : 0xFF00FF00FF00FF00ull;
            if (w & (highBytes | kHighBits))
                break;
            unsigned char* d = out.Cursor();
            for (int k = 0; k < 4; ++k)
                d[k] = s[2 * (i + k) + (kBigEndian ? 1 : 0)];
            out.Advance(4);
            i += 4;
        }
        // Runs of characters that take three bytes (most of Japanese).
        while (i < n && out.Room() >= 3) {
            const uint32_t v = Unit<kBigEndian>(s, i);
            if (v < 0x800 || (v & 0xF800) == 0xD800)
                break;
            unsigned char* d = out.Cursor();
            d[0] = static_cast<unsigned char>(0xE0 | v >> 12);
            d[1] = static_cast<unsigned char>(0x80 | ((v >> 6) & 0x3F));
            d[2] = static_cast<unsigned char>(0x80 | (v & 0x3F));
            out.Advance(3);
            ++i;
        }
        if (i >= n)
            break;
        uint32_t u = Unit<kBigEndian>(s, i);
        unsigned char buf[4];
        uint32_t len;
        if (u < 0x80) {
            buf[0] = static_cast<unsigned char>(u);
            len = 1;
        } else if (u < 0x800) {
            buf[0] = static_cast<unsigned char>(0xC0 | u >> 6);
            buf[1] = static_cast<unsigned char>(0x80 | (u & 0x3F));
            len = 2;
        } else if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n &&
                   Unit<kBigEndian>(s, i + 1) >= 0xDC00 && Unit<kBigEndian>(s, i + 1) <= 0xDFFF) {
            uint32_t cp = 0x10000 + ((u - 0xD800) << 10) + (Unit<kBigEndian>(s, i + 1) - 0xDC00);
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
        if (!out.PutBytes(buf, len))
            break;
        i += (len == 4) ? 2 : 1;
    }
    return out.Count();
}

} // namespace

extern "C" uint32_t JIS_CALL JisUtf8ToSjis(char* dst, const char* src, uint32_t max)
{
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    const size_t n = strlen(src);
    CSink out(dst, max);
    size_t i = 0;
    if (n >= 3 && s[0] == 0xEF && s[1] == 0xBB && s[2] == 0xBF)
        i = 3;
    while (i < n) {
        CopyAsciiRun(s, n, i, out);
        if (i >= n)
            break;
        // Runs of well-formed three-byte characters (kana, kanji, symbols).
        while (n - i >= 3 && out.Room() >= 2 && (s[i] & 0xF0) == 0xE0) {
            const unsigned char b1 = s[i + 1], b2 = s[i + 2];
            if ((b1 & 0xC0) != 0x80 || (b2 & 0xC0) != 0x80)
                break;
            const uint32_t cp = (s[i] & 0x0F) << 12 | (b1 & 0x3F) << 6 | (b2 & 0x3F);
            if (cp < 0x800 || (cp & 0xF800) == 0xD800)
                break;
            uint16_t code = jis::kUnicodePages[jis::kUnicodePageIndex[cp >> 8]][cp & 0xFF];
            if (code == 0)
                code = kGeta;
            unsigned char* d = out.Cursor();
            if (code >= 0x100) {
                d[0] = static_cast<unsigned char>(code >> 8);
                d[1] = static_cast<unsigned char>(code);
                out.Advance(2);
            } else {
                d[0] = static_cast<unsigned char>(code);
                out.Advance(1);
            }
            i += 3;
        }
        if (i >= n)
            break;
        const unsigned char c = s[i];
        if (c < 0x80) {
            if (!out.PutByte(c))
                break;
            ++i;
            continue;
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
        if (!out.PutCode(complete ? jis::UnicodeToCp932(cp) : 0))
            break;
        i += used;
    }
    return out.Count();
}

extern "C" uint32_t JIS_CALL JisEucToSjis(char* dst, const char* src, uint32_t max)
{
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    const size_t n = strlen(src);
    CSink out(dst, max);
    size_t i = 0;
    while (i < n) {
        CopyAsciiRun(s, n, i, out);
        if (i >= n)
            break;
        const unsigned char c = s[i];
        bool ok;
        if (c < 0x80) {
            ok = out.PutByte(c);
            i += 1;
        } else if (IsEucByte(c)) {
            if (i + 1 < n && IsEucByte(s[i + 1])) {
                ok = out.PutCode(Jis0208(c - 0x80, s[i + 1] - 0x80));
                i += 2;
            } else {
                ok = out.PutCode(0);
                i += 1;
            }
        } else if (c == 0x8E) {
            if (i + 1 < n && InRange(s[i + 1], 0xA1, 0xDF)) {
                ok = out.PutByte(s[i + 1]);
                i += 2;
            } else {
                ok = out.PutCode(0);
                i += 1;
            }
        } else if (c == 0x8F) {
            if (i + 2 < n && IsEucByte(s[i + 1]) && IsEucByte(s[i + 2])) {
                ok = out.PutCode(Jis0212(s[i + 1] - 0x80, s[i + 2] - 0x80));
                i += 3;
            } else {
                ok = out.PutCode(0);
                i += (i + 1 < n && IsEucByte(s[i + 1])) ? 2 : 1;
            }
        } else {
            ok = out.PutCode(0);
            i += 1;
        }
        if (!ok)
            break;
    }
    return out.Count();
}

extern "C" uint32_t JIS_CALL JisIso2022ToSjis(char* dst, const char* src, uint32_t max)
{
    enum Mode { kAscii, kKana, kJis0208, kJis0212 };
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    const size_t n = strlen(src);
    CSink out(dst, max);
    Mode mode = kAscii;
    bool shiftOut = false; // SO: half-width katakana until SI
    size_t i = 0;
    while (i < n) {
        if (mode == kAscii && !shiftOut) {
            // Plain bytes up to the next escape or shift, eight at a time.
            while (n - i >= 8 && out.Room() >= 8) {
                uint64_t w = Load8(s + i);
                if ((w & kHighBits) || HasZeroByte(w ^ (0x1B * kOnes)) ||
                    HasZeroByte(w ^ (0x0E * kOnes)) || HasZeroByte(w ^ (0x0F * kOnes)))
                    break;
                memcpy(out.Cursor(), &w, 8);
                out.Advance(8);
                i += 8;
            }
            if (i >= n)
                break;
        }
        const unsigned char c = s[i];
        if (c == 0x1B) {
            const unsigned char a = i + 1 < n ? s[i + 1] : 0;
            const unsigned char b = i + 2 < n ? s[i + 2] : 0;
            const unsigned char d = i + 3 < n ? s[i + 3] : 0;
            size_t len = 0;
            if (a == '(' && (b == 'B' || b == 'J' || b == 'H')) {
                mode = kAscii;
                len = 3;
            } else if (a == '(' && b == 'I') {
                mode = kKana;
                len = 3;
            } else if (a == '$' && (b == '@' || b == 'B')) {
                mode = kJis0208;
                len = 3;
            } else if (a == '$' && b == '(' && (d == '@' || d == 'B')) {
                mode = kJis0208;
                len = 4;
            } else if (a == '$' && b == '(' && d == 'D') {
                mode = kJis0212;
                len = 4;
            }
            if (len) {
                shiftOut = false;
                i += len;
                continue;
            }
            if (!out.PutCode(0)) // an escape we do not know
                break;
            i += 1;
            continue;
        }
        bool ok;
        if (c == 0x0E || c == 0x0F) {
            shiftOut = c == 0x0E;
            i += 1;
            continue;
        } else if (c >= 0x80) {
            ok = out.PutCode(InRange(c, 0xA1, 0xDF) ? c : 0);
            i += 1;
        } else if (c < 0x21 || c == 0x7F) {
            ok = out.PutByte(c);
            i += 1;
        } else if (shiftOut || mode == kKana) {
            ok = out.PutCode(c <= 0x5F ? static_cast<uint16_t>(c + 0x80) : 0);
            i += 1;
        } else if (mode == kAscii) {
            ok = out.PutByte(c);
            i += 1;
        } else if (i + 1 < n && IsJisByte(s[i + 1])) {
            ok = out.PutCode(mode == kJis0208 ? Jis0208(c, s[i + 1]) : Jis0212(c, s[i + 1]));
            i += 2;
        } else {
            ok = out.PutCode(0);
            i += 1;
        }
        if (!ok)
            break;
    }
    return out.Count();
}

extern "C" uint32_t JIS_CALL JisUtf16LeToUtf8(char* dst, const char* src, uint32_t max)
{
    return Utf16ToUtf8<false>(dst, src, max);
}

extern "C" uint32_t JIS_CALL JisUtf16BeToUtf8(char* dst, const char* src, uint32_t max)
{
    return Utf16ToUtf8<true>(dst, src, max);
}

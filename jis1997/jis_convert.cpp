// The conversion functions of jis1997.h: table lookups with a fast path that
// copies ASCII eight bytes at a time.
#include <string.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "jis1997.h"
#include "jis_tables.h"

#if defined(__GNUC__)
#define JIS_LIKELY(x) __builtin_expect(!!(x), 1)
#else
#define JIS_LIKELY(x) (x)
#endif

namespace
{

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

// Copies the ASCII bytes at s[i..n) eight at a time while they and the room
// last. Stops before any 8-bit byte, leaving the rest to the caller's loop.
inline void CopyAsciiRun(const unsigned char* s, size_t n, size_t& i, CSink& out)
{
    while (n - i >= 8 && out.Room() >= 8) {
        uint64_t w = Load8(s + i);
        if (w & kHighBits) return;
        memcpy(out.Cursor(), &w, 8);
        out.Advance(8);
        i += 8;
    }
}

// The source is searched for its terminating zero a block at a time, just
// ahead of the conversion, so that its bytes are still in the cache when they
// are converted. `n` bytes are known to hold no zero; `whole` is set once the
// zero is found at s[n]. The margin is kept known ahead of the position,
// more than any of the unchecked loops and any one sequence needs.
constexpr size_t kScanBlock = 16 * 1024;
constexpr size_t kScanMargin = 64;

inline void ScanAhead(const char* s, size_t& n, bool& whole)
{
    const void* zero = memchr(s + n, 0, kScanBlock);
    if (zero) {
        n = static_cast<size_t>(static_cast<const char*>(zero) - s);
        whole = true;
    } else {
        n += kScanBlock;
    }
}

// Source bytes ahead and bytes of room that JisUtf8ToSjis's unchecked loop
// needs (see there).
constexpr size_t kUtf8FastAhead = 32;

// Number of ASCII bytes at p, whose eight bytes have the 8-bit ones marked
// in `high` (not zero).
inline unsigned LeadingAsciiBytes(const unsigned char* p, uint64_t high)
{
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    (void)p;
    return static_cast<unsigned>(__builtin_ctzll(high)) >> 3;
#else
    (void)high;
    unsigned k = 0;
    while (p[k] < 0x80)
        ++k;
    return k;
#endif
}

// The eight bytes at p with the first in the low bits.
inline uint64_t Load8Le(const unsigned char* p)
{
    const uint64_t w = Load8(p);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return __builtin_bswap64(w);
#else
    return w;
#endif
}

// Stores v with its lowest byte first.
inline void Store4Le(unsigned char* d, uint32_t v)
{
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap32(v);
#endif
    memcpy(d, &v, 4);
}

inline void Store8Le(unsigned char* d, uint64_t v)
{
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    memcpy(d, &v, 8);
}

// Characters of three bytes each that JisUtf8ToSjis's unchecked loop can
// take with `ahead` source bytes and `room` bytes of room: each needs the
// margins in full before it.
inline size_t Utf8FastSteps(size_t ahead, uint32_t room)
{
    if (ahead < kUtf8FastAhead || room < kUtf8FastAhead) return 0;
    const size_t bySource = (ahead - kUtf8FastAhead) / 3;
    const size_t byRoom = (room - kUtf8FastAhead) / 2;
    return (bySource < byRoom ? bySource : byRoom) + 1;
}

// A code point from three bytes of UTF-8 that is overlong or a surrogate.
inline bool NotThreeByte(uint32_t cp)
{
    return (cp < 0x800) | ((cp & 0xF800) == 0xD800);
}

// Every BMP character's CP932 bytes as JisUtf8ToSjis's unchecked loops
// store them: the first byte in the low eight bits, the second (a trail byte,
// 0x40 up, so bit 6 or 7 is set) in the high eight, or zero for a one-byte
// code; the geta mark for a character without a code. One load per
// character instead of the two of jis::UnicodeToCp932, built from the same
// tables on first use.
struct CBmpBytes {
    uint16_t at[0x10000];

    CBmpBytes()
    {
        for (uint32_t page = 0; page < 0x100; ++page) {
            const uint16_t* codes = jis::kUnicodePages[jis::kUnicodePageIndex[page]];
            uint16_t* to = at + page * 0x100;
            for (uint32_t k = 0; k < 0x100; ++k) {
                const uint32_t code = codes[k] ? codes[k] : kGeta;
                to[k] = static_cast<uint16_t>(code < 0x100 ? code : (code >> 8 | code << 8));
            }
        }
    }
};

const uint16_t* BmpBytes()
{
    static const CBmpBytes table;
    return table.at;
}

inline void Store2Le(unsigned char* d, uint32_t v)
{
    d[0] = static_cast<unsigned char>(v);
    d[1] = static_cast<unsigned char>(v >> 8);
}

// Writes a character's bytes from BmpBytes in JisUtf8ToSjis's unchecked
// loop: both bytes are stored even for a one-byte code, whose second is
// written over by what follows.
inline void PutBmpUnchecked(CSink& out, const uint16_t* bmp, uint32_t cp)
{
    const uint32_t bytes = bmp[cp];
    Store2Le(out.Cursor(), bytes);
    out.Advance(JIS_LIKELY(bytes >= 0x100) ? 2 : 1);
}

#if defined(__SSE2__)
// Five three-byte characters at a time from 16 source bytes, as long as
// `steps` (see Utf8FastSteps) allows; returns at a block with anything else
// in its first 15 bytes, or with a lead byte E0 or ED (which need a closer
// look at the second byte: overlong forms and surrogates).
inline void Utf8ThreeByteBlocksSse2(const unsigned char* s, size_t& i, size_t& steps, CSink& out,
                                    const uint16_t* bmp)
{
    const __m128i form =
        _mm_setr_epi8(-16, -64, -64, -16, -64, -64, -16, -64, -64, -16, -64, -64, -16, -64, -64, 0);
    const __m128i want = _mm_setr_epi8(-32, -128, -128, -32, -128, -128, -32, -128, -128, -32, -128,
                                       -128, -32, -128, -128, 0);
    const __m128i e0 = _mm_set1_epi8(static_cast<char>(0xE0));
    const __m128i ed = _mm_set1_epi8(static_cast<char>(0xED));
    const __m128i zero = _mm_setzero_si128();
    const __m128i bias = _mm_set1_epi16(0x2080);
    while (steps >= 5) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i bad = _mm_or_si128(_mm_cmpeq_epi8(v, e0), _mm_cmpeq_epi8(v, ed));
        const __m128i good = _mm_andnot_si128(bad, _mm_cmpeq_epi8(_mm_and_si128(v, form), want));
        if ((_mm_movemask_epi8(good) & 0x7FFF) != 0x7FFF) return;
        // At each byte position p, 4096 * b[p] + 64 * b[p+1] + b[p+2] in 16
        // bits: the code point plus 0x2080 where a character starts.
        const __m128i v1 = _mm_srli_si128(v, 1), v2 = _mm_srli_si128(v, 2);
        const __m128i lo = _mm_sub_epi16(
            _mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(_mm_unpacklo_epi8(v, zero), 12),
                                        _mm_slli_epi16(_mm_unpacklo_epi8(v1, zero), 6)),
                          _mm_unpacklo_epi8(v2, zero)),
            bias);
        const __m128i hi = _mm_sub_epi16(
            _mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(_mm_unpackhi_epi8(v, zero), 12),
                                        _mm_slli_epi16(_mm_unpackhi_epi8(v1, zero), 6)),
                          _mm_unpackhi_epi8(v2, zero)),
            bias);
        alignas(16) uint16_t cp[16];
        _mm_store_si128(reinterpret_cast<__m128i*>(cp), lo);
        _mm_store_si128(reinterpret_cast<__m128i*>(cp + 8), hi);
        // Character k's code point is cp[3 * k].
        const uint64_t first4 = bmp[cp[0]] | static_cast<uint64_t>(bmp[cp[3]]) << 16 |
                                static_cast<uint64_t>(bmp[cp[6]]) << 32 |
                                static_cast<uint64_t>(bmp[cp[9]]) << 48;
        const uint32_t last = bmp[cp[12]];
        // Bit 15 of each code: whether it has a trail byte (bit 6 or 7 of it).
        const uint64_t twoByte = (first4 | first4 << 1) & 0x8000800080008000ull;
        if (JIS_LIKELY(twoByte == 0x8000800080008000ull && last >= 0x4000)) {
            unsigned char* d = out.Cursor();
            Store8Le(d, first4);
            Store2Le(d + 8, last);
            out.Advance(10);
        } else {
            for (unsigned k = 0; k < 5; ++k)
                PutBmpUnchecked(out, bmp, cp[3 * k]);
        }
        i += 15;
        steps -= 5;
    }
}
#endif

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

// UTF-16 is searched for its terminating zero unit like UTF-8 (ScanAhead),
// kScanUnits units at a time, so that the fast paths know how many units
// they may load at once. Nothing reads past the zero unit.
constexpr size_t kScanUnits = 8 * 1024;
constexpr size_t kScanUnitMargin = 32;
constexpr uint64_t kUnitOnes = 0x0001000100010001ull;
constexpr uint64_t kUnitHighBits = 0x8000800080008000ull;

inline bool HasZeroUnit(uint64_t w)
{
    return ((w - kUnitOnes) & ~w & kUnitHighBits) != 0;
}

// Whether one of the four units in w is from U+0080 to U+07FF: the top five
// bits zero and one of the next four set.
inline bool HasTwoByteUnit(uint64_t w)
{
    const uint64_t lanes = 0x7FFF7FFF7FFF7FFFull;
    const uint64_t top = w & 0xF800F800F800F800ull;
    const uint64_t next = w & 0x0780078007800780ull;
    const uint64_t topZero = ~(((top & lanes) + lanes) | top) & kUnitHighBits;
    const uint64_t nextSet = (next + lanes) & kUnitHighBits;
    return (topZero & nextSet) != 0;
}

inline bool IsZeroUnit(const unsigned char* s, size_t i)
{
    uint16_t unit;
    memcpy(&unit, s + 2 * i, sizeof unit);
    return unit == 0;
}

void ScanAhead16(const unsigned char* s, size_t& n, bool& whole)
{
    // One unit at a time, so that not a byte past the terminating zero unit
    // is read, even within the same machine word; a unit is one 16-bit load.
    // Unrolled by eight: each unit is still tested before the next is read,
    // but the loop's own count and branch come once per eight.
    static_assert(kScanUnits % 8 == 0, "whole groups of eight");
    const size_t limit = n + kScanUnits;
    for (; n < limit; n += 8) {
        for (unsigned k = 0; k < 8; ++k) {
            if (IsZeroUnit(s, n + k)) {
                n += k;
                whole = true;
                return;
            }
        }
    }
}

template <bool kBigEndian> inline uint32_t Unit(const unsigned char* s, size_t i)
{
    return kBigEndian ? (s[2 * i] << 8 | s[2 * i + 1]) : (s[2 * i + 1] << 8 | s[2 * i]);
}

// Four code units with the first in the low bits, each in its own 16 bits.
template <bool kBigEndian> inline uint64_t Load4Units(const unsigned char* p)
{
    const uint64_t w = Load8Le(p);
    if (!kBigEndian) return w;
    return (w >> 8 & 0x00FF00FF00FF00FFull) | (w & 0x00FF00FF00FF00FFull) << 8;
}

// UTF-8 of a unit from U+0800 up, not a surrogate, first byte lowest.
inline uint32_t ThreeByteUtf8(uint32_t u)
{
    return 0x8080E0u | u >> 12 | (u << 2 & 0x3F00) | (u << 16 & 0x3F0000);
}

// Units ahead and bytes of room that Utf16ToUtf8's unchecked loop needs. It
// stores four bytes for every unit, of which the bytes past the count (at
// most three) are written over by what follows: every unit gives at least
// one byte, and there are units left and room for them.
constexpr size_t kUtf16FastAhead = 8;
constexpr uint32_t kUtf16FastRoom = 24;

#if defined(__SSE2__)
// Where each unit of a block of eight starts in its UTF-8 when every unit is
// ASCII or takes three bytes: bit k of the index is set when unit k takes
// three. `total` is the length of the whole block.
struct CBlockOffsets {
    unsigned char at[256][8];
    unsigned char total[256];
};

constexpr CBlockOffsets MakeBlockOffsets()
{
    CBlockOffsets t{};
    for (unsigned m = 0; m < 256; ++m) {
        unsigned o = 0;
        for (unsigned k = 0; k < 8; ++k) {
            t.at[m][k] = static_cast<unsigned char>(o);
            o += (m >> k & 1) ? 3 : 1;
        }
        t.total[m] = static_cast<unsigned char>(o);
    }
    return t;
}

constexpr CBlockOffsets kBlockOffsets = MakeBlockOffsets();

// Units ahead and bytes of room that Utf16BlocksSse2 needs. A block stores
// four bytes for every unit, so up to three bytes past its count, which the
// units after it write over: eight more units and room for them.
constexpr size_t kBlockAhead = 16;
constexpr uint32_t kBlockRoom = 48;

// Converts blocks of eight units that are all ASCII or all ASCII and
// three-byte characters (U+0800 up, not surrogates), as long as the margins
// last. Returns at the first block with anything else.
template <bool kBigEndian>
inline void Utf16BlocksSse2(const unsigned char* s, size_t n, size_t& i, CSink& out)
{
    const __m128i asciiBias = _mm_set1_epi16(0x7F80);
    const __m128i threeBias = _mm_set1_epi16(0x7800);
    const __m128i topFive = _mm_set1_epi16(static_cast<short>(0xF800));
    const __m128i surrogate = _mm_set1_epi16(static_cast<short>(0xD800));
    while (n - i >= kBlockAhead && out.Room() >= kBlockRoom) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 2 * i));
        if (kBigEndian) x = _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8));
        unsigned char* d = out.Cursor();
        // The sign bit of a lane of u + 0x7F80 (saturated) is set for u from
        // U+0080 up; of u + 0x7800 for u from U+0800 up.
        const __m128i nonAscii = _mm_srai_epi16(_mm_adds_epu16(x, asciiBias), 15);
        if (_mm_movemask_epi8(nonAscii) == 0) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(d), _mm_packus_epi16(x, x));
            out.Advance(8);
            i += 8;
            continue;
        }
        const __m128i isSurrogate = _mm_cmpeq_epi16(_mm_and_si128(x, topFive), surrogate);
        const __m128i three =
            _mm_andnot_si128(isSurrogate, _mm_srai_epi16(_mm_adds_epu16(x, threeBias), 15));
        // Low eight bits: the three-byte units; high eight: the non-ASCII
        // ones. They differ where a unit takes two bytes or is a surrogate.
        const unsigned mask =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(three, nonAscii)));
        const unsigned threes = mask & 0xFF;
        if (threes != mask >> 8) return;
        // Bytes 0xE0 | u >> 12 (or the ASCII unit), 0x80 | (u >> 6 & 0x3F)
        // and 0x80 | (u & 0x3F) of each unit, four bytes a unit.
        const __m128i lead = _mm_or_si128(_mm_srli_epi16(x, 12), _mm_set1_epi16(0xE0));
        const __m128i b0 = _mm_or_si128(_mm_and_si128(three, lead), _mm_andnot_si128(three, x));
        const __m128i b1 = _mm_or_si128(_mm_and_si128(_mm_slli_epi16(x, 2), _mm_set1_epi16(0x3F00)),
                                        _mm_set1_epi16(static_cast<short>(0x8000)));
        const __m128i b2 =
            _mm_or_si128(_mm_and_si128(x, _mm_set1_epi16(0x3F)), _mm_set1_epi16(0x80));
        const __m128i first = _mm_or_si128(b0, b1);
        unsigned char units[32];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(units), _mm_unpacklo_epi16(first, b2));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(units + 16), _mm_unpackhi_epi16(first, b2));
        // In order, so that each unit writes over the spare byte(s) of the
        // one before.
        const unsigned char* at = kBlockOffsets.at[threes];
        for (unsigned k = 0; k < 8; ++k)
            memcpy(d + at[k], units + 4 * k, 4);
        out.Advance(kBlockOffsets.total[threes]);
        i += 8;
    }
}
#endif

template <bool kBigEndian> uint32_t Utf16ToUtf8(char* dst, const char* src, uint32_t max)
{
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    size_t n = 0;
    bool whole = false;
    ScanAhead16(s, n, whole);
    CSink out(dst, max);
    size_t i = 0;
    if (n > 0 && Unit<kBigEndian>(s, 0) == 0xFEFF) i = 1;
    for (;;) {
        if (!whole && n - i < kScanUnitMargin) ScanAhead16(s, n, whole);
        if (i >= n) break;
#if defined(__SSE2__)
        Utf16BlocksSse2<kBigEndian>(s, n, i, out);
        // Past a block the above does not take, four units at a time.
        const size_t swarEnd = i + 8;
#else
        const size_t swarEnd = n;
#endif
        while (i < swarEnd && n - i >= kUtf16FastAhead && out.Room() >= kUtf16FastRoom) {
            const uint64_t w = Load4Units<kBigEndian>(s + 2 * i);
            unsigned char* d = out.Cursor();
            if ((w & 0xFF80FF80FF80FF80ull) == 0) {
                // Four ASCII units.
                Store4Le(d, static_cast<uint32_t>((w & 0xFF) | (w >> 8 & 0xFF00) |
                                                  (w >> 16 & 0xFF0000) | (w >> 24 & 0xFF000000)));
                out.Advance(4);
                i += 4;
                continue;
            }
            // Units from U+0800 up and not surrogates: the top five bits of
            // none is zero or 11011.
            const uint64_t top = w & 0xF800F800F800F800ull;
            if (HasZeroUnit(top) || HasZeroUnit(top ^ 0xD800D800D800D800ull)) {
                // ASCII next to three-byte characters (where a run of either
                // ends) without a branch on each unit; anything else one unit
                // at a time up to a surrogate.
                if (!HasZeroUnit(top ^ 0xD800D800D800D800ull) && !HasTwoByteUnit(w)) {
                    for (unsigned k = 0; k < 4; ++k) {
                        const uint32_t u = static_cast<uint32_t>(w >> (16 * k)) & 0xFFFF;
                        const bool three = u >= 0x80;
                        Store4Le(out.Cursor(), three ? ThreeByteUtf8(u) : u);
                        out.Advance(three ? 3 : 1);
                    }
                    i += 4;
                    continue;
                }
                size_t k = 0;
                for (; k < 4; ++k) {
                    const uint32_t u = static_cast<uint32_t>(w >> (16 * k)) & 0xFFFF;
                    if ((u & 0xF800) == 0xD800) break;
                    uint32_t v, len;
                    if (u < 0x80) {
                        v = u;
                        len = 1;
                    } else if (u < 0x800) {
                        v = 0x80C0u | u >> 6 | (u & 0x3F) << 8;
                        len = 2;
                    } else {
                        v = ThreeByteUtf8(u);
                        len = 3;
                    }
                    Store4Le(out.Cursor(), v);
                    out.Advance(len);
                }
                i += k;
                if (k < 4) break; // the surrogate goes below
                continue;
            }
            // Four characters of three bytes: twelve bytes in two stores.
            const uint32_t e0 = ThreeByteUtf8(static_cast<uint32_t>(w) & 0xFFFF);
            const uint32_t e1 = ThreeByteUtf8(static_cast<uint32_t>(w >> 16) & 0xFFFF);
            const uint32_t e2 = ThreeByteUtf8(static_cast<uint32_t>(w >> 32) & 0xFFFF);
            const uint32_t e3 = ThreeByteUtf8(static_cast<uint32_t>(w >> 48));
            Store8Le(d, e0 | static_cast<uint64_t>(e1) << 24 | static_cast<uint64_t>(e2) << 48);
            Store4Le(d + 8, e2 >> 16 | e3 << 8);
            out.Advance(12);
            i += 4;
        }
        if (i >= n) continue;
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
        if (!out.PutBytes(buf, len)) break;
        i += (len == 4) ? 2 : 1;
    }
    return out.Count();
}

} // namespace

extern "C" uint32_t JIS_CALL JisUtf8ToSjis(char* dst, const char* src, uint32_t max)
{
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    size_t n = 0;
    bool whole = false;
    ScanAhead(src, n, whole);
    CSink out(dst, max);
    const uint16_t* bmp = BmpBytes();
    size_t i = 0;
    if (n >= 3 && s[0] == 0xEF && s[1] == 0xBB && s[2] == 0xBF) i = 3;
    for (;;) {
        if (!whole && n - i < kScanMargin) ScanAhead(src, n, whole);
        if (i >= n) break;
        // Unchecked loop for ASCII and three-byte characters (kana, kanji,
        // symbols), entered with kUtf8FastAhead source bytes and as much room
        // left. It stores eight bytes of ASCII at once, and two bytes for a
        // character whose code is one byte; the bytes past the count are
        // always written over by the characters that follow: every sequence
        // gives at least one byte per three it reads, so what remains of the
        // source fills them, and it has room to.
        while (n - i >= kUtf8FastAhead && out.Room() >= kUtf8FastAhead) {
            const uint64_t w = Load8(s + i);
            memcpy(out.Cursor(), &w, 8);
            const uint64_t high = w & kHighBits;
            if (high == 0) {
                i += 8;
                out.Advance(8);
                continue;
            }
            const unsigned k = LeadingAsciiBytes(s + i, high);
            i += k;
            out.Advance(k);
            // A run of three-byte characters, five at a time where SSE2 can
            // check them at once, then two at a time. `steps` counts the
            // characters that keep within the margins; the next position
            // never waits for the table, so only the end of the run is a
            // surprise.
            size_t steps = Utf8FastSteps(n - i, out.Room());
#if defined(__SSE2__)
            Utf8ThreeByteBlocksSse2(s, i, steps, out, bmp);
#endif
            for (;;) {
                if (steps >= 2) {
                    const uint64_t x = Load8Le(s + i);
                    if ((x & 0x0000C0C0F0C0C0F0ull) == 0x00008080E08080E0ull) {
                        const uint32_t cp0 = static_cast<uint32_t>(
                            (x & 0x0F) << 12 | (x >> 2 & 0xFC0) | (x >> 16 & 0x3F));
                        const uint32_t cp1 = static_cast<uint32_t>(
                            (x >> 12 & 0xF000) | (x >> 26 & 0xFC0) | (x >> 40 & 0x3F));
                        if (!NotThreeByte(cp0) && !NotThreeByte(cp1)) {
                            PutBmpUnchecked(out, bmp, cp0);
                            PutBmpUnchecked(out, bmp, cp1);
                            i += 6;
                            steps -= 2;
                            continue;
                        }
                    }
                }
                if (steps == 0) break;
                const uint32_t c0 = s[i], c1 = s[i + 1], c2 = s[i + 2];
                if (((c0 & 0xF0) ^ 0xE0) | ((c1 & 0xC0) ^ 0x80) | ((c2 & 0xC0) ^ 0x80))
                    goto endOfRun;
                const uint32_t cp = (c0 & 0x0F) << 12 | (c1 & 0x3F) << 6 | (c2 & 0x3F);
                if (NotThreeByte(cp)) goto endOfRun;
                PutBmpUnchecked(out, bmp, cp);
                i += 3;
                --steps;
            }
            continue;
        endOfRun:
            if (s[i] >= 0x80) break; // anything else goes one sequence at a time below
        }
        if (i >= n) continue;
        const unsigned char c = s[i];
        if (c < 0x80) {
            if (!out.PutByte(c)) break;
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
        if (!out.PutCode(complete ? jis::UnicodeToCp932(cp) : 0)) break;
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
        if (i >= n) break;
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
        if (!ok) break;
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
            if (i >= n) break;
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
        if (!ok) break;
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

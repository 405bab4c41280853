// The fast loops of the conversions: ASCII and the common characters eight
// bytes at a time in plain C++, and, where JIS_FAST_SSE2 is 1, sixteen at a
// time with SSE2. Wherever a loop stops, the rules of jis_convert_steps.h
// take one character, so the output is byte for byte that of the plain
// conversions (the native tests compare them).
//
// Included by two files: jis_convert_word.cpp (JIS_FAST_SSE2 0) and
// jis_convert_sse2.cpp (JIS_FAST_SSE2 1, compiled for SSE2 also on 32-bit
// x86, where the CPU is asked before that build is used). Each defines
// kFastConverters. Everything here has internal linkage (see
// jis_convert_steps.h).
#pragma once

#if !defined(JIS_FAST_SSE2)
#error "define JIS_FAST_SSE2 before including jis_convert_fast.h"
#endif

#include <stddef.h>
#include <string.h>

#if JIS_FAST_SSE2
#include <emmintrin.h>
#endif

#include "jis_convert_paths.h"
#include "jis_convert_steps.h"

#if defined(__GNUC__)
#define JIS_LIKELY(x) __builtin_expect(!!(x), 1)
#else
#define JIS_LIKELY(x) (x)
#endif

namespace
{

constexpr uint64_t kHighBits = 0x8080808080808080ull;
constexpr uint64_t kOnes = 0x0101010101010101ull;

inline uint64_t Load8(const unsigned char* p)
{
    uint64_t w;
    memcpy(&w, p, 8);
    return w;
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
inline void Store2Le(unsigned char* d, uint32_t v)
{
    d[0] = static_cast<unsigned char>(v);
    d[1] = static_cast<unsigned char>(v >> 8);
}

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

// A byte's high bit set in the result for the first zero byte of w (lowest
// first) and possibly for bytes after it, never before.
inline uint64_t ZeroBytes(uint64_t w)
{
    return (w - kOnes) & ~w & kHighBits;
}

// Index of the lowest set bit of a non-zero value.
inline unsigned LowestBit(unsigned v)
{
#if defined(__GNUC__)
    return static_cast<unsigned>(__builtin_ctz(v));
#else
    unsigned k = 0;
    while (!(v & 1)) {
        v >>= 1;
        ++k;
    }
    return k;
#endif
}

inline unsigned LowestBit(uint64_t v)
{
#if defined(__GNUC__)
    return static_cast<unsigned>(__builtin_ctzll(v));
#else
    unsigned k = 0;
    while (!(v & 1)) {
        v >>= 1;
        ++k;
    }
    return k;
#endif
}

// Copies k bytes, k below 16, writing nothing past them.
inline void CopyShort(unsigned char* d, const unsigned char* p, unsigned k)
{
    if (k >= 8) {
        memcpy(d, p, 8);
        memcpy(d + k - 8, p + k - 8, 8);
    } else if (k >= 4) {
        memcpy(d, p, 4);
        memcpy(d + k - 4, p + k - 4, 4);
    } else if (k >= 2) {
        memcpy(d, p, 2);
        memcpy(d + k - 2, p + k - 2, 2);
    } else if (k == 1) {
        d[0] = p[0];
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

// ---------------------------------------------------------------- UTF-8

// Source bytes ahead and bytes of room that FastUtf8ToSjis's unchecked loop
// needs (see there).
constexpr size_t kUtf8FastAhead = 32;

// Number of ASCII bytes at p, whose eight bytes have the 8-bit ones marked
// in `high` (not zero).
inline unsigned LeadingAsciiBytes(const unsigned char* p, uint64_t high)
{
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    (void)p;
    return LowestBit(high) >> 3;
#else
    (void)high;
    unsigned k = 0;
    while (p[k] < 0x80)
        ++k;
    return k;
#endif
}

// Characters of three bytes each that FastUtf8ToSjis's unchecked loop can
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

// Writes a character's bytes from jis::BmpBytes in the unchecked loop: both
// bytes are stored even for a one-byte code, whose second is written over
// by what follows.
inline void PutBmpUnchecked(CSink& out, const uint16_t* bmp, uint32_t cp)
{
    const uint32_t bytes = bmp[cp];
    Store2Le(out.Cursor(), bytes);
    out.Advance(JIS_LIKELY(bytes >= 0x100) ? 2 : 1);
}

#if JIS_FAST_SSE2
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

// Converts the run of three-byte characters at s[i] in the unchecked loop,
// five at a time where SSE2 can check them at once, then two at a time.
// `steps` counts the characters that keep within the margins; the next
// position never waits for the table, so only the end of the run is a
// surprise. True when the run ended at anything but a three-byte character,
// false when it ran out of steps.
inline bool Utf8ThreeByteRun(const unsigned char* s, size_t& i, size_t steps, CSink& out,
                             const uint16_t* bmp)
{
#if JIS_FAST_SSE2
    Utf8ThreeByteBlocksSse2(s, i, steps, out, bmp);
#endif
    for (;;) {
        if (steps >= 2) {
            const uint64_t x = Load8Le(s + i);
            if ((x & 0x0000C0C0F0C0C0F0ull) == 0x00008080E08080E0ull) {
                const uint32_t cp0 =
                    static_cast<uint32_t>((x & 0x0F) << 12 | (x >> 2 & 0xFC0) | (x >> 16 & 0x3F));
                const uint32_t cp1 = static_cast<uint32_t>((x >> 12 & 0xF000) | (x >> 26 & 0xFC0) |
                                                           (x >> 40 & 0x3F));
                if (!NotThreeByte(cp0) && !NotThreeByte(cp1)) {
                    PutBmpUnchecked(out, bmp, cp0);
                    PutBmpUnchecked(out, bmp, cp1);
                    i += 6;
                    steps -= 2;
                    continue;
                }
            }
        }
        if (steps == 0) return false;
        const uint32_t c0 = s[i], c1 = s[i + 1], c2 = s[i + 2];
        if (((c0 & 0xF0) ^ 0xE0) | ((c1 & 0xC0) ^ 0x80) | ((c2 & 0xC0) ^ 0x80)) return true;
        const uint32_t cp = (c0 & 0x0F) << 12 | (c1 & 0x3F) << 6 | (c2 & 0x3F);
        if (NotThreeByte(cp)) return true;
        PutBmpUnchecked(out, bmp, cp);
        i += 3;
        --steps;
    }
}

// Copies ASCII eight bytes at a time in FastUtf8ToSjis's unchecked loop,
// while the margins last. Returns the high bits of the eight bytes it
// stopped at (all eight stored, the count advanced past none of them), or
// zero when the margins ran out. A loop of its own, so that the compiler
// keeps it tight.
inline uint64_t Utf8AsciiWords(const unsigned char* s, size_t n, size_t& i, CSink& out)
{
    while (n - i >= kUtf8FastAhead && out.Room() >= kUtf8FastAhead) {
        const uint64_t w = Load8(s + i);
        memcpy(out.Cursor(), &w, 8);
        const uint64_t high = w & kHighBits;
        if (high != 0) return high;
        i += 8;
        out.Advance(8);
    }
    return 0;
}

uint32_t FastUtf8ToSjis(char* dst, const char* src, uint32_t max)
{
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    size_t n = 0;
    bool whole = false;
    ScanAhead(src, n, whole);
    CSink out(dst, max);
    const uint16_t* bmp = jis::BmpBytes();
    size_t i = Utf8MarkLength(s, n);
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
        for (;;) {
            const uint64_t high = Utf8AsciiWords(s, n, i, out);
            if (high == 0) break; // the margins ran out
            const unsigned k = LeadingAsciiBytes(s + i, high);
            i += k;
            out.Advance(k);
            const size_t steps = Utf8FastSteps(n - i, out.Room());
            // Anything else than ASCII goes one sequence at a time below.
            if (Utf8ThreeByteRun(s, i, steps, out, bmp) && s[i] >= 0x80) break;
        }
        if (i >= n) continue;
        if (!Utf8Step(s, n, i, out)) break;
    }
    return out.Count();
}

// ---------------------------------------------------------------- EUC-JP and ISO-2022-JP

// Both codes are runs of ASCII and runs of JIS X 0208 byte pairs (EUC-JP
// with the high bits set), which are converted a block at a time; whatever
// ends a run, and everything else, goes one step at a time.

// Copies the bytes below 0x80 at s[i] (and for ISO-2022-JP, kIso2022, not
// ESC, SO or SI) up to the first other one, while the source and the room
// last for whole blocks. Such bytes are written as they are; nothing is
// written past them.
template <bool kIso2022>
inline void AsciiRun(const unsigned char* s, size_t n, size_t& i, CSink& out)
{
#if JIS_FAST_SSE2
    const __m128i esc = _mm_set1_epi8(0x1B);
    const __m128i shift = _mm_set1_epi8(0x0E);
    const __m128i notLowBit = _mm_set1_epi8(static_cast<char>(0xFE));
    while (n - i >= 16 && out.Room() >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(v));
        if (kIso2022) {
            const __m128i stop = _mm_or_si128(_mm_cmpeq_epi8(v, esc),
                                              _mm_cmpeq_epi8(_mm_and_si128(v, notLowBit), shift));
            mask |= static_cast<unsigned>(_mm_movemask_epi8(stop));
        }
        if (mask == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out.Cursor()), v);
            out.Advance(16);
            i += 16;
            continue;
        }
        const unsigned k = LowestBit(mask);
        CopyShort(out.Cursor(), s + i, k);
        out.Advance(k);
        i += k;
        return;
    }
#endif
    while (n - i >= 8 && out.Room() >= 8) {
        const uint64_t w = Load8Le(s + i);
        uint64_t stop = w & kHighBits;
        if (kIso2022)
            stop |= ZeroBytes(w ^ (0x1B * kOnes)) | ZeroBytes((w & ~kOnes) ^ (0x0E * kOnes));
        if (stop == 0) {
            memcpy(out.Cursor(), s + i, 8);
            out.Advance(8);
            i += 8;
            continue;
        }
        const unsigned k = LowestBit(stop) >> 3;
        CopyShort(out.Cursor(), s + i, k);
        out.Advance(k);
        i += k;
        return;
    }
}

// Writes k / 2 JIS X 0208 byte pairs at p (with kHigh, 0 or 0x80, added to
// each byte), from the table of jis::Jis0208Bytes. Two bytes in, two out.
template <unsigned char kHigh>
inline void PutJis0208Pairs(unsigned char* d, const unsigned char* p, unsigned k,
                            const uint16_t* table)
{
    for (unsigned j = 0; j + 1 < k; j += 2)
        Store2Le(d + j, table[(p[j] - kHigh) * 94u + (p[j + 1] - kHigh) - (0x21 * 94u + 0x21)]);
}

// Converts the JIS X 0208 byte pairs at s[i], bytes 0x21-0x7E with kHigh
// added, up to the first other byte, while the source and the room last for
// whole blocks. A lone byte before that byte is left to the caller.
template <unsigned char kHigh>
inline void Jis0208Run(const unsigned char* s, size_t n, size_t& i, CSink& out,
                       const uint16_t* table)
{
#if JIS_FAST_SSE2
    const __m128i high = _mm_set1_epi8(static_cast<char>(kHigh));
    const __m128i below = _mm_set1_epi8(0x21);
    const __m128i above = _mm_set1_epi8(0x7E);
    while (n - i >= 16 && out.Room() >= 16) {
        const __m128i v =
            _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i)), high);
        // Signed comparisons: bytes from 0x80 up are negative, so outside.
        const __m128i outside = _mm_or_si128(_mm_cmplt_epi8(v, below), _mm_cmpgt_epi8(v, above));
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(outside));
        const unsigned k = mask ? LowestBit(mask) & ~1u : 16;
        PutJis0208Pairs<kHigh>(out.Cursor(), s + i, k, table);
        out.Advance(k);
        i += k;
        if (mask) return;
    }
#endif
    while (n - i >= 8 && out.Room() >= 8) {
        const uint64_t w = Load8Le(s + i) ^ (kHigh * kOnes);
        // With the high bits cleared no byte carries into the next: a byte
        // from 0x21 up gets its high bit from + 0x5F, from 0x7F up from + 1.
        const uint64_t low7 = w & ~kHighBits;
        const uint64_t outside = (w | ~(low7 + 0x5F * kOnes) | (low7 + kOnes)) & kHighBits;
        const unsigned k = outside ? (LowestBit(outside) >> 3) & ~1u : 8;
        PutJis0208Pairs<kHigh>(out.Cursor(), s + i, k, table);
        out.Advance(k);
        i += k;
        if (outside) return;
    }
}

uint32_t FastEucToSjis(char* dst, const char* src, uint32_t max)
{
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    const size_t n = strlen(src);
    CSink out(dst, max);
    const uint16_t* table = jis::Jis0208Bytes();
    size_t i = 0;
    while (i < n) {
        const size_t at = i;
        AsciiRun<false>(s, n, i, out);
        Jis0208Run<0x80>(s, n, i, out, table);
        if (i >= n) break;
        // One step where neither run got anywhere: a half-width katakana,
        // JIS X 0212, a bad byte, or the end of the margins.
        if (i == at && !EucStep(s, n, i, out)) break;
    }
    return out.Count();
}

// ---------------------------------------------------------------- ISO-2022-JP

uint32_t FastIso2022ToSjis(char* dst, const char* src, uint32_t max)
{
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    const size_t n = strlen(src);
    CSink out(dst, max);
    const uint16_t* table = jis::Jis0208Bytes();
    CIso2022State state;
    size_t i = 0;
    while (i < n) {
        // Runs of ASCII or of JIS X 0208 pairs up to the next escape or
        // shift; everything else (and the ends of runs) one step at a time.
        if (!state.shiftOut) {
            if (state.mode == CIso2022State::kAscii)
                AsciiRun<true>(s, n, i, out);
            else if (state.mode == CIso2022State::kJis0208)
                Jis0208Run<0>(s, n, i, out, table);
            if (i >= n) break;
        }
        if (!Iso2022Step(s, n, i, out, state)) break;
    }
    return out.Count();
}

// ---------------------------------------------------------------- UTF-16

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

inline void ScanAhead16(const unsigned char* s, size_t& n, bool& whole)
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

// Units ahead and bytes of room that FastUtf16ToUtf8's unchecked loop needs.
// It stores four bytes for every unit, of which the bytes past the count (at
// most three) are written over by what follows: every unit gives at least
// one byte, and there are units left and room for them.
constexpr size_t kUtf16FastAhead = 8;
constexpr uint32_t kUtf16FastRoom = 24;

#if JIS_FAST_SSE2
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

// Four units at a time, from `i` up to `end` at most, while the margins
// last. Returns early at a surrogate, which the caller's step takes.
template <bool kBigEndian>
inline void Utf16FourUnits(const unsigned char* s, size_t n, size_t& i, size_t end, CSink& out)
{
    while (i < end && n - i >= kUtf16FastAhead && out.Room() >= kUtf16FastRoom) {
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
            if (k < 4) return; // the surrogate goes to the caller
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
}

template <bool kBigEndian> uint32_t FastUtf16ToUtf8(char* dst, const char* src, uint32_t max)
{
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    size_t n = 0;
    bool whole = false;
    ScanAhead16(s, n, whole);
    CSink out(dst, max);
    size_t i = Utf16MarkUnits<kBigEndian>(s, n);
    for (;;) {
        if (!whole && n - i < kScanUnitMargin) ScanAhead16(s, n, whole);
        if (i >= n) break;
#if JIS_FAST_SSE2
        Utf16BlocksSse2<kBigEndian>(s, n, i, out);
        // Past a block the above does not take, four units at a time.
        Utf16FourUnits<kBigEndian>(s, n, i, i + 8, out);
#else
        Utf16FourUnits<kBigEndian>(s, n, i, n, out);
#endif
        if (i >= n) continue;
        if (!Utf16Step<kBigEndian>(s, n, i, out)) break;
    }
    return out.Count();
}

// ---------------------------------------------------------------- UTF-16 to CP932

// Each unit gives one or two bytes, stored as two at the count and no
// further on than the unit's own bytes, so the loops below may run in
// place. A one-byte code's second byte is written over by the next unit:
// the loops keep one unit more ahead, and room for it, than they take.

// The CP932 bytes of a unit that is not a surrogate, from jis::BmpBytes
// (whose ASCII entries are the ASCII bytes themselves), written unchecked.
inline void PutUnitUnchecked(CSink& out, const uint16_t* bmp, uint32_t u)
{
    const uint32_t bytes = bmp[u];
    Store2Le(out.Cursor(), bytes);
    out.Advance(bytes >= 0x100 ? 2 : 1);
}

#if JIS_FAST_SSE2
// Blocks of eight units without a surrogate, while the source and the room
// last: ASCII blocks packed in one store; blocks of two-byte codes (kana,
// kanji) in two; others a unit at a time. Returns at a surrogate.
template <bool kBigEndian>
inline void Utf16SjisBlocksSse2(const unsigned char* s, size_t n, size_t& i, CSink& out,
                                const uint16_t* bmp)
{
    const __m128i asciiBias = _mm_set1_epi16(0x7F80);
    const __m128i topFive = _mm_set1_epi16(static_cast<short>(0xF800));
    const __m128i surrogate = _mm_set1_epi16(static_cast<short>(0xD800));
    while (n - i >= 9 && out.Room() >= 18) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 2 * i));
        if (kBigEndian) x = _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8));
        unsigned char* d = out.Cursor();
        // The sign bit of a lane of u + 0x7F80 (saturated) is set for u from
        // U+0080 up.
        if (_mm_movemask_epi8(_mm_srai_epi16(_mm_adds_epu16(x, asciiBias), 15)) == 0) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(d), _mm_packus_epi16(x, x));
            out.Advance(8);
            i += 8;
            continue;
        }
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(x, topFive), surrogate)) != 0) return;
        alignas(16) uint16_t u[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(u), x);
        const uint64_t first = bmp[u[0]] | static_cast<uint64_t>(bmp[u[1]]) << 16 |
                               static_cast<uint64_t>(bmp[u[2]]) << 32 |
                               static_cast<uint64_t>(bmp[u[3]]) << 48;
        const uint64_t second = bmp[u[4]] | static_cast<uint64_t>(bmp[u[5]]) << 16 |
                                static_cast<uint64_t>(bmp[u[6]]) << 32 |
                                static_cast<uint64_t>(bmp[u[7]]) << 48;
        // Bit 15 of each code: whether it has a trail byte (bit 6 or 7 of it).
        const uint64_t both = (first | first << 1) & (second | second << 1);
        if (JIS_LIKELY((both & 0x8000800080008000ull) == 0x8000800080008000ull)) {
            Store8Le(d, first);
            Store8Le(d + 8, second);
            out.Advance(16);
        } else {
            for (unsigned k = 0; k < 8; ++k)
                PutUnitUnchecked(out, bmp, u[k]);
        }
        i += 8;
    }
}
#endif

// Four units at a time while the source and the room last. Returns at a
// surrogate, which the caller's step takes.
template <bool kBigEndian>
inline void Utf16SjisFourUnits(const unsigned char* s, size_t n, size_t& i, CSink& out,
                               const uint16_t* bmp)
{
    while (n - i >= 5 && out.Room() >= 10) {
        const uint64_t w = Load4Units<kBigEndian>(s + 2 * i);
        if ((w & 0xFF80FF80FF80FF80ull) == 0) {
            Store4Le(out.Cursor(),
                     static_cast<uint32_t>((w & 0xFF) | (w >> 8 & 0xFF00) | (w >> 16 & 0xFF0000) |
                                           (w >> 24 & 0xFF000000)));
            out.Advance(4);
            i += 4;
            continue;
        }
        if (HasZeroUnit((w & 0xF800F800F800F800ull) ^ 0xD800D800D800D800ull)) {
            for (; (Unit<kBigEndian>(s, i) & 0xF800) != 0xD800; ++i)
                PutUnitUnchecked(out, bmp, Unit<kBigEndian>(s, i));
            return;
        }
        for (unsigned k = 0; k < 4; ++k)
            PutUnitUnchecked(out, bmp, static_cast<uint32_t>(w >> (16 * k)) & 0xFFFF);
        i += 4;
    }
}

template <bool kBigEndian> uint32_t FastUtf16ToSjis(char* dst, const char* src, uint32_t max)
{
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    size_t n = 0;
    bool whole = false;
    ScanAhead16(s, n, whole);
    CSink out(dst, max);
    const uint16_t* bmp = jis::BmpBytes();
    size_t i = Utf16SjisMarkUnits<kBigEndian>(s, n);
    for (;;) {
        if (!whole && n - i < kScanUnitMargin) ScanAhead16(s, n, whole);
        if (i >= n) break;
#if JIS_FAST_SSE2
        Utf16SjisBlocksSse2<kBigEndian>(s, n, i, out, bmp);
#endif
        Utf16SjisFourUnits<kBigEndian>(s, n, i, out, bmp);
        if (i >= n) continue;
        if (!Utf16SjisStep<kBigEndian>(s, n, i, out)) break;
    }
    return out.Count();
}

constexpr jis::CConverters kFastConverters = {
    JIS_FAST_SSE2 ? "sse2" : "word",
    FastEucToSjis,
    FastIso2022ToSjis,
    FastUtf8ToSjis,
    FastUtf16ToUtf8<false>,
    FastUtf16ToUtf8<true>,
    FastUtf16ToSjis<false>,
    FastUtf16ToSjis<true>,
};

} // namespace

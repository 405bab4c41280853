// The conversion functions of jis1997.h: the plain conversions, one
// character at a time; the tables the fast loops share; and the choice of
// the path the exported functions take (see jis_convert_paths.h).
#include <string.h>

#if defined(__i386__) && defined(__GNUC__)
#include <cpuid.h>
#endif

#include "jis1997.h"
#include "jis_convert_paths.h"
#include "jis_convert_steps.h"
#include "jis_tables.h"

namespace
{

uint32_t PlainUtf8ToSjis(char* dst, const char* src, uint32_t max)
{
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    const size_t n = strlen(src);
    CSink out(dst, max);
    size_t i = Utf8MarkLength(s, n);
    while (i < n && Utf8Step(s, n, i, out)) {
    }
    return out.Count();
}

uint32_t PlainEucToSjis(char* dst, const char* src, uint32_t max)
{
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    const size_t n = strlen(src);
    CSink out(dst, max);
    size_t i = 0;
    while (i < n && EucStep(s, n, i, out)) {
    }
    return out.Count();
}

uint32_t PlainIso2022ToSjis(char* dst, const char* src, uint32_t max)
{
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    const size_t n = strlen(src);
    CSink out(dst, max);
    CIso2022State state;
    size_t i = 0;
    while (i < n && Iso2022Step(s, n, i, out, state)) {
    }
    return out.Count();
}

template <bool kBigEndian> uint32_t PlainUtf16ToUtf8(char* dst, const char* src, uint32_t max)
{
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    size_t n = 0;
    while (!IsZeroUnit(s, n))
        ++n;
    CSink out(dst, max);
    size_t i = Utf16MarkUnits<kBigEndian>(s, n);
    while (i < n && Utf16Step<kBigEndian>(s, n, i, out)) {
    }
    return out.Count();
}

template <bool kBigEndian> uint32_t PlainUtf16ToSjis(char* dst, const char* src, uint32_t max)
{
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    size_t n = 0;
    while (!IsZeroUnit(s, n))
        ++n;
    CSink out(dst, max);
    size_t i = Utf16SjisMarkUnits<kBigEndian>(s, n);
    while (i < n && Utf16SjisStep<kBigEndian>(s, n, i, out)) {
    }
    return out.Count();
}

// Every BMP character's CP932 bytes as the fast UTF-8 loops store them: the
// first byte in the low eight bits, the second (a trail byte, 0x40 up, so
// bit 6 or 7 is set) in the high eight, or zero for a one-byte code; the
// code of the closest character for one without a code of its own, and the
// geta mark where there is neither. One load per character instead of the
// two of jis::UnicodeToCp932.
struct CBmpBytes {
    uint16_t at[0x10000];

    CBmpBytes()
    {
        for (uint32_t page = 0; page < 0x100; ++page) {
            const uint16_t* codes = jis::kUnicodePages[jis::kUnicodePageIndex[page]];
            const uint16_t* closest = jis::kClosestPages[jis::kClosestPageIndex[page]];
            uint16_t* to = at + page * 0x100;
            for (uint32_t k = 0; k < 0x100; ++k) {
                const uint32_t code = codes[k] ? codes[k] : closest[k] ? closest[k] : kGeta;
                to[k] = static_cast<uint16_t>(code < 0x100 ? code : (code >> 8 | code << 8));
            }
        }
    }
};

// Every JIS X 0208 code's CP932 bytes in the same form, the geta mark where
// no character is assigned. All of them are two bytes.
struct CJis0208Bytes {
    uint16_t at[94 * 94];

    CJis0208Bytes()
    {
        for (uint32_t k = 0; k < 94 * 94; ++k) {
            const uint32_t code = jis::kJis0208ToCp932[k] ? jis::kJis0208ToCp932[k] : kGeta;
            at[k] = static_cast<uint16_t>(code >> 8 | code << 8);
        }
    }
};

} // namespace

namespace jis
{

const CConverters kPlainConverters = {
    "plain",
    PlainEucToSjis,
    PlainIso2022ToSjis,
    PlainUtf8ToSjis,
    PlainUtf16ToUtf8<false>,
    PlainUtf16ToUtf8<true>,
    PlainUtf16ToSjis<false>,
    PlainUtf16ToSjis<true>,
};

const uint16_t* BmpBytes()
{
    static const CBmpBytes table;
    return table.at;
}

const uint16_t* Jis0208Bytes()
{
    static const CJis0208Bytes table;
    return table.at;
}

bool CpuHasSse2()
{
#if defined(__x86_64__) || defined(_M_X64)
    return true;
#elif defined(__i386__) && defined(__GNUC__)
    // __get_cpuid also finds out whether the CPU has CPUID at all.
    unsigned a, b, c, d;
    return __get_cpuid(1, &a, &b, &c, &d) && (d & bit_SSE2) != 0;
#else
    return false;
#endif
}

const CConverters& ActiveConverters()
{
    // Thread-safe initialisation of a local static: the CPU is asked once.
    static const CConverters& active =
        CpuHasSse2() && Sse2Converters() ? *Sse2Converters() : kWordConverters;
    return active;
}

} // namespace jis

extern "C" uint32_t JIS_CALL JisUtf8ToSjis(char* dst, const char* src, uint32_t max)
{
    return jis::ActiveConverters().utf8ToSjis(dst, src, max);
}

extern "C" uint32_t JIS_CALL JisEucToSjis(char* dst, const char* src, uint32_t max)
{
    return jis::ActiveConverters().eucToSjis(dst, src, max);
}

extern "C" uint32_t JIS_CALL JisIso2022ToSjis(char* dst, const char* src, uint32_t max)
{
    return jis::ActiveConverters().iso2022ToSjis(dst, src, max);
}

extern "C" uint32_t JIS_CALL JisUtf16LeToUtf8(char* dst, const char* src, uint32_t max)
{
    return jis::ActiveConverters().utf16LeToUtf8(dst, src, max);
}

extern "C" uint32_t JIS_CALL JisUtf16BeToUtf8(char* dst, const char* src, uint32_t max)
{
    return jis::ActiveConverters().utf16BeToUtf8(dst, src, max);
}

extern "C" uint32_t JIS_CALL JisUtf16LeToSjis(char* dst, const char* src, uint32_t max)
{
    return jis::ActiveConverters().utf16LeToSjis(dst, src, max);
}

extern "C" uint32_t JIS_CALL JisUtf16BeToSjis(char* dst, const char* src, uint32_t max)
{
    return jis::ActiveConverters().utf16BeToSjis(dst, src, max);
}

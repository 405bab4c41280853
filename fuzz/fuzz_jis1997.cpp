// libFuzzer target for jis1997: detection and one conversion, both chosen
// by the input, on arbitrary bytes with a limit taken from the input, and the
// European single-byte code where the text declares one. The
// written count must stay within the limit and no byte past it may change,
// and every fast path must leave the whole output buffer as the plain
// one-character-at-a-time path does.
//
// Input: one byte choosing the conversion, two bytes choosing the limit,
// then the text. One conversion a run (not all seven) keeps a run cheap
// enough for tens of millions of them.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "jis1997/jis1997.h"
#include "jis1997/jis_convert_paths.h"

namespace
{

constexpr unsigned char kSentinel = 0xA5;
constexpr size_t kGuardBytes = 64;

std::vector<char> Check(jis::Converter f, const std::vector<char>& src, uint32_t max)
{
    std::vector<char> dst(size_t(max) + kGuardBytes, static_cast<char>(kSentinel));
    const uint32_t n = f(dst.data(), src.data(), max);
    if (n > max) abort();
    // One memcmp, not a loop of this file's own: the fuzzer's coverage hooks
    // would make that loop the slowest part of a run.
    const std::vector<char> untouched(dst.size() - n, static_cast<char>(kSentinel));
    if (memcmp(dst.data() + n, untouched.data(), untouched.size()) != 0) abort();
    return dst;
}

struct Conversion {
    jis::Converter exported;
    jis::Converter jis::CConverters::*function;
    // For UTF-16 to CP932: the conversion to UTF-8 it replaces (see below).
    jis::Converter jis::CConverters::*viaUtf8 = nullptr;
};

const Conversion kConversions[] = {
    {JisEucToSjis, &jis::CConverters::eucToSjis},
    {JisIso2022ToSjis, &jis::CConverters::iso2022ToSjis},
    {JisUtf8ToSjis, &jis::CConverters::utf8ToSjis},
    {JisUtf16LeToUtf8, &jis::CConverters::utf16LeToUtf8},
    {JisUtf16BeToUtf8, &jis::CConverters::utf16BeToUtf8},
    {JisUtf16LeToSjis, &jis::CConverters::utf16LeToSjis, &jis::CConverters::utf16LeToUtf8},
    {JisUtf16BeToSjis, &jis::CConverters::utf16BeToSjis, &jis::CConverters::utf16BeToUtf8},
};

// The exported function, then each path the library has, against the plain
// path. (On x86-64 the exported function is the SSE2 path.)
void CheckPaths(const Conversion& c, const std::vector<char>& src, uint32_t max)
{
    const std::vector<char> plain = Check(jis::kPlainConverters.*c.function, src, max);
    if (Check(c.exported, src, max) != plain) abort();
    const jis::CConverters* sse2 = jis::Sse2Converters();
    if (&jis::ActiveConverters() != &jis::kWordConverters &&
        Check(jis::kWordConverters.*c.function, src, max) != plain)
        abort();
    if (sse2 && &jis::ActiveConverters() != sse2 && Check(sse2->*c.function, src, max) != plain)
        abort();
    if (!c.viaUtf8) return;
    // UTF-16 to CP932 as the two steps through UTF-8 it replaces, with room
    // enough in between; and in place, as the program converts.
    std::vector<char> utf8(4 * src.size() + 4, '\0');
    (jis::kPlainConverters.*c.viaUtf8)(utf8.data(), src.data(),
                                       static_cast<uint32_t>(4 * src.size()));
    if (Check(jis::kPlainConverters.utf8ToSjis, utf8, max) != plain) abort();
    std::vector<char> inPlace = src;
    const uint32_t n =
        c.exported(inPlace.data(), inPlace.data(), static_cast<uint32_t>(src.size()));
    if (n > src.size() || memcmp(inPlace.data(), Check(c.exported, src, n).data(), n) != 0) abort();
}

// The code page that the text being run declares, for DeclaredToSjis.
uint32_t g_declaredCodePage = 0;

uint32_t DeclaredToSjis(char* dst, const char* src, uint32_t max)
{
    return JisSingleByteToSjis(dst, src, max, g_declaredCodePage);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3) return 0;
    const Conversion& conversion =
        kConversions[data[0] % (sizeof kConversions / sizeof kConversions[0])];
    // Up to four times the text, as the program allows, and a little more.
    const uint32_t length = static_cast<uint32_t>(size - 3);
    const uint32_t max = (uint32_t(data[1]) << 8 | data[2]) % (4 * length + 8);
    std::vector<char> src(data + 3, data + size);
    src.resize(size_t(length) + 4, '\0');

    const std::vector<char> before = src;
    const uint32_t code = JisDetectCode(src.data(), length);
    if (src != before) abort();
    switch (code) {
    case JIS_CODE_ASCII:
    case JIS_CODE_EUC_JP:
    case JIS_CODE_SHIFT_JIS:
    case JIS_CODE_ISO2022_JP:
    case JIS_CODE_UTF8:
    case JIS_CODE_UTF16_LE:
    case JIS_CODE_UTF16_BE:
    case JIS_CODE_BINARY:
    case JIS_CODE_OTHER:
        break;
    default:
        abort(); // detection only ever gives documented results
    }
    CheckPaths(conversion, src, max);
    g_declaredCodePage = JisDeclaredSingleByteCode(src.data(), length);
    if (src != before) abort();
    if (g_declaredCodePage) Check(DeclaredToSjis, src, max);
    return 0;
}

// libFuzzer target for jis1997: detection and every conversion on arbitrary
// bytes with a limit taken from the input. The written count must stay
// within the limit and no byte past it may change.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "jis1997/jis1997.h"

namespace
{

constexpr unsigned char kSentinel = 0xA5;
constexpr size_t kGuardBytes = 64;

void Check(uint32_t (*f)(char*, const char*, uint32_t), const std::vector<char>& src, uint32_t max)
{
    std::vector<char> dst(size_t(max) + kGuardBytes, static_cast<char>(kSentinel));
    const uint32_t n = f(dst.data(), src.data(), max);
    if (n > max) abort();
    for (size_t i = n; i < dst.size(); ++i)
        if (static_cast<unsigned char>(dst[i]) != kSentinel) abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) return 0;
    // The first two bytes choose the limit: up to four times the text.
    const uint32_t length = static_cast<uint32_t>(size - 2);
    const uint32_t max = (uint32_t(data[0]) << 8 | data[1]) % (4 * length + 8);
    std::vector<char> src(data + 2, data + size);
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
    Check(JisEucToSjis, src, max);
    Check(JisIso2022ToSjis, src, max);
    Check(JisUtf8ToSjis, src, max);
    Check(JisUtf16LeToUtf8, src, max);
    Check(JisUtf16BeToUtf8, src, max);
    return 0;
}

// JisSingleByteToSjis: the European single-byte codes a feed may declare.
// One character a byte, so a plain loop: each byte's character is written as
// any other character is (jis_convert_steps.h), which also gives the
// accented letters CP932 lacks their base letters.
#include <string.h>

#include "jis1997.h"
#include "jis_convert_steps.h"
#include "jis_tables.h"

namespace
{

// The characters of bytes 0x80-0xFF in the code `codePage`; null for a code
// without a table.
const uint16_t* UpperHalf(uint32_t codePage)
{
    for (size_t k = 0; k < sizeof jis::kSingleByteCodePages / sizeof *jis::kSingleByteCodePages;
         ++k)
        if (jis::kSingleByteCodePages[k] == codePage) return jis::kSingleByteUpperHalves[k];
    return nullptr;
}

} // namespace

extern "C" uint32_t JIS_CALL JisSingleByteToSjis(char* dst, const char* src, uint32_t max,
                                                 uint32_t codePage)
{
    const uint16_t* upper = UpperHalf(codePage);
    if (upper == nullptr) return 0;
    CSink out(dst, max);
    for (const unsigned char* s = reinterpret_cast<const unsigned char*>(src); *s; ++s) {
        // An undefined byte's 0 is U+0000, which has no code: the geta mark.
        const uint16_t code = *s < 0x80 ? *s : BmpToCp932(upper[*s - 0x80]);
        if (!out.PutCode(code)) break;
    }
    return out.Count();
}

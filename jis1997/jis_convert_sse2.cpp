// The fast loops of jis_convert_fast.h with their SSE2 blocks. On 32-bit x86
// this file alone is compiled with -msse2; the library calls into it only
// after CpuHasSse2 has said yes (see ActiveConverters).
#if defined(__SSE2__)

#define JIS_FAST_SSE2 1
#include "jis_convert_fast.h"

const jis::CConverters* jis::Sse2Converters()
{
    return &kFastConverters;
}

#else

#if defined(__i386__) || defined(__x86_64__)
#error "jis_convert_sse2.cpp is compiled with -msse2 on x86"
#endif

#include "jis_convert_paths.h"

const jis::CConverters* jis::Sse2Converters()
{
    return nullptr;
}

#endif

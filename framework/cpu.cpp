#include "framework/cpu.h"

#if !defined(__SSE2__)

#if defined(__i386__) && defined(__GNUC__)
#include <cpuid.h>
#endif

namespace
{

bool AskCpuForSse2()
{
#if defined(__i386__) && defined(__GNUC__)
    // __get_cpuid also finds out whether the CPU has CPUID at all.
    unsigned a, b, c, d;
    return __get_cpuid(1, &a, &b, &c, &d) && (d & bit_SSE2) != 0;
#else
    return false;
#endif
}

} // namespace

bool cpu::HasSse2()
{
    static const bool has = AskCpuForSse2();
    return has;
}

#endif

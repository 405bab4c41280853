#pragma once

// SSE2 code paths of the program. On x86-64 (and wherever the compiler may
// use SSE2 throughout) they are called directly. On 32-bit x86 they are
// compiled for SSE2 function by function, so the rest of the program still
// runs on CPUs without it, and are called only where cpu::HasSse2() says so.
// TANSY_NO_SSE2 leaves them out, so that tests can run the portable code.
#if defined(TANSY_NO_SSE2)
#define TANSY_SSE2 0
#define TANSY_SSE2_TARGET
#elif defined(__SSE2__)
#define TANSY_SSE2 1
#define TANSY_SSE2_TARGET
#elif defined(__i386__) && defined(__GNUC__)
#define TANSY_SSE2 1
#define TANSY_SSE2_TARGET __attribute__((target("sse2")))
#else
#define TANSY_SSE2 0
#define TANSY_SSE2_TARGET
#endif

namespace cpu
{

#if defined(__SSE2__)
inline bool HasSse2()
{
    return true;
}
#else
// Whether the CPU runs SSE2 code; asked once.
bool HasSse2();
#endif

} // namespace cpu

// The conversion functions of jis1997.h come in up to three builds of the
// same rules: the plain one (one character at a time, jis_convert.cpp), and
// the fast loops of jis_convert_fast.h built once word at a time and once
// with SSE2. The exported functions call the fastest one the CPU runs, chosen
// on first use. Internal to the library: the DLL does not export these; the
// native tests call them to compare the paths with each other.
#pragma once

#include <stdint.h>

namespace jis
{

using Converter = uint32_t (*)(char* dst, const char* src, uint32_t max);

struct CConverters {
    const char* name;
    Converter eucToSjis;
    Converter iso2022ToSjis;
    Converter utf8ToSjis;
    Converter utf16LeToUtf8;
    Converter utf16BeToUtf8;
    Converter utf16LeToSjis;
    Converter utf16BeToSjis;
};

// One character at a time: the reference the fast paths are held to.
extern const CConverters kPlainConverters;
// The fast loops, eight bytes at a time in plain C++: any CPU.
extern const CConverters kWordConverters;
// The fast loops with SSE2 blocks; null where the library is built without
// them (not an x86 target).
const CConverters* Sse2Converters();

// Whether the CPU runs SSE2 code (always on x86-64; asked with CPUID on
// 32-bit x86).
bool CpuHasSse2();

// The converters the exported functions use: SSE2 where built and the CPU
// has it, else the word-at-a-time ones. Chosen once, on the first call.
const CConverters& ActiveConverters();

// Tables the fast loops share, built from jis_tables.h on first use (see
// jis_convert.cpp).
const uint16_t* BmpBytes();
const uint16_t* Jis0208Bytes();

} // namespace jis

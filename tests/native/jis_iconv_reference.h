// Reference conversions through glibc iconv for the jis1997 tests.
#pragma once

#include <iconv.h>

#include <cstdint>
#include <string>
#include <vector>
#include "jis_tables.h"

namespace jistest
{

// Converts `in` with iconv; false when iconv refuses any of it.
inline bool Iconv(const char* to, const char* from, const std::string& in, std::string& out)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::vector<char> buf(in.size() * 4 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = buf.data();
    size_t dstLeft = buf.size();
    const size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    const bool ok = r != static_cast<size_t>(-1) && srcLeft == 0 &&
                    iconv(cd, nullptr, nullptr, &dst, &dstLeft) != static_cast<size_t>(-1);
    iconv_close(cd);
    out.assign(buf.data(), dst);
    return ok;
}

inline std::string Utf32(uint32_t cp)
{
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[i] = static_cast<char>(cp >> (8 * i));
    return s;
}

// CP932 bytes of every BMP character as glibc writes them ("" if none).
inline const std::vector<std::string>& GlibcCp932Table()
{
    static const std::vector<std::string> table = [] {
        std::vector<std::string> t(0x10000);
        iconv_t cd = iconv_open("CP932", "UTF-32LE");
        for (uint32_t cp = 1; cp < 0x10000; ++cp) {
            std::string in = Utf32(cp);
            char out[8];
            char* src = &in[0];
            size_t srcLeft = 4;
            char* dst = out;
            size_t dstLeft = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<size_t>(-1))
                t[cp].assign(out, dst);
        }
        iconv_close(cd);
        return t;
    }();
    return table;
}

inline std::string GlibcCp932(uint32_t cp)
{
    return cp < 0x10000 ? GlibcCp932Table()[cp] : std::string();
}

// Characters Windows' code page 932 writes and glibc's CP932 does not, and
// characters glibc writes by a one-way fallback where jis1997 does not.
inline bool IsKnownGlibcDifference(uint32_t cp)
{
    switch (cp) {
    case 0x0080:
    case 0xF8F0:
    case 0xF8F1:
    case 0xF8F2:
    case 0xF8F3: // Windows single bytes
    case 0x203E: // overline -> 0x7E in glibc; no best fit in Windows
    case 0x00A6: // broken bar -> 0xFA55 in glibc; best fit '|' in Windows
        return true;
    default:
        return false;
    }
}

// Where glibc has no code (it writes no best fits): jis1997's closest
// character, which jis_table_check compares with Windows, else the geta mark.
inline std::string ClosestOrGeta(uint32_t cp)
{
    const uint16_t code = jis::ClosestCp932(cp);
    if (code == 0) return "\x81\xAC";
    return code < 0x100 ? std::string(1, char(code)) : std::string{char(code >> 8), char(code)};
}

// The text in `from` decoded by glibc and written as CP932, each character
// without a CP932 form replaced by ClosestOrGeta: what jis1997 should give
// for text free of the Windows-only single bytes.
inline bool ReferenceToCp932(const std::string& text, const char* from, std::string& out)
{
    std::string utf32;
    if (!Iconv("UTF-32LE", from, text, utf32)) return false;
    // glibc reads JIS text into JIS-style characters (U+301C for the wave
    // dash) and writes them back to their JIS positions, as jis1997 does;
    // only text that is Unicode already meets the differences above.
    const bool unicodeSource = std::string(from).compare(0, 3, "UTF") == 0;
    out.clear();
    for (size_t i = 0; i + 4 <= utf32.size(); i += 4) {
        uint32_t cp = 0;
        for (int k = 0; k < 4; ++k)
            cp |= uint32_t(static_cast<unsigned char>(utf32[i + k])) << (8 * k);
        if (cp == 0xFEFF && i == 0) continue;
        std::string c =
            unicodeSource && IsKnownGlibcDifference(cp) ? std::string() : GlibcCp932(cp);
        out += c.empty() ? ClosestOrGeta(cp) : c;
    }
    return true;
}

} // namespace jistest

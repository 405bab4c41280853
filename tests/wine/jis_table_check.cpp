// Checks the jis1997 tables against the platform's own code page 932: every
// Unicode BMP character through WideCharToMultiByte (strict, else best fit)
// and every JIS X 0208 position through MultiByteToWideChar. Uses
// jis1997.dll through its import library, so it also proves the ordinal-only
// imports resolve. Prints a summary; exits 1 on any mismatch.
#include <windows.h>

#include <cstdio>
#include <string>

#include "jis1997.h"

namespace
{

const std::string kGeta = "\x81\xAC";
constexpr int kMaxListed = 20;

std::string Utf8(unsigned cp)
{
    std::string s;
    if (cp < 0x80) {
        s += static_cast<char>(cp);
    } else if (cp < 0x800) {
        s += static_cast<char>(0xC0 | cp >> 6);
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        s += static_cast<char>(0xE0 | cp >> 12);
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return s;
}

std::string Convert(uint32_t (*f)(char*, const char*, uint32_t), const std::string& src)
{
    char out[64] = {};
    std::string in = src + std::string(4, '\0');
    const uint32_t n = f(out, in.c_str(), 32);
    return std::string(out, n);
}

// CP932 bytes Windows writes for the character, the geta mark if none.
std::string WindowsCp932(wchar_t w, DWORD flags = WC_NO_BEST_FIT_CHARS)
{
    char buf[8];
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(932, flags, &w, 1, buf, sizeof buf, nullptr, &usedDefault);
    if (n <= 0 || usedDefault) return kGeta;
    return std::string(buf, n);
}

std::string Hex(const std::string& s)
{
    std::string h;
    char b[4];
    for (unsigned char c : s) {
        std::snprintf(b, sizeof b, "%02X", c);
        h += b;
    }
    return h.empty() ? "-" : h;
}

struct CTally {
    const char* name;
    int checked = 0;
    int mismatches = 0;

    void Check(unsigned code, const std::string& ours, const std::string& windows)
    {
        ++checked;
        if (ours == windows) return;
        if (++mismatches <= kMaxListed)
            std::printf("MISMATCH %s %04X ours=%s windows=%s\n", name, code, Hex(ours).c_str(),
                        Hex(windows).c_str());
    }
    void Report() const
    {
        std::printf("%s: %d checked, %d mismatches\n", name, checked, mismatches);
    }
};

} // namespace

int main()
{
    CTally unicode{"unicode-to-cp932"};
    for (unsigned cp = 1; cp < 0x10000; ++cp) {
        // Surrogates are not characters; U+FEFF alone is a byte order mark.
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFEFF) continue;
        // Else Windows' best fit; jis1997's other rules are checked natively.
        std::string windows = WindowsCp932(static_cast<wchar_t>(cp));
        if (windows == kGeta) windows = WindowsCp932(static_cast<wchar_t>(cp), 0);
        const std::string ours = Convert(JisUtf8ToSjis, Utf8(cp));
        if (windows != kGeta || ours == kGeta) unicode.Check(cp, ours, windows);
    }

    CTally jis{"jis0208-to-cp932"};
    for (int row = 1; row <= 94; ++row) {
        for (int col = 1; col <= 94; ++col) {
            // The Shift_JIS code at this JIS position, read and written by Windows.
            const int lead = (row - 1) / 2 + (row <= 62 ? 0x81 : 0xC1);
            const int trail = row % 2 ? col + (col <= 63 ? 0x3F : 0x40) : col + 0x9E;
            const char sjis[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            wchar_t w[2];
            const int n = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, sjis, 2, w, 2);
            std::string expected = kGeta;
            // Rows 85-88 and 93-94 are unassigned; Windows may still read
            // them as private-use characters, which EUC-JP has no use for.
            const bool assignedRow = row <= 84 || (row >= 89 && row <= 92);
            if (n == 1 && assignedRow && !(w[0] >= 0xE000 && w[0] <= 0xF8FF))
                expected = WindowsCp932(w[0]);
            const std::string euc = {static_cast<char>(row + 0xA0), static_cast<char>(col + 0xA0)};
            jis.Check((row + 0x20) << 8 | (col + 0x20), Convert(JisEucToSjis, euc), expected);
        }
    }

    unicode.Report();
    jis.Report();
    const bool ok = unicode.mismatches == 0 && jis.mismatches == 0;
    std::printf("%s\n", ok ? "TABLES MATCH" : "TABLES DIFFER");
    return ok ? 0 : 1;
}

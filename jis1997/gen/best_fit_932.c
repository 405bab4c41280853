/* Lists Windows' best fits of code page 932: the BMP characters that
 * WideCharToMultiByte(932, 0, ...) writes as some other character's code.
 *
 * For every BMP code point (surrogates left out) it asks twice: with
 * WC_NO_BEST_FIT_CHARS, which answers only with the character's own code,
 * and with no flags, which may answer with a best fit. A line is written
 * where the first used the default character and the second did not:
 *     U+00E9 0x65
 * (the code point and the CP932 code, one or two bytes, lead << 8 | trail).
 *
 * Build with MinGW-w64 and run under Wine:
 *     x86_64-w64-mingw32-gcc -O2 -o best_fit_932.exe best_fit_932.c
 *     wine64 best_fit_932.exe > best_fit_932.txt
 * best_fit_932.txt in this folder was written so under wine-8.0 (Debian
 * 8.0~repack-4); gen_tables.py reads it. */
#include <stdio.h>
#include <windows.h>

static int Encode(WCHAR w, DWORD flags, unsigned char* out, BOOL* usedDefault)
{
    *usedDefault = FALSE;
    return WideCharToMultiByte(932, flags, &w, 1, (char*)out, 4, NULL, usedDefault);
}

int main(void)
{
    unsigned cp;
    int listed = 0;
    for (cp = 1; cp < 0x10000; ++cp) {
        unsigned char own[4], fit[4];
        BOOL ownDefault, fitDefault;
        int n;
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        if (Encode((WCHAR)cp, WC_NO_BEST_FIT_CHARS, own, &ownDefault) > 0 && !ownDefault)
            continue;
        n = Encode((WCHAR)cp, 0, fit, &fitDefault);
        if (n <= 0 || fitDefault) continue;
        printf("U+%04X 0x%X\n", cp, n == 1 ? fit[0] : (unsigned)(fit[0] << 8 | fit[1]));
        ++listed;
    }
    fprintf(stderr, "%d best fits\n", listed);
    return 0;
}

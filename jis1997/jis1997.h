// jis1997: detection of the character code of a text and conversion of
// Japanese texts to Microsoft code page 932 (Shift_JIS with the NEC and IBM
// extensions), the ANSI code page of the program.
//
// On Windows the library is jis1997.dll, whose functions are exported by
// ordinal only (given beside each declaration); natively it is a static
// library. All functions use the C calling convention and plain pointers.
//
// Conversions read `src` up to its first zero byte (UTF-16: its first zero
// code unit), write at most `max` bytes to `dst` and return the number of
// bytes written. They never write past `max`, never write a character in
// part, and write no terminating zero: the caller's buffer is zero-filled.
// When the next character does not fit, the conversion stops there.
//
// A character without a CP932 code of its own is written as its closest
// character where it has one: the CP932 code of the same character for the
// JIS forms U+301C, U+2016, U+2212, U+00A2, U+00A3, U+00AC and U+2014 (as
// JIS-based converters write them: 〜 as 0x8160), a blank for the no-break
// space and the other spaces of Unicode's Zs class, '-' for the en dash and
// the figure dash, Windows' best fit of code page 932 (é as e, ¥ as '\', «
// as ≪), and otherwise, for an accented Latin letter, its base letter (the
// first character of its canonical decomposition where that is an ASCII
// letter: ő as o, ệ as e; also ł, đ, ħ and ı as l, d, h and i, and Ł and Đ as
// L and D). Characters that cannot be converted so, characters
// outside the BMP, and malformed input become the geta mark U+3013 (CP932
// 0x81 0xAC), one for each character or malformed sequence; an ASCII byte is
// never swallowed by a broken sequence before it.
#pragma once

#include <stdint.h>

#if defined(_WIN32)
#define JIS_CALL __cdecl
#else
#define JIS_CALL
#endif

// Detection results.
// Text whose bytes are all below 0x80 and holds no ISO-2022-JP escape.
#define JIS_CODE_ASCII 0u
// EUC-JP: JIS X 0208 (with NEC row 13 and the NEC-selected IBM rows 89-92 of
// Microsoft's EUC-JP), half-width katakana after 0x8E, JIS X 0212 after 0x8F.
#define JIS_CODE_EUC_JP 256u
// Shift_JIS / CP932: already in the program's code; used byte for byte.
#define JIS_CODE_SHIFT_JIS 512u
// ISO-2022-JP (7-bit with escape sequences).
#define JIS_CODE_ISO2022_JP 1024u
// UTF-8, with or without a byte order mark.
#define JIS_CODE_UTF8 2048u
// UTF-16 little endian, with byte order mark FF FE or recognised without one.
#define JIS_CODE_UTF16_LE 2049u
// UTF-16 big endian, with byte order mark FE FF or recognised without one.
#define JIS_CODE_UTF16_BE 2050u
// Binary data: NUL and other control bytes make up more than 1/32 of the
// start of the text (also UTF-32). Used byte for byte.
#define JIS_CODE_BINARY 4096u
// Text in a code this library does not convert by detection: a single-byte
// code such as ISO-8859-1 / Windows-1252 (converted by ordinal 71 when its
// declaration names it, see ordinal 70), or a text whose XML declaration
// names a non-Japanese multibyte code (EUC-KR, GB2312, GBK, Big5...). Used
// byte for byte. An EUC-KR or GB2312 text WITHOUT such a declaration is
// indistinguishable from EUC-JP by its bytes and is reported as EUC-JP.
#define JIS_CODE_OTHER 8192u

#ifdef __cplusplus
extern "C" {
#endif

// Ordinal 5. Classifies `length` bytes of `text` (zero bytes included);
// returns one of the JIS_CODE_ values. The text is not changed.
//
// A byte order mark decides alone. Otherwise: UTF-16 by the pattern of zero
// bytes; binary by control bytes; ASCII, or ISO-2022-JP when it has
// escapes; UTF-8 when every 8-bit sequence is well-formed UTF-8; then
// EUC-JP, Shift_JIS or another 8-bit code by how the bytes parse and which
// characters they make. An encoding named in the XML declaration breaks ties
// between EUC-JP and Shift_JIS and marks non-Japanese multibyte codes.
uint32_t JIS_CALL JisDetectCode(const char* text, uint32_t length);

// Ordinal 43. EUC-JP to CP932. JIS X 0212 characters that CP932 lacks are
// written as their closest character (the accented Latin letters as their
// base letters), or as the geta mark where there is none; so are codes no
// character is assigned to.
uint32_t JIS_CALL JisEucToSjis(char* dst, const char* src, uint32_t max);

// Ordinal 51. ISO-2022-JP to CP932. Understands ESC ( B, ESC ( J (JIS X 0201
// Roman, kept as ASCII bytes), ESC ( I and SO/SI (half-width katakana),
// ESC $ @, ESC $ B, ESC $ ( B (JIS X 0208) and ESC $ ( D (JIS X 0212).
// Starts in ASCII. Control bytes pass in any mode; 8-bit bytes 0xA1-0xDF
// are taken as half-width katakana.
uint32_t JIS_CALL JisIso2022ToSjis(char* dst, const char* src, uint32_t max);

// Ordinal 31. UTF-8 to CP932. A byte order mark at the start is dropped.
// Each malformed sequence (maximal ill-formed subpart) and each character
// with neither a CP932 code nor a closest character becomes one geta mark.
uint32_t JIS_CALL JisUtf8ToSjis(char* dst, const char* src, uint32_t max);

// Ordinal 70. The European single-byte code that the XML declaration of
// `text` names, as a Windows code page number: 1252 for iso-8859-1, latin1,
// l1, iso_8859-1, cp819, ibm819, windows-1252, cp1252 and x-cp1252 (all read
// as Windows-1252, as browsers read them); 28605 for iso-8859-15 and latin9;
// 28592 for iso-8859-2 and latin2; 1250 for windows-1250 and cp1250. The
// declaration is looked for in the first 1 KiB of the `length` bytes and
// must come before any element; the whole label, in either kind of quotes,
// is compared without regard to case. 0 for any other label (us-ascii and
// the Japanese ones included) or no declaration. The text is not changed.
uint32_t JIS_CALL JisDeclaredSingleByteCode(const char* text, uint32_t length);

// Ordinal 71. Text in the single-byte code `codePage` (one of the results of
// ordinal 70) to CP932. A byte that the code leaves undefined becomes the
// geta mark. Any other `codePage` writes nothing.
uint32_t JIS_CALL JisSingleByteToSjis(char* dst, const char* src, uint32_t max, uint32_t codePage);

// Ordinal 63. UTF-16LE to UTF-8. A byte order mark at the start is dropped;
// a surrogate without its partner becomes U+FFFD.
uint32_t JIS_CALL JisUtf16LeToUtf8(char* dst, const char* src, uint32_t max);

// Ordinal 66. UTF-16BE to UTF-8, otherwise as ordinal 63.
uint32_t JIS_CALL JisUtf16BeToUtf8(char* dst, const char* src, uint32_t max);

// Ordinal 72. UTF-16LE to CP932 in one step: the text that ordinal 63 and
// then ordinal 31 make of it with room enough in between (a byte order mark
// is dropped, and so is a second U+FEFF right after it; a character outside
// the BMP is one geta mark; a surrogate without its partner is written as
// U+FFFD is). No character is written ahead of its own two bytes, so `dst`
// may be `src` itself: the text is then converted in place, and the bytes
// past the count hold what is left of the source.
uint32_t JIS_CALL JisUtf16LeToSjis(char* dst, const char* src, uint32_t max);

// Ordinal 73. UTF-16BE to CP932, otherwise as ordinal 72.
uint32_t JIS_CALL JisUtf16BeToSjis(char* dst, const char* src, uint32_t max);

#ifdef __cplusplus
}
#endif

// JisDetectCode: which character code a feed's bytes are in.
//
// The order of the tests, from the strongest evidence to the weakest:
// byte order mark; UTF-16 by where its zero bytes fall; binary data by
// control bytes; 7-bit texts (ASCII or ISO-2022-JP); well-formed UTF-8; a
// non-Japanese multibyte code named in the XML declaration; a single-byte
// Latin text; and last EUC-JP against Shift_JIS, by how cleanly each reading
// parses and how many odd characters (half-width katakana, unassigned rows)
// it would make. The XML declaration breaks the tie between the last two.
// JisDeclaredSingleByteCode reads the same declaration for the European
// single-byte codes, which detection alone does not convert.
#include <string.h>

#include <algorithm>

#include "jis1997.h"

namespace
{

// The start of the text that the zero-byte and control-byte tests look at.
constexpr uint32_t kSampleLength = 64 * 1024;
// How far into the text the XML declaration is looked for.
constexpr uint32_t kDeclarationSearch = 1024;

enum class Declared { kNone, kEucJp, kShiftJis, kOtherCjk, kOther };

bool InRange(unsigned char c, unsigned char lo, unsigned char hi)
{
    return static_cast<unsigned char>(c - lo) <= static_cast<unsigned char>(hi - lo);
}

bool IsAsciiLetter(unsigned char c)
{
    return InRange(c | 0x20, 'a', 'z');
}

bool StartsWithNoCase(const char* s, size_t n, const char* prefix)
{
    size_t k = strlen(prefix);
    if (n < k) return false;
    for (size_t i = 0; i < k; ++i) {
        char c = s[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        if (c != prefix[i]) return false;
    }
    return true;
}

// The label of the encoding named in an XML declaration near the start of
// the text, as found by FindDeclaredLabel.
struct CDeclaredLabel {
    const char* name = nullptr; // null when there is none
    size_t length = 0;
    bool closed = false; // its closing quote is in the searched start
    bool first = false;  // no element stands before the declaration
};

// An element's start: '<' and a name's first character.
bool IsElementStart(const char* p, const char* end)
{
    if (p + 1 >= end || p[0] != '<') return false;
    const unsigned char c = static_cast<unsigned char>(p[1]);
    return IsAsciiLetter(c) || c == '_' || c == ':' || c >= 0x80;
}

CDeclaredLabel FindDeclaredLabel(const unsigned char* s, uint32_t length)
{
    CDeclaredLabel label;
    const char* text = reinterpret_cast<const char*>(s);
    const uint32_t n = std::min(length, kDeclarationSearch);
    const char* end = text + n;
    const char* p = nullptr;
    bool elementBefore = false;
    for (const char* q = text; q + 5 <= end; ++q) {
        if (memcmp(q, "<?xml", 5) == 0) {
            p = q + 5;
            break;
        }
        elementBefore = elementBefore || IsElementStart(q, end);
    }
    if (!p) return label;
    for (; p + 8 <= end && !(p[0] == '?' && p[1] == '>'); ++p) {
        if (memcmp(p, "encoding", 8) != 0) continue;
        p += 8;
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == '='))
            ++p;
        if (p >= end || (*p != '"' && *p != '\'')) return label;
        const char quote = *p++;
        const char* nameEnd = p;
        while (nameEnd < end && *nameEnd != quote)
            ++nameEnd;
        label.name = p;
        label.length = static_cast<size_t>(nameEnd - p);
        label.closed = nameEnd < end;
        label.first = !elementBefore;
        return label;
    }
    return label;
}

bool EqualsNoCase(const char* s, size_t n, const char* name)
{
    return strlen(name) == n && StartsWithNoCase(s, n, name);
}

// The encoding named in an XML declaration near the start of the text.
Declared ReadDeclaration(const unsigned char* s, uint32_t length)
{
    const CDeclaredLabel label = FindDeclaredLabel(s, length);
    if (!label.name) return Declared::kNone;
    const char* p = label.name;
    const size_t len = label.length;
    static const char* const kEuc[] = {"euc-jp",   "euc_jp",  "eucjp",
                                       "x-euc-jp", "cp51932", "windows-51932"};
    static const char* const kSjis[] = {"shift_jis",   "shift-jis", "sjis",  "x-sjis",
                                        "windows-31j", "cp932",     "ms932", "ms_kanji",
                                        "csshiftjis",  "x-ms-cp932"};
    static const char* const kCjk[] = {"euc-kr", "euc_kr",      "ks_c_5601",   "ksc5601",
                                       "cp949",  "windows-949", "uhc",         "gb",
                                       "euc-cn", "hz",          "big5",        "cp936",
                                       "cp950",  "x-euc-tw",    "iso-2022-kr", "iso-2022-cn"};
    for (const char* e : kEuc)
        if (StartsWithNoCase(p, len, e)) return Declared::kEucJp;
    for (const char* e : kSjis)
        if (StartsWithNoCase(p, len, e)) return Declared::kShiftJis;
    for (const char* e : kCjk)
        if (StartsWithNoCase(p, len, e)) return Declared::kOtherCjk;
    return Declared::kOther;
}

// UTF-16 without a byte order mark: markup and other ASCII characters make
// code units of a zero byte and an ASCII byte, with the zero always on the
// same side. Zero bytes beside 8-bit bytes are not counted, so a stray zero
// in an 8-bit text does not make it UTF-16.
uint32_t DetectUtf16(const unsigned char* s, uint32_t length)
{
    const uint32_t pairs = std::min(length, kSampleLength) / 2;
    uint32_t zeroHigh = 0, zeroLow = 0, zeroBoth = 0; // by little-endian reading
    for (uint32_t i = 0; i < pairs; ++i) {
        const unsigned char b0 = s[2 * i], b1 = s[2 * i + 1];
        zeroHigh += b1 == 0 && InRange(b0, 0x01, 0x7F);
        zeroLow += b0 == 0 && InRange(b1, 0x01, 0x7F);
        zeroBoth += b0 == 0 && b1 == 0;
    }
    if (pairs == 0) return 0;
    if (uint64_t(zeroHigh) * 8 >= pairs && zeroHigh >= 4 * (zeroLow + zeroBoth))
        return JIS_CODE_UTF16_LE;
    if (uint64_t(zeroLow) * 8 >= pairs && zeroLow >= 4 * (zeroHigh + zeroBoth))
        return JIS_CODE_UTF16_BE;
    return 0;
}

bool LooksBinary(const unsigned char* s, uint32_t length)
{
    const uint32_t n = std::min(length, kSampleLength);
    uint32_t controls = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const unsigned char c = s[i];
        // TAB LF VT FF CR, SO SI (ISO-2022 shifts), SUB (DOS end of file) and ESC are text.
        controls += c < 0x20 && !InRange(c, 0x09, 0x0F) && c != 0x1A && c != 0x1B;
    }
    return uint64_t(controls) * 32 > n;
}

bool HasIso2022Escape(const unsigned char* s, uint32_t length)
{
    for (uint32_t i = 0; i + 2 < length; ++i) {
        if (s[i] != 0x1B) continue;
        const unsigned char a = s[i + 1], b = s[i + 2];
        if ((a == '$' && (b == '@' || b == 'B' || b == '(')) ||
            (a == '(' && (b == 'I' || b == 'J')))
            return true;
    }
    return false;
}

struct CounterStats {
    uint32_t chars = 0;    // multibyte characters
    uint32_t errors = 0;   // malformed sequences
    uint32_t kana = 0;     // full-width hiragana and katakana
    uint32_t halfKana = 0; // half-width katakana
    uint32_t rare = 0;     // codes outside the assigned rows

    // How unlikely the reading is as Japanese text; lower is better.
    uint64_t Oddness() const { return uint64_t(errors) * 16 + halfKana + uint64_t(rare) * 4; }
};

// Skips ASCII eight bytes at a time.
inline uint32_t SkipAscii(const unsigned char* s, uint32_t i, uint32_t n)
{
    while (n - i >= 8) {
        uint64_t w;
        memcpy(&w, s + i, 8);
        if (w & 0x8080808080808080ull) break;
        i += 8;
    }
    while (i < n && s[i] < 0x80)
        ++i;
    return i;
}

// True when all 8-bit bytes form well-formed UTF-8 (a sequence cut by the
// end of the text is allowed); counts the multibyte characters.
bool IsUtf8(const unsigned char* s, uint32_t n, uint32_t& chars)
{
    chars = 0;
    uint32_t i = 0;
    for (;;) {
        i = SkipAscii(s, i, n);
        if (i >= n) return true;
        const unsigned char c = s[i];
        uint32_t len;
        unsigned char lo = 0x80, hi = 0xBF;
        if (InRange(c, 0xC2, 0xDF))
            len = 2;
        else if (InRange(c, 0xE0, 0xEF)) {
            len = 3;
            lo = c == 0xE0 ? 0xA0 : 0x80;
            hi = c == 0xED ? 0x9F : 0xBF;
        } else if (InRange(c, 0xF0, 0xF4)) {
            len = 4;
            lo = c == 0xF0 ? 0x90 : 0x80;
            hi = c == 0xF4 ? 0x8F : 0xBF;
        } else
            return false;
        for (uint32_t k = 1; k < len; ++k) {
            if (i + k >= n) return true; // cut by the end of the text
            const unsigned char t = s[i + k];
            if (k == 1 ? !InRange(t, lo, hi) : (t & 0xC0) != 0x80) return false;
        }
        ++chars;
        i += len;
    }
}

CounterStats ScanEuc(const unsigned char* s, uint32_t n)
{
    CounterStats st;
    uint32_t i = 0;
    for (;;) {
        i = SkipAscii(s, i, n);
        if (i >= n) return st;
        const unsigned char c = s[i];
        if (InRange(c, 0xA1, 0xFE) && i + 1 < n && InRange(s[i + 1], 0xA1, 0xFE)) {
            const unsigned row = c - 0xA0;
            ++st.chars;
            st.kana += row == 4 || row == 5;
            st.rare += (row >= 9 && row <= 15 && row != 13) || row >= 85;
            i += 2;
        } else if (c == 0x8E && i + 1 < n && InRange(s[i + 1], 0xA1, 0xDF)) {
            ++st.chars;
            ++st.halfKana;
            i += 2;
        } else if (c == 0x8F && i + 2 < n && InRange(s[i + 1], 0xA1, 0xFE) &&
                   InRange(s[i + 2], 0xA1, 0xFE)) {
            ++st.chars;
            ++st.rare; // JIS X 0212 is rare in feeds
            i += 3;
        } else {
            st.errors += i + 1 < n; // a lead byte cut by the end is no error
            i += 1;
        }
    }
}

CounterStats ScanShiftJis(const unsigned char* s, uint32_t n)
{
    CounterStats st;
    uint32_t i = 0;
    for (;;) {
        i = SkipAscii(s, i, n);
        if (i >= n) return st;
        const unsigned char c = s[i];
        if (InRange(c, 0xA1, 0xDF)) {
            ++st.halfKana;
            i += 1;
        } else if ((InRange(c, 0x81, 0x9F) || InRange(c, 0xE0, 0xFC)) && i + 1 < n &&
                   InRange(s[i + 1], 0x40, 0xFC) && s[i + 1] != 0x7F) {
            const unsigned char t = s[i + 1];
            ++st.chars;
            st.kana += (c == 0x82 && t >= 0x9F) || (c == 0x83 && t <= 0x96);
            // Unassigned rows 9-12, 14-15 and 85-88, row 93-94, user-defined area.
            st.rare += InRange(c, 0x85, 0x86) || InRange(c, 0xEB, 0xEC) || c >= 0xEF;
            i += 2;
        } else {
            st.errors += i + 1 < n;
            i += 1;
        }
    }
}

// A Latin-1 / Windows-1252 text: its 8-bit bytes are accented letters in
// short runs inside words (or standing alone as a word, like "é"), and
// neither Japanese reading finds kana.
bool LooksLatin(const unsigned char* s, uint32_t n, const CounterStats& euc,
                const CounterStats& sjis)
{
    uint32_t runs = 0, latinRuns = 0;
    uint32_t i = 0;
    for (;;) {
        i = SkipAscii(s, i, n);
        if (i >= n) break;
        uint32_t end = i;
        while (end < n && s[end] >= 0x80)
            ++end;
        ++runs;
        const bool letterBefore = i > 0 && IsAsciiLetter(s[i - 1]);
        const bool letterAfter = end < n && IsAsciiLetter(s[end]);
        const bool word = (i == 0 || s[i - 1] == ' ') && (end == n || s[end] == ' ');
        latinRuns += end - i <= 2 && (letterBefore || letterAfter || word);
        i = end;
    }
    return runs > 0 && uint64_t(latinRuns) * 4 >= uint64_t(runs) * 3 && euc.kana == 0 &&
           uint64_t(sjis.kana) * 16 < runs;
}

} // namespace

extern "C" uint32_t JIS_CALL JisDetectCode(const char* text, uint32_t length)
{
    const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
    if (length == 0 || s == nullptr) return JIS_CODE_ASCII;
    if (length >= 3 && s[0] == 0xEF && s[1] == 0xBB && s[2] == 0xBF) return JIS_CODE_UTF8;
    if (length >= 2 && s[0] == 0xFF && s[1] == 0xFE) return JIS_CODE_UTF16_LE;
    if (length >= 2 && s[0] == 0xFE && s[1] == 0xFF) return JIS_CODE_UTF16_BE;
    if (uint32_t utf16 = DetectUtf16(s, length)) return utf16;
    if (LooksBinary(s, length)) return JIS_CODE_BINARY;

    if (SkipAscii(s, 0, length) == length)
        return HasIso2022Escape(s, length) ? JIS_CODE_ISO2022_JP : JIS_CODE_ASCII;

    uint32_t utf8Chars;
    if (IsUtf8(s, length, utf8Chars)) return JIS_CODE_UTF8;

    const Declared declared = ReadDeclaration(s, length);
    if (declared == Declared::kOtherCjk) return JIS_CODE_OTHER;

    const CounterStats euc = ScanEuc(s, length);
    // A text declared EUC-JP that reads as EUC-JP without an error is EUC-JP
    // whatever the Shift_JIS reading finds (the Latin test below needs EUC-JP
    // errors), so that second pass over the whole text is skipped.
    if (declared == Declared::kEucJp && euc.errors == 0) return JIS_CODE_EUC_JP;
    const CounterStats sjis = ScanShiftJis(s, length);
    if (euc.errors > 0 && LooksLatin(s, length, euc, sjis)) return JIS_CODE_OTHER;
    if (declared == Declared::kEucJp && euc.errors <= sjis.errors) return JIS_CODE_EUC_JP;
    if (declared == Declared::kShiftJis && sjis.errors <= euc.errors) return JIS_CODE_SHIFT_JIS;
    return euc.Oddness() < sjis.Oddness() ? JIS_CODE_EUC_JP : JIS_CODE_SHIFT_JIS;
}

extern "C" uint32_t JIS_CALL JisDeclaredSingleByteCode(const char* text, uint32_t length)
{
    // Each label as browsers read it: all the Latin-1 names as Windows-1252.
    static const struct {
        const char* name;
        uint32_t codePage;
    } kLabels[] = {
        {"iso-8859-1", 1252}, {"latin1", 1252},       {"l1", 1252},           {"iso_8859-1", 1252},
        {"cp819", 1252},      {"ibm819", 1252},       {"windows-1252", 1252}, {"cp1252", 1252},
        {"x-cp1252", 1252},   {"iso-8859-15", 28605}, {"latin9", 28605},      {"iso-8859-2", 28592},
        {"latin2", 28592},    {"windows-1250", 1250}, {"cp1250", 1250},
    };
    if (text == nullptr) return 0;
    const CDeclaredLabel label =
        FindDeclaredLabel(reinterpret_cast<const unsigned char*>(text), length);
    if (!label.name || !label.closed || !label.first) return 0;
    for (const auto& known : kLabels)
        if (EqualsNoCase(label.name, label.length, known.name)) return known.codePage;
    return 0;
}

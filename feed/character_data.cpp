#include "feed/character_data.h"

#include <cstdint>

#include "feed/html_entities.h"
#include "framework/cstring.h"
#include "jis1997/jis1997.h"

namespace
{

const char kCdataOpen[] = "<![CDATA[";
const char kCdataClose[] = "]]>";
const size_t kCdataOpenLength = sizeof(kCdataOpen) - 1;
const size_t kCdataCloseLength = sizeof(kCdataClose) - 1;
// The geta mark, CP932 0x81 0xAC: the library's sign for what has no character.
const char kGeta[] = "\x81\xAC";

bool IsAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsAsciiDigit(char c)
{
    return c >= '0' && c <= '9';
}

int HexValue(char c)
{
    if (IsAsciiDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Appends the CP932 bytes of `codePoint` as the library writes the character
// when it meets it in UTF-8 text.
void AppendCharacter(uint32_t codePoint, std::string& out)
{
    if (codePoint == 0 || (codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF) {
        out += kGeta;
        return;
    }
    // An ASCII letter goes first so that U+FEFF is not taken for a byte
    // order mark, which the conversion drops at the start of a text.
    char utf8[8] = {'A'};
    size_t n = 1;
    if (codePoint < 0x80) {
        utf8[n++] = static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        utf8[n++] = static_cast<char>(0xC0 | (codePoint >> 6));
        utf8[n++] = static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        utf8[n++] = static_cast<char>(0xE0 | (codePoint >> 12));
        utf8[n++] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        utf8[n++] = static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        utf8[n++] = static_cast<char>(0xF0 | (codePoint >> 18));
        utf8[n++] = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        utf8[n++] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        utf8[n++] = static_cast<char>(0x80 | (codePoint & 0x3F));
    }
    char sjis[8] = {};
    const uint32_t written = JisUtf8ToSjis(sjis, utf8, sizeof(sjis) - 2);
    if (written > 1) out.append(sjis + 1, written - 1);
}

// The code point of the reference that begins with the '&' at `at`, and the
// position behind its ';'. False if no reference begins there.
bool ReadReference(const std::string& s, size_t at, uint32_t& codePoint, size_t& end)
{
    const size_t n = s.size();
    size_t i = at + 1;
    if (i < n && s[i] == '#') {
        ++i;
        const bool hex = i < n && (s[i] == 'x' || s[i] == 'X');
        if (hex) ++i;
        const size_t digits = i;
        // Saturates above U+10FFFF: any number of digits, leading zeros too.
        uint32_t value = 0;
        for (;; ++i) {
            const int d =
                i < n ? (hex ? HexValue(s[i]) : (IsAsciiDigit(s[i]) ? s[i] - '0' : -1)) : -1;
            if (d < 0) break;
            value = value * (hex ? 16 : 10) + static_cast<uint32_t>(d);
            if (value > 0x110000) value = 0x110000;
        }
        if (i == digits || i >= n || s[i] != ';') return false;
        codePoint = ReferencedCodePoint(value);
        end = i + 1;
        return true;
    }
    const size_t name = i;
    while (i < n && (IsAsciiLetter(s[i]) || (i > name && IsAsciiDigit(s[i]))))
        ++i;
    if (i == name || i >= n || s[i] != ';') return false;
    codePoint = NamedEntityCodePoint(s.data() + name, i - name);
    end = i + 1;
    return codePoint != 0;
}

// Appends s[from, to) with its references decoded; `from` starts a
// character. The '&' is searched by characters, like every tag of the feed.
void AppendDecoded(const std::string& s, size_t from, size_t to, std::string& out)
{
    while (from < to) {
        size_t amp = sjis::Find(s.data(), to, "&", 1, from);
        if (amp == std::string::npos) amp = to;
        out.append(s, from, amp - from);
        if (amp == to) return;
        uint32_t codePoint;
        size_t end;
        if (ReadReference(s, amp, codePoint, end) && end <= to) {
            AppendCharacter(codePoint, out);
            from = end;
        } else {
            out += '&';
            from = amp + 1;
        }
    }
}

size_t FindCdata(const std::string& s, size_t from)
{
    return sjis::Find(s.data(), s.size(), kCdataOpen, kCdataOpenLength, from);
}

} // namespace

std::string DecodeReferences(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    AppendDecoded(text, 0, text.size(), out);
    return out;
}

std::string DecodeCharacterData(const std::string& text, CdataContent cdata)
{
    std::string out;
    out.reserve(text.size());
    size_t from = 0;
    for (;;) {
        const size_t open = FindCdata(text, from);
        if (open == std::string::npos) break;
        const size_t content = open + kCdataOpenLength;
        const size_t close =
            sjis::Find(text.data(), text.size(), kCdataClose, kCdataCloseLength, content);
        if (close == std::string::npos) break;
        AppendDecoded(text, from, open, out);
        if (cdata == CdataContent::Decoded)
            AppendDecoded(text, content, close, out);
        else
            out.append(text, content, close - content);
        from = close + kCdataCloseLength;
    }
    const size_t open = FindCdata(text, from);
    const size_t decodedEnd = open == std::string::npos ? text.size() : open;
    AppendDecoded(text, from, decodedEnd, out);
    out.append(text, decodedEnd, std::string::npos);
    return out;
}

#include "feed/item_text.h"

#include <cstring>
#include <string>

#include "feed/character_data.h"
#include "feed/feed_text.h"
#include "feed/title_markup.h"

namespace
{

bool IsControl(unsigned char c)
{
    return c < 0x20 || c == 0x7F;
}

bool IsLinkSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool EqualsNoCase(const std::string& s, size_t len, const char* word)
{
    return std::strlen(word) == len && ascii::StartsWithNoCase(s.data(), len, word);
}

// Length of the part of a file name that Windows matches against the device
// names: up to the first dot, without trailing blanks.
size_t DeviceBaseLength(const std::string& s)
{
    size_t n = s.find('.');
    if (n == std::string::npos) n = s.size();
    while (n > 0 && s[n - 1] == ' ')
        --n;
    return n;
}

// Narrows [first, last) of `s` to leave out leading and trailing blanks,
// tabs, CRs and LFs.
void TrimLinkSpace(const std::string& s, size_t& first, size_t& last)
{
    while (first < last && IsLinkSpace(s[first]))
        ++first;
    while (last > first && IsLinkSpace(s[last - 1]))
        --last;
}

// True if `t` starts with "http://" or "https://" (scheme in any case) and a
// host part: a character after the "//" that is not '/', '\\', '?' or '#'.
bool HasWebStart(const std::string& t)
{
    size_t schemeLength;
    if (ascii::StartsWithNoCase(t.data(), t.size(), "http://"))
        schemeLength = 7;
    else if (ascii::StartsWithNoCase(t.data(), t.size(), "https://"))
        schemeLength = 8;
    else
        return false;
    if (t.size() <= schemeLength) return false;
    const char hostStart = t[schemeLength];
    return !(hostStart == '/' || hostStart == '\\' || hostStart == '?' || hostStart == '#');
}

} // namespace

bool IsReservedDeviceName(const CString& name)
{
    static const char* const kDevices[] = {
        "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
        "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9",
    };
    const std::string& s = name.str();
    const size_t base = DeviceBaseLength(s);
    if (base != 3 && base != 4) return false; // the length of every device name
    for (const char* device : kDevices)
        if (EqualsNoCase(s, base, device)) return true;
    return false;
}

bool MakeSafeLink(CString& link)
{
    static const char kCdataOpen[] = "<![CDATA[";
    static const char kCdataClose[] = "]]>";
    const size_t openLength = sizeof(kCdataOpen) - 1;
    const size_t closeLength = sizeof(kCdataClose) - 1;

    const std::string& s = link.str();
    size_t first = 0;
    size_t last = s.size();
    TrimLinkSpace(s, first, last);
    if (last - first >= openLength + closeLength && s.compare(first, openLength, kCdataOpen) == 0 &&
        s.compare(last - closeLength, closeLength, kCdataClose) == 0) {
        first += openLength;
        last -= closeLength;
        TrimLinkSpace(s, first, last);
    }
    if (first > 0 || last < s.size()) link = CString(s.substr(first, last - first));

    const std::string& t = link.str();
    if (!HasWebStart(t)) return false;
    for (char c : t)
        if (IsControl(static_cast<unsigned char>(c))) return false;
    return true;
}

namespace
{

// The number of bytes of the character at s[i] that a file name keeps, and
// in `next` the position behind it. A control byte (below 0x20, and 0x7F)
// goes, and so does a Shift_JIS lead byte without its trail byte, which would
// swallow the next character (the dot of ".url", a '/' the sanitising must
// see).
size_t KeptLength(const std::string& s, size_t i, size_t& next)
{
    const unsigned char c = static_cast<unsigned char>(s[i]);
    next = i + 1;
    if (sjis::IsLeadByte(c)) {
        if (i + 1 >= s.size() || !sjis::IsTrailByte(static_cast<unsigned char>(s[i + 1]))) return 0;
        next = i + 2;
        return 2;
    }
    return IsControl(c) ? 0 : 1;
}

// The last steps of a file title whose characters are made: refused if
// `onlyDotsAndBlanks`; a first dot made full-width, a device name given a
// "_".
bool FinishFileTitle(CString& title, bool onlyDotsAndBlanks)
{
    if (onlyDotsAndBlanks) return false;

    // The folder is emptied of everything but names that begin with a dot,
    // so such a shortcut would never go again: its first dot becomes the
    // full-width full stop.
    if (title.GetAt(0) == '.') title = CString("\x81\x44") + title.Mid(1);

    if (IsReservedDeviceName(title)) {
        std::string named = title.str();
        named.insert(DeviceBaseLength(named), 1, '_');
        title = CString(std::move(named));
    }
    return true;
}

} // namespace

bool MakeItemFileTitle(CString& title)
{
    const std::string& s = title.str();
    const size_t n = s.size();
    std::string clean;
    clean.reserve(n);
    for (size_t i = 0, next; i < n; i = next)
        clean.append(s, i, KeptLength(s, i, next));

    // Blanks are single bytes and never trail bytes, so trimming cannot cut a
    // double-byte character.
    const size_t first = clean.find_first_not_of(' ');
    if (first == std::string::npos) return false;
    clean.erase(clean.find_last_not_of(' ') + 1);
    clean.erase(0, first);
    title = CString(std::move(clean));
    SanitizeFileName(title);
    return FinishFileTitle(title, title.str().find_first_not_of(". ") == std::string::npos);
}

namespace
{

// Writes the file title that the characters of `s` make, in one walk: what
// MakeItemFileTitle's step 1 removes goes, each run of white space left
// between the characters kept becomes one blank and the ends are trimmed
// (so that "a &#11; b" gives "a b"), and SanitizeFileName's replacements are
// made. Sets `onlyDotsAndBlanks` if nothing but dots is kept. If `stopAtMarkup`
// and `s` may hold markup (a '<', or an '&' with a ';' behind it: a CDATA
// section, a tag or a character reference), returns false at once.
bool WriteNameCharacters(const std::string& s, bool stopAtMarkup, std::string& out,
                         bool& onlyDotsAndBlanks)
{
    const size_t n = s.size();
    out.resize(2 * n); // a character kept gives at most two bytes
    char* const begin = &out[0];
    char* p = begin;
    bool blank = false;
    bool semicolonBehind = stopAtMarkup;
    onlyDotsAndBlanks = true;
    // White space and the other ASCII bytes lie below the trail bytes of
    // Shift_JIS or are checked as such: a walk that takes each lead byte with
    // its trail byte never takes the second byte of a character for them.
    for (size_t i = 0, next; i < n; i = next) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        next = i + 1;
        if (c > ' ' && c < 0x7F && c != '<' && c != '&') { // most of any title
            if (blank && p != begin) *p++ = ' ';
            blank = false;
            if (const char* to = FileNameReplacement(c)) {
                *p++ = to[0];
                *p++ = to[1];
            } else {
                *p++ = static_cast<char>(c);
            }
            if (c != '.') onlyDotsAndBlanks = false;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            blank = true;
            continue;
        }
        if (stopAtMarkup && (c == '<' || c == '&')) {
            if (c == '<') return false;
            if (semicolonBehind && std::memchr(s.data() + i, ';', n - i)) return false;
            semicolonBehind = false; // none behind this '&', so none behind a later one
        }
        const size_t kept = KeptLength(s, i, next);
        if (kept == 0) continue;
        if (blank && p != begin) *p++ = ' ';
        blank = false;
        const char* to = kept == 1 ? FileNameReplacement(c) : nullptr;
        if (to) {
            *p++ = to[0];
            *p++ = to[1];
        } else {
            *p++ = static_cast<char>(c);
            if (kept == 2) *p++ = s[i + 1];
        }
        if (c != '.') onlyDotsAndBlanks = false;
    }
    out.resize(static_cast<size_t>(p - begin));
    return true;
}

// Whether the trimmed link of `s`, [first, last), holds a '<', or an '&' with
// a ';' behind it (`markup`), and a control character (`control`). The
// control walk has no branch to leave early, so the compiler may take many
// bytes at a time.
void ScanLink(const std::string& s, size_t first, size_t last, bool& markup, bool& control)
{
    const char* const p = s.data() + first;
    const size_t n = last - first;
    const char* amp = static_cast<const char*>(std::memchr(p, '&', n));
    markup = std::memchr(p, '<', n) || (amp && std::memchr(amp, ';', p + n - amp));
    unsigned char any = 0;
    for (size_t i = 0; i < n; ++i)
        any |= IsControl(static_cast<unsigned char>(p[i]));
    control = any != 0;
}

} // namespace

bool MakeItemName(CString& title, TitleMarkup markup)
{
    std::string out;
    bool onlyDotsAndBlanks;
    if (!WriteNameCharacters(title.str(), true, out, onlyDotsAndBlanks)) {
        std::string text = title.str();
        if (markup == TitleMarkup::AtomXhtml) text = RemoveTags(text, TagsRemoved::All);
        text = DecodeCharacterData(text, markup == TitleMarkup::Rss ? CdataContent::Decoded
                                                                    : CdataContent::Literal);
        if (markup == TitleMarkup::Rss)
            text = RemoveTags(text, TagsRemoved::Inline);
        else if (markup == TitleMarkup::AtomHtml)
            text = DecodeReferences(RemoveTags(text, TagsRemoved::All));
        WriteNameCharacters(text, false, out, onlyDotsAndBlanks);
    }
    if (out.empty()) return false;
    title = CString(std::move(out));
    return FinishFileTitle(title, onlyDotsAndBlanks);
}

bool MakeItemLink(CString& link)
{
    const std::string& s = link.str();
    size_t first = 0;
    size_t last = s.size();
    TrimLinkSpace(s, first, last);
    bool markup, control;
    ScanLink(s, first, last, markup, control);
    if (markup) {
        link = CString(DecodeCharacterData(s));
        return MakeSafeLink(link);
    }
    // Without a '<' there is no CDATA section to unwrap: what MakeSafeLink
    // would do is left, the control characters already looked for.
    if (first > 0 || last < s.size()) link = CString(s.substr(first, last - first));
    return HasWebStart(link.str()) && !control;
}

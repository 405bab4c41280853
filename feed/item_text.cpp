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
    size_t schemeLength;
    if (ascii::StartsWithNoCase(t.data(), t.size(), "http://"))
        schemeLength = 7;
    else if (ascii::StartsWithNoCase(t.data(), t.size(), "https://"))
        schemeLength = 8;
    else
        return false;
    if (t.size() <= schemeLength) return false;
    const char hostStart = t[schemeLength];
    if (hostStart == '/' || hostStart == '\\' || hostStart == '?' || hostStart == '#') return false;
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

// The steps of MakeItemFileTitle behind the clean-up of its characters.
bool FinishFileTitle(CString& title)
{
    SanitizeFileName(title);

    if (title.str().find_first_not_of(". ") == std::string::npos) return false;

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
    return FinishFileTitle(title);
}

namespace
{

// True if `s` may hold a CDATA section, a tag or a character reference:
// the first two need a '<', a reference an '&' and a ';' behind it.
bool HasMarkup(const std::string& s)
{
    if (s.find('<') != std::string::npos) return true;
    const size_t amp = s.find('&');
    return amp != std::string::npos && s.find(';', amp) != std::string::npos;
}

// The file title of a title whose markup is gone: each run of white space
// becomes one blank and the ends are trimmed once the characters that no
// file name may hold are gone, so that "a &#11; b" gives "a b"; then the steps
// of MakeItemFileTitle behind its clean-up.
bool MakeNameOfText(CString& title)
{
    const std::string& s = title.str();
    std::string out;
    out.reserve(s.size());
    bool blank = false;
    // White space lies below the trail bytes of Shift_JIS: a byte walk never
    // takes the second byte of a character for it.
    for (size_t i = 0, next; i < s.size(); i = next) {
        if (IsLinkSpace(s[i])) {
            blank = true;
            next = i + 1;
            continue;
        }
        const size_t kept = KeptLength(s, i, next);
        if (kept == 0) continue;
        if (blank && !out.empty()) out += ' ';
        blank = false;
        out.append(s, i, kept);
    }
    if (out.empty()) return false;
    title = CString(std::move(out));
    return FinishFileTitle(title);
}

} // namespace

bool MakeItemName(CString& title, TitleMarkup markup)
{
    if (HasMarkup(title.str())) {
        std::string text = title.str();
        if (markup == TitleMarkup::AtomXhtml) text = RemoveTags(text, TagsRemoved::All);
        text = DecodeCharacterData(text, markup == TitleMarkup::Rss ? CdataContent::Decoded
                                                                    : CdataContent::Literal);
        if (markup == TitleMarkup::Rss)
            text = RemoveTags(text, TagsRemoved::Inline);
        else if (markup == TitleMarkup::AtomHtml)
            text = DecodeReferences(RemoveTags(text, TagsRemoved::All));
        title = CString(std::move(text));
    }
    return MakeNameOfText(title);
}

bool MakeItemLink(CString& link)
{
    if (HasMarkup(link.str())) link = CString(DecodeCharacterData(link.str()));
    return MakeSafeLink(link);
}

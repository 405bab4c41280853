#include "feed/item_scan.h"

#include <cstring>

#include "feed/feed_text.h"

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

bool IsTrailByte(unsigned char c)
{
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(const std::string& s, const char* prefix)
{
    const size_t n = std::strlen(prefix);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (AsciiLower(s[i]) != prefix[i]) return false;
    return true;
}

bool EqualsNoCase(const std::string& s, size_t len, const char* word)
{
    if (std::strlen(word) != len) return false;
    for (size_t i = 0; i < len; ++i)
        if (AsciiLower(s[i]) != AsciiLower(word[i])) return false;
    return true;
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

// Text between `open` and `close`, both searched from the start of `body`.
// Returns false if either tag is missing.
bool TakeBetween(const CString& body, const char* open, const char* close, CString& out)
{
    const int start = body.Find(open);
    const int end = body.Find(close);
    if (start < 0 || end < 0) return false;
    const int first = start + static_cast<int>(std::strlen(open));
    out = first < end ? body.Mid(first, end - first) : CString();
    return true;
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
    for (const char* device : kDevices)
        if (EqualsNoCase(s, base, device)) return true;
    return false;
}

bool MakeSafeLink(CString& link)
{
    const std::string& s = link.str();
    size_t first = 0;
    size_t last = s.size();
    while (first < last && IsLinkSpace(s[first]))
        ++first;
    while (last > first && IsLinkSpace(s[last - 1]))
        --last;
    if (first > 0 || last < s.size()) link = CString(s.substr(first, last - first));

    const std::string& t = link.str();
    size_t schemeLength;
    if (StartsWithNoCase(t, "http://"))
        schemeLength = 7;
    else if (StartsWithNoCase(t, "https://"))
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

bool MakeItemFileTitle(CString& title)
{
    const std::string& s = title.str();
    const size_t n = s.size();
    std::string clean;
    clean.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (sjis::IsLeadByte(c)) {
            if (i + 1 < n && IsTrailByte(static_cast<unsigned char>(s[i + 1]))) {
                clean.append(s, i, 2);
                ++i;
            }
            continue; // a lead byte without its trail byte goes
        }
        if (!IsControl(c)) clean += static_cast<char>(c);
    }

    // Blanks are single bytes and never trail bytes, so trimming cannot cut a
    // double-byte character.
    const size_t first = clean.find_first_not_of(' ');
    if (first == std::string::npos) return false;
    const size_t last = clean.find_last_not_of(' ');
    title = CString(clean.substr(first, last - first + 1));

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

void ScanFeedItems(const CString& text, const ItemSink& emit)
{
    static const char kItemOpen[] = "<item>";
    static const char kItemClose[] = "</item>";
    const int itemOpenLength = static_cast<int>(sizeof(kItemOpen) - 1);
    const int itemCloseLength = static_cast<int>(sizeof(kItemClose) - 1);

    CString body;
    CString title;
    CString link;
    int position = 0;
    for (;;) {
        const int open = text.Find(kItemOpen, position);
        const int close = text.Find(kItemClose, position);
        if (open < 0 || close < 0) return;
        const int bodyStart = open + itemOpenLength;
        if (close - bodyStart <= 0) return; // empty item, or a stray "</item>"
        body = text.Mid(bodyStart, close - bodyStart);
        position = close + itemCloseLength;

        if (!TakeBetween(body, "<title>", "</title>", title)) continue;
        if (title.IsEmpty()) return;
        if (!TakeBetween(body, "<link>", "</link>", link)) continue;
        if (link.IsEmpty()) return;

        if (!MakeSafeLink(link)) continue;
        if (!MakeItemFileTitle(title)) continue;
        emit(title, link);
    }
}

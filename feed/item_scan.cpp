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

// Text between `open` and `close`, both searched by characters from the
// start of the `length` bytes at `body`. Returns false if either tag is
// missing.
bool TakeBetween(const char* body, size_t length, const char* open, const char* close, CString& out)
{
    const size_t openLength = std::strlen(open);
    const size_t start = sjis::Find(body, length, open, openLength, 0);
    if (start == std::string::npos) return false;
    const size_t end = sjis::Find(body, length, close, std::strlen(close), 0);
    if (end == std::string::npos) return false;
    const size_t first = start + openLength;
    out = first < end ? CString(body + first, static_cast<int>(end - first)) : CString();
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

bool MakeItemFileTitle(CString& title)
{
    const std::string& s = title.str();
    const size_t n = s.size();
    std::string clean;
    clean.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (sjis::IsLeadByte(c)) {
            if (i + 1 < n && sjis::IsTrailByte(static_cast<unsigned char>(s[i + 1]))) {
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
    clean.erase(clean.find_last_not_of(' ') + 1);
    clean.erase(0, first);
    title = CString(std::move(clean));

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

namespace
{

bool IsXmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Position behind the first `close` at or after `from` (searched by
// characters), or npos.
size_t SkipPast(const std::string& s, size_t from, const char* close)
{
    const size_t at = sjis::Find(s.data(), s.size(), close, std::strlen(close), from);
    return at == std::string::npos ? at : at + std::strlen(close);
}

// Position behind "<!DOCTYPE ...>", whose internal subset in brackets may
// hold '>' of its own.
size_t SkipDoctype(const std::string& s, size_t i)
{
    bool subset = false;
    while (i < s.size()) {
        const char c = s[i];
        if (c == '[')
            subset = true;
        else if (c == ']')
            subset = false;
        else if (c == '>' && !subset)
            return i + 1;
        i += sjis::CharLength(s.data(), i, s.size());
    }
    return std::string::npos;
}

// True if the text's root element is "feed" or "P:feed" for a prefix P: the
// first element behind any white space, XML declaration, processing
// instructions, comments and DOCTYPE. `prefix` is set to "" or "P:".
bool IsAtomFeed(const std::string& s, std::string& prefix)
{
    size_t i = 0;
    while (i < s.size()) {
        if (IsXmlSpace(s[i])) {
            ++i;
        } else if (s.compare(i, 2, "<?") == 0) {
            i = SkipPast(s, i + 2, "?>");
        } else if (s.compare(i, 4, "<!--") == 0) {
            i = SkipPast(s, i + 4, "-->");
        } else if (s.compare(i, 9, "<!DOCTYPE") == 0) {
            i = SkipDoctype(s, i + 9);
        } else {
            if (s[i] != '<') return false;
            size_t nameEnd = i + 1;
            while (nameEnd < s.size() && !IsXmlSpace(s[nameEnd]) && s[nameEnd] != '>' &&
                   s[nameEnd] != '/')
                ++nameEnd;
            if (nameEnd >= s.size()) return false;
            const std::string name = s.substr(i + 1, nameEnd - i - 1);
            const size_t colon = name.find(':');
            prefix = colon == std::string::npos ? std::string() : name.substr(0, colon + 1);
            return colon != 0 && name.compare(prefix.size(), std::string::npos, "feed") == 0;
        }
        if (i == std::string::npos) return false;
    }
    return false;
}

// Position of the '>' that ends the tag whose name ends at `i` ('>' inside a
// quoted attribute value does not count), or npos.
size_t FindTagEnd(const std::string& s, size_t i)
{
    char quote = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i;
        }
        i += sjis::CharLength(s.data(), i, s.size());
    }
    return std::string::npos;
}

// The elements of an entry that an entry's own title and link are never
// taken from: the feed it was copied from, and its text.
const char* const kAtomForeignElements[] = {"source", "content", "summary"};

// Position behind the markup that begins at `at` when the search for an
// Atom tag steps over it: a comment and, `inEntry`, a CDATA section or a
// whole source, content or summary element (with the feed's prefix). `at`
// when it is none of them; npos when it is never closed.
size_t SkipForeign(const std::string& s, size_t at, const std::string& prefix, bool inEntry)
{
    if (s.compare(at, 4, "<!--") == 0) return SkipPast(s, at + 4, "-->");
    if (!inEntry) return at;
    if (s.compare(at, 9, "<![CDATA[") == 0) return SkipPast(s, at + 9, "]]>");
    for (const char* name : kAtomForeignElements) {
        const std::string open = "<" + prefix + name;
        const size_t after = at + open.size();
        if (s.compare(at, open.size(), open) != 0 || after >= s.size() ||
            !(s[after] == '>' || s[after] == '/' || IsXmlSpace(s[after])))
            continue;
        const size_t close = FindTagEnd(s, after);
        if (close == std::string::npos) return close;
        if (s[close - 1] == '/') return close + 1;
        return SkipPast(s, close + 1, ("</" + prefix + name + ">").c_str());
    }
    return at;
}

// Position of the next `pattern`, which begins with '<', at or after `from`
// (searched by characters), outside what SkipForeign steps over; npos if
// there is none.
size_t FindMarkup(const std::string& s, const std::string& pattern, size_t from,
                  const std::string& prefix, bool inEntry)
{
    for (size_t at = from;;) {
        at = sjis::Find(s.data(), s.size(), "<", 1, at);
        if (at == std::string::npos) return at;
        if (s.compare(at, pattern.size(), pattern) == 0) return at;
        const size_t past = SkipForeign(s, at, prefix, inEntry);
        if (past == std::string::npos) return past;
        at = past == at ? at + 1 : past;
    }
}

// Finds the next start tag `<name>` or `<name ...>` (name with the feed's
// prefix) at or after `from`, outside what SkipForeign steps over. Sets
// `tagStart` to its '<' and `contentStart` behind its '>' (npos if the tag
// is not closed) and `selfClosing` if it ends in "/>". Returns false if
// there is no such tag.
bool FindStartTag(const std::string& s, const char* name, const std::string& prefix, bool inEntry,
                  size_t from, size_t& tagStart, size_t& contentStart, bool& selfClosing)
{
    const std::string open = "<" + prefix + name;
    for (size_t at = from;;) {
        at = FindMarkup(s, open, at, prefix, inEntry);
        if (at == std::string::npos) return false;
        const size_t after = at + open.size();
        if (after < s.size() && (s[after] == '>' || IsXmlSpace(s[after]) || s[after] == '/')) {
            const size_t close = FindTagEnd(s, after);
            tagStart = at;
            contentStart = close == std::string::npos ? close : close + 1;
            selfClosing = close != std::string::npos && close > after && s[close - 1] == '/';
            return true;
        }
        at = after;
    }
}

// The attributes of the start tag that begins at `tagStart`: calls
// `attribute(name, value)` for each name="value" or name='value'.
template <typename Visit>
void ForEachAttribute(const std::string& s, size_t i, size_t end, Visit attribute)
{
    while (i < end) {
        while (i < end && IsXmlSpace(s[i]))
            ++i;
        const size_t nameStart = i;
        while (i < end && !IsXmlSpace(s[i]) && s[i] != '=' && s[i] != '>' && s[i] != '/')
            i += sjis::CharLength(s.data(), i, end);
        const size_t nameEnd = i;
        while (i < end && IsXmlSpace(s[i]))
            ++i;
        if (i >= end || s[i] != '=') {
            if (i == nameStart) ++i; // a stray '/' or '>'
            continue;
        }
        ++i;
        while (i < end && IsXmlSpace(s[i]))
            ++i;
        if (i >= end || (s[i] != '"' && s[i] != '\'')) continue;
        const char quote = s[i++];
        const size_t valueStart = i;
        while (i < end && s[i] != quote)
            i += sjis::CharLength(s.data(), i, end);
        if (i >= end) return; // unterminated value
        attribute(s.substr(nameStart, nameEnd - nameStart), s.substr(valueStart, i - valueStart));
        ++i;
    }
}

// The link of an Atom entry body: the href of the first <link ...> that has
// one and whose rel is absent or "alternate".
bool TakeAtomLink(const std::string& body, const std::string& prefix, CString& link)
{
    size_t tagStart, contentStart;
    bool selfClosing;
    size_t from = 0;
    while (FindStartTag(body, "link", prefix, true, from, tagStart, contentStart, selfClosing)) {
        if (contentStart == std::string::npos) return false;
        bool hasHref = false, alternate = true;
        std::string href;
        ForEachAttribute(body, tagStart + 1 + prefix.size() + 4, contentStart - 1,
                         [&](const std::string& name, const std::string& value) {
                             if (name == "href" && !hasHref) {
                                 hasHref = true;
                                 href = value;
                             } else if (name == "rel") {
                                 alternate = value == "alternate";
                             }
                         });
        if (hasHref && alternate) {
            link = CString(std::move(href));
            return true;
        }
        from = contentStart;
    }
    return false;
}

// The title of an Atom entry body: the text between the first <title> or
// <title ...> and the next </title>.
bool TakeAtomTitle(const std::string& body, const std::string& prefix, CString& title)
{
    size_t tagStart, contentStart;
    bool selfClosing;
    if (!FindStartTag(body, "title", prefix, true, 0, tagStart, contentStart, selfClosing))
        return false;
    if (contentStart == std::string::npos || selfClosing) return false;
    const std::string close = "</" + prefix + "title>";
    const size_t end =
        sjis::Find(body.data(), body.size(), close.data(), close.size(), contentStart);
    if (end == std::string::npos) return false;
    title = CString(body.substr(contentStart, end - contentStart));
    return true;
}

// Each <entry> ... </entry> in order (outside comments) is an item; one
// without a usable title or link is skipped and the scan goes on.
void ScanAtomEntries(const std::string& text, const std::string& prefix, const ItemSink& emit)
{
    const std::string entryClose = "</" + prefix + "entry>";
    CString title;
    CString link;
    size_t position = 0;
    size_t tagStart, bodyStart;
    bool selfClosing;
    while (FindStartTag(text, "entry", prefix, false, position, tagStart, bodyStart, selfClosing)) {
        if (bodyStart == std::string::npos) return;
        if (selfClosing) {
            position = bodyStart;
            continue;
        }
        const size_t close = FindMarkup(text, entryClose, bodyStart, prefix, false);
        if (close == std::string::npos) return;
        const std::string body = text.substr(bodyStart, close - bodyStart);
        position = close + entryClose.size();

        if (!TakeAtomTitle(body, prefix, title) || !TakeAtomLink(body, prefix, link)) continue;
        if (!MakeSafeLink(link)) continue;
        if (!MakeItemFileTitle(title)) continue;
        emit(title, link);
    }
}

void ScanRssItems(const CString& text, const ItemSink& emit)
{
    static const char kItemOpen[] = "<item>";
    static const char kItemClose[] = "</item>";
    const int itemOpenLength = static_cast<int>(sizeof(kItemOpen) - 1);
    const int itemCloseLength = static_cast<int>(sizeof(kItemClose) - 1);

    CString title;
    CString link;
    int position = 0;
    for (;;) {
        const int open = text.Find(kItemOpen, position);
        const int close = text.Find(kItemClose, position);
        if (open < 0 || close < 0) return;
        const int bodyStart = open + itemOpenLength;
        if (close - bodyStart <= 0) return; // empty item, or a stray "</item>"
        // The body is searched where it stands, as if cut out on its own.
        const char* const body = text.GetString() + bodyStart;
        const size_t bodyLength = static_cast<size_t>(close - bodyStart);
        position = close + itemCloseLength;

        if (!TakeBetween(body, bodyLength, "<title>", "</title>", title)) continue;
        if (title.IsEmpty()) return;
        if (!TakeBetween(body, bodyLength, "<link>", "</link>", link)) continue;
        if (link.IsEmpty()) return;

        if (!MakeSafeLink(link)) continue;
        if (!MakeItemFileTitle(title)) continue;
        emit(title, link);
    }
}

} // namespace

void ScanFeedItems(const CString& text, const ItemSink& emit)
{
    std::string prefix;
    if (IsAtomFeed(text.str(), prefix))
        ScanAtomEntries(text.str(), prefix, emit);
    else
        ScanRssItems(text, emit);
}

// The Atom entry scan (Atom 1.0 and 0.3).
#include <cstring>

#include "feed/feed_scans.h"
#include "feed/item_text.h"
#include "feed/title_markup.h"

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

// What an Atom title's type says of its markup; Atom 0.3's media types
// for HTML and XHTML count as "html" and "xhtml".
TitleMarkup AtomTitleMarkup(const std::string& type)
{
    if (type == "html" || type == "text/html") return TitleMarkup::AtomHtml;
    if (type == "xhtml" || type == "application/xhtml+xml") return TitleMarkup::AtomXhtml;
    return TitleMarkup::AtomText;
}

// The title of an Atom entry body: the text between the first <title> or
// <title ...> and the next </title>, and the markup its type gives.
bool TakeAtomTitle(const std::string& body, const std::string& prefix, CString& title,
                   TitleMarkup& markup)
{
    size_t tagStart, contentStart;
    bool selfClosing;
    if (!FindStartTag(body, "title", prefix, true, 0, tagStart, contentStart, selfClosing))
        return false;
    if (contentStart == std::string::npos || selfClosing) return false;
    markup = TitleMarkup::AtomText;
    ForEachAttribute(body, tagStart + 1 + prefix.size() + 5, contentStart - 1,
                     [&](const std::string& name, const std::string& value) {
                         if (name == "type") markup = AtomTitleMarkup(value);
                     });
    const std::string close = "</" + prefix + "title>";
    const size_t end =
        sjis::Find(body.data(), body.size(), close.data(), close.size(), contentStart);
    if (end == std::string::npos) return false;
    title = CString(body.substr(contentStart, end - contentStart));
    return true;
}

} // namespace

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

// An entry without a usable title or link is skipped and the scan goes on.
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

        TitleMarkup markup;
        if (!TakeAtomTitle(body, prefix, title, markup) || !TakeAtomLink(body, prefix, link))
            continue;
        if (!MakeItemLink(link)) continue;
        if (!MakeItemName(title, markup)) continue;
        emit(title, link);
    }
}

#include "fetch/feed_discovery.h"

#include <cstring>
#include <map>
#include <string>

#include "feed/decode_feed.h"

namespace
{

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

// True when s[pos...] begins with `word`, ASCII letters in any case.
bool At(const std::string& s, size_t pos, const char* word)
{
    return pos <= s.size() && ascii::StartsWithNoCase(s.data() + pos, s.size() - pos, word);
}

// True when s[pos...] begins with the tag `open` ("<link") followed by the
// end of its name.
bool TagAt(const std::string& s, size_t pos, const char* open)
{
    if (!At(s, pos, open)) return false;
    const size_t end = pos + std::strlen(open);
    return end == s.size() || IsBlank(s[end]) || s[end] == '/' || s[end] == '>';
}

// The position right behind the first `end` from `pos` on; the end of the
// text when there is none.
size_t After(const std::string& s, size_t pos, const char* end)
{
    const size_t found = s.find(end, pos);
    return found == std::string::npos ? s.size() : found + std::strlen(end);
}

// Skips the element at `pos`, whose content is raw text that may hold
// anything, "<link" too: behind its closing tag `close` ("</script").
size_t SkipRawText(const std::string& s, size_t pos, const char* close)
{
    for (pos = s.find('<', pos + 1); pos != std::string::npos; pos = s.find('<', pos + 1))
        if (TagAt(s, pos, close)) return After(s, pos, ">");
    return s.size();
}

std::string LowerCase(std::string text)
{
    for (char& c : text)
        c = ascii::Lower(c);
    return text;
}

// Reads the attributes of a tag from `pos` (behind its name) to its '>'
// into `attributes` (names in lower case; the first of a name counts, as in
// a browser). Returns the position behind the tag, or npos for a tag the
// text ends in, which a browser drops.
size_t ReadAttributes(const std::string& s, size_t pos,
                      std::map<std::string, std::string>& attributes)
{
    const size_t n = s.size();
    for (;;) {
        while (pos < n && (IsBlank(s[pos]) || s[pos] == '/'))
            ++pos;
        if (pos >= n) return std::string::npos;
        if (s[pos] == '>') return pos + 1;
        const size_t nameStart = pos++; // a leading '=' belongs to the name
        while (pos < n && !IsBlank(s[pos]) && s[pos] != '/' && s[pos] != '>' && s[pos] != '=')
            ++pos;
        const std::string name = LowerCase(s.substr(nameStart, pos - nameStart));
        size_t p = pos;
        while (p < n && IsBlank(s[p]))
            ++p;
        std::string value;
        if (p < n && s[p] == '=') {
            ++p;
            while (p < n && IsBlank(s[p]))
                ++p;
            if (p < n && (s[p] == '"' || s[p] == '\'')) {
                const size_t end = s.find(s[p], p + 1);
                if (end == std::string::npos) return std::string::npos;
                value = s.substr(p + 1, end - p - 1);
                pos = end + 1;
            } else {
                const size_t start = p;
                while (p < n && !IsBlank(s[p]) && s[p] != '>')
                    ++p;
                value = s.substr(start, p - start);
                pos = p;
            }
        }
        attributes.emplace(name, value);
    }
}

// True when the blank-separated words of `value` include `word` (any case).
bool HoldsWord(const std::string& value, const char* word)
{
    const size_t length = std::strlen(word);
    size_t pos = 0;
    while (pos < value.size()) {
        while (pos < value.size() && IsBlank(value[pos]))
            ++pos;
        size_t end = pos;
        while (end < value.size() && !IsBlank(value[end]))
            ++end;
        if (end - pos == length && At(value, pos, word)) return true;
        pos = end;
    }
    return false;
}

std::string TrimBlanks(const std::string& s)
{
    size_t first = 0;
    size_t last = s.size();
    while (first < last && IsBlank(s[first]))
        ++first;
    while (last > first && IsBlank(s[last - 1]))
        --last;
    return s.substr(first, last - first);
}

// A feed's media type, parameters (";charset=...") aside.
bool IsFeedType(const std::string& type)
{
    const std::string bare = LowerCase(TrimBlanks(type.substr(0, type.find(';'))));
    return bare == "application/rss+xml" || bare == "application/atom+xml" ||
           bare == "application/rdf+xml";
}

// The character a reference ("amp", "#38", "#x26") stands for when it is an
// ASCII character; 0 otherwise.
char ReferencedAscii(const std::string& name)
{
    static const struct {
        const char* name;
        char c;
    } kNamed[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto& named : kNamed)
        if (name == named.name) return named.c;
    if (name.size() < 2 || name[0] != '#') return 0;
    const bool hex = name[1] == 'x' || name[1] == 'X';
    const size_t first = hex ? 2 : 1;
    if (first == name.size() || name.size() - first > 6) return 0;
    unsigned long code = 0;
    for (size_t i = first; i < name.size(); ++i) {
        const char c = ascii::Lower(name[i]);
        const int digit = c >= '0' && c <= '9'          ? c - '0'
                          : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                        : -1;
        if (digit < 0) return 0;
        code = code * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
    }
    return code > 0 && code < 0x80 ? static_cast<char>(code) : 0;
}

// An href as a browser takes it: references to ASCII characters decoded
// (others kept as written), blanks around it and line breaks and tabs in it
// dropped.
std::string UrlOfHref(const std::string& value)
{
    std::string url;
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\t' || c == '\r' || c == '\n') continue;
        const size_t semicolon = c == '&' ? value.find(';', i + 1) : std::string::npos;
        const char decoded = semicolon == std::string::npos
                                 ? 0
                                 : ReferencedAscii(value.substr(i + 1, semicolon - i - 1));
        if (decoded) {
            url += decoded;
            i = semicolon;
        } else {
            url += c;
        }
    }
    return TrimBlanks(url);
}

bool HoldsControlCharacter(const std::string& text)
{
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F) return true;
    return false;
}

} // namespace

bool IsHtmlPage(const CString& text)
{
    const std::string& s = text.str();
    size_t pos = At(s, 0, "\xEF\xBB\xBF") ? 3 : 0;
    for (;;) {
        while (pos < s.size() && IsBlank(s[pos]))
            ++pos;
        if (At(s, pos, "<!--"))
            pos = After(s, pos + 4, "-->");
        else if (At(s, pos, "<?"))
            pos = After(s, pos + 2, "?>");
        else if (At(s, pos, "<!"))
            pos = After(s, pos + 2, ">");
        else
            return TagAt(s, pos, "<html");
    }
}

bool FindFeedLink(const CString& text, CString& href,
                  const std::function<bool(const CString&)>& accept)
{
    const std::string& s = text.str();
    size_t pos = 0;
    while ((pos = s.find('<', pos)) != std::string::npos) {
        if (At(s, pos, "<!--")) {
            pos = After(s, pos + 4, "-->");
        } else if (TagAt(s, pos, "<script")) {
            pos = SkipRawText(s, pos, "</script");
        } else if (TagAt(s, pos, "<style")) {
            pos = SkipRawText(s, pos, "</style");
        } else if (TagAt(s, pos, "<link")) {
            std::map<std::string, std::string> attributes;
            pos = ReadAttributes(s, pos + 5, attributes);
            if (pos == std::string::npos) return false;
            const std::string& rel = attributes["rel"];
            // "alternate stylesheet" names a style sheet, whatever its type.
            if (!HoldsWord(rel, "alternate") || HoldsWord(rel, "stylesheet") ||
                !IsFeedType(attributes["type"]))
                continue;
            const CString url(UrlOfHref(attributes["href"]));
            if (url.IsEmpty() || HoldsControlCharacter(url.str()) || (accept && !accept(url)))
                continue;
            href = url;
            return true;
        } else {
            ++pos;
        }
    }
    return false;
}

DownloadKind ExamineDownload(const char* path, CString& href,
                             const std::function<bool(const CString&)>& accept)
{
    CString text;
    DecodeFeedFile(path, text);
    if (!IsHtmlPage(text)) return DownloadKind::feed;
    return FindFeedLink(text, href, accept) ? DownloadKind::pageWithFeedLink
                                            : DownloadKind::pageWithoutFeedLink;
}

#include "feed/title_markup.h"

#include <utility>

#include "framework/cstring.h"

namespace
{

// The inline elements of HTML that feeds write into titles meant as text.
const char* const kInlineTags[] = {
    "a",      "abbr", "b",   "big",  "br", "cite", "code", "del",   "em",   "font",
    "i",      "ins",  "kbd", "mark", "q",  "s",    "samp", "small", "span", "strike",
    "strong", "sub",  "sup", "time", "tt", "u",    "var",  "wbr",
};

bool IsWhiteSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsAsciiAlnum(char c)
{
    return IsAsciiLetter(c) || (c >= '0' && c <= '9');
}

bool IsInlineTag(const std::string& s, size_t first, size_t last)
{
    for (const char* tag : kInlineTags) {
        size_t k = 0;
        while (tag[k] && first + k < last && ascii::Lower(s[first + k]) == tag[k])
            ++k;
        if (!tag[k] && first + k == last) return true;
    }
    return false;
}

// The tag of `which` that begins with the '<' at `at`: sets `end` behind
// it and `lineBreak` for a <br>. False if none begins there.
bool ReadTag(const std::string& s, size_t at, TagsRemoved which, size_t& end, bool& lineBreak)
{
    const size_t n = s.size();
    size_t name = at + 1;
    if (name < n && s[name] == '/') ++name;
    lineBreak = false;
    if (which == TagsRemoved::All && name == at + 1 && name < n && s[name] == '!' &&
        s.compare(name, 3, "!--") == 0) {
        const size_t close = sjis::Find(s.data(), n, "-->", 3, name + 3);
        if (close == std::string::npos) return false;
        end = close + 3;
        return true;
    }
    if (which == TagsRemoved::All && name == at + 1 && name < n &&
        (s[name] == '!' || s[name] == '?')) {
        const size_t close = FindTagEnd(s, name + 1);
        if (close == std::string::npos) return false;
        end = close + 1;
        return true;
    }
    if (name >= n || !IsAsciiLetter(s[name])) return false;
    size_t nameEnd = name;
    while (nameEnd < n && (IsAsciiAlnum(s[nameEnd]) || s[nameEnd] == ':' || s[nameEnd] == '-'))
        ++nameEnd;
    if (nameEnd < n && !(s[nameEnd] == '>' || s[nameEnd] == '/' || IsWhiteSpace(s[nameEnd])))
        return false;
    if (which == TagsRemoved::Inline && !IsInlineTag(s, name, nameEnd)) return false;
    const size_t close = FindTagEnd(s, nameEnd);
    if (close == std::string::npos) return false;
    lineBreak =
        nameEnd - name == 2 && ascii::Lower(s[name]) == 'b' && ascii::Lower(s[name + 1]) == 'r';
    end = close + 1;
    return true;
}

} // namespace

size_t FindTagEnd(const std::string& s, size_t i)
{
    char quote = 0;
    for (; i < s.size(); i += sjis::CharLength(s.data(), i, s.size())) {
        const char c = s[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i;
        }
    }
    return std::string::npos;
}

std::string RemoveTags(const std::string& text, TagsRemoved which)
{
    std::string out;
    out.reserve(text.size());
    size_t from = 0;
    for (size_t at = from;;) {
        at = sjis::Find(text.data(), text.size(), "<", 1, at);
        if (at == std::string::npos) break;
        size_t end;
        bool lineBreak;
        if (text.compare(at, 9, "<![CDATA[") == 0) {
            const size_t close = sjis::Find(text.data(), text.size(), "]]>", 3, at + 9);
            if (close == std::string::npos) break;
            at = close + 3;
            continue;
        }
        if (!ReadTag(text, at, which, end, lineBreak)) {
            ++at;
            continue;
        }
        out.append(text, from, at - from);
        if (lineBreak) out += ' ';
        from = at = end;
    }
    out.append(text, from, std::string::npos);
    return out;
}

namespace
{

// False when `text` has no white space but single blanks between words.
bool NeedsCollapse(const std::string& s)
{
    if (s.empty()) return false;
    if (IsWhiteSpace(s.front()) || IsWhiteSpace(s.back())) return true;
    // The last byte is no white space, so s[i + 1] exists. White space lies
    // at or below the blank: one comparison passes every other byte.
    for (size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c > ' ') continue;
        if (c == ' ' ? IsWhiteSpace(s[i + 1]) : IsWhiteSpace(s[i])) return true;
    }
    return false;
}

} // namespace

void CollapseWhiteSpace(CString& title)
{
    const std::string& text = title.str();
    if (!NeedsCollapse(text)) return;
    std::string out;
    out.reserve(text.size());
    bool blank = false;
    // White space lies below the trail bytes of Shift_JIS: a byte walk never
    // takes the second byte of a character for it.
    for (char c : text) {
        if (IsWhiteSpace(c)) {
            blank = !out.empty();
            continue;
        }
        if (blank) out += ' ';
        blank = false;
        out += c;
    }
    title = CString(std::move(out));
}

#include "feed/title_markup.h"

#include <utility>
#include <vector>

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

// One character of a tag's inside: true for the '>' that closes it; a '>'
// inside a quoted attribute value does not, and `quote` follows the quotes.
bool ClosesTag(char c, char& quote)
{
    if (quote) {
        if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
        quote = c;
    } else if (c == '>') {
        return true;
    }
    return false;
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

// The searches for the end of tags that RemoveTags makes in one text, from
// positions that only grow. A search that finds no '>' ran to the end of
// the text; it marks each (position, quote) it passed, and a later search
// that reaches a marked pair stops there, since it would take the same steps
// from there on. So a title full of tags that are never closed is walked a
// few times in all, not once for each of them.
class TagEndSearch
{
  public:
    explicit TagEndSearch(const std::string& s) : m_s(s) {}

    // FindTagEnd(s, i).
    size_t TagEnd(size_t i)
    {
        const size_t close = Walk(i, false);
        if (close == std::string::npos) Walk(i, true);
        return close;
    }

    // Position of the first "-->" at or after `from`, or npos. Once none is
    // found from a position, none is behind any later one.
    size_t CommentEnd(size_t from)
    {
        if (from >= m_noCommentEndFrom) return std::string::npos;
        const size_t close = sjis::Find(m_s.data(), m_s.size(), "-->", 3, from);
        if (close == std::string::npos) m_noCommentEndFrom = from;
        return close;
    }

  private:
    static unsigned char Bit(char quote) { return quote == 0 ? 1 : quote == '"' ? 2 : 4; }

    // The walk of FindTagEnd from `i`, stopping at a marked pair; `mark`
    // marks every pair it passes.
    size_t Walk(size_t i, bool mark)
    {
        const size_t n = m_s.size();
        if (mark && m_dead.empty()) m_dead.assign(n, 0);
        char quote = 0;
        for (; i < n; i += sjis::CharLength(m_s.data(), i, n)) {
            if (!m_dead.empty()) {
                if (m_dead[i] & Bit(quote)) return std::string::npos;
                if (mark) m_dead[i] |= Bit(quote);
            }
            if (ClosesTag(m_s[i], quote)) return i;
        }
        return std::string::npos;
    }

    const std::string& m_s;
    std::vector<unsigned char> m_dead; // by position: the quote states known to find no '>'
    size_t m_noCommentEndFrom = std::string::npos;
};

// The tag of `which` that begins with the '<' at `at`: sets `end` behind
// it and `lineBreak` for a <br>. False if none begins there.
bool ReadTag(const std::string& s, size_t at, TagsRemoved which, TagEndSearch& search, size_t& end,
             bool& lineBreak)
{
    const size_t n = s.size();
    size_t name = at + 1;
    if (name < n && s[name] == '/') ++name;
    lineBreak = false;
    if (which == TagsRemoved::All && name == at + 1 && name < n && s[name] == '!' &&
        s.compare(name, 3, "!--") == 0) {
        const size_t close = search.CommentEnd(name + 3);
        if (close == std::string::npos) return false;
        end = close + 3;
        return true;
    }
    if (which == TagsRemoved::All && name == at + 1 && name < n &&
        (s[name] == '!' || s[name] == '?')) {
        const size_t close = search.TagEnd(name + 1);
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
    const size_t close = search.TagEnd(nameEnd);
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
        if (ClosesTag(s[i], quote)) return i;
    }
    return std::string::npos;
}

std::string RemoveTags(const std::string& text, TagsRemoved which)
{
    std::string out;
    out.reserve(text.size());
    TagEndSearch search(text);
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
        if (!ReadTag(text, at, which, search, end, lineBreak)) {
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

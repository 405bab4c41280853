#include "config/opml_read.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "feed/character_data.h"
#include "feed/decode_feed.h"
#include "framework/file.h"
#include "jis1997/jis1997.h"

namespace
{

// Every delimiter the reader looks for is ASCII below 0x40, which no
// Shift_JIS trail byte is: the text can be scanned byte by byte.
bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool StartsAt(const std::string& s, size_t i, const char* prefix)
{
    return s.compare(i, std::strlen(prefix), prefix) == 0;
}

bool SameNameNoCase(const std::string& s, size_t from, size_t to, const char* name)
{
    return to - from == std::strlen(name) &&
           ascii::StartsWithNoCase(s.data() + from, to - from, name);
}

// Position behind `close`, searched from `from`, or the end of the text.
size_t SkipPast(const std::string& s, size_t from, const char* close)
{
    const size_t at = s.find(close, from);
    return at == std::string::npos ? s.size() : at + std::strlen(close);
}

// Position behind the '>' that ends the declaration at `from` ("<!DOCTYPE"
// and the like), stepping over quoted texts and the internal subset in
// brackets, whose entity values may hold markup.
size_t SkipDeclaration(const std::string& s, size_t from)
{
    int depth = 0;
    for (size_t i = from; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"' || c == '\'') {
            const size_t close = s.find(c, i + 1);
            if (close == std::string::npos) return s.size();
            i = close;
        } else if (c == '[') {
            ++depth;
        } else if (c == ']' && depth > 0) {
            --depth;
        } else if (c == '>' && depth == 0) {
            return i + 1;
        }
    }
    return s.size();
}

// Each run of white space made one blank, both ends trimmed. White space
// lies below the trail bytes of Shift_JIS, so a byte walk never takes the
// second byte of a character for it.
std::string FoldWhiteSpace(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    bool blank = false;
    for (char c : text) {
        if (IsSpace(c)) {
            blank = !out.empty();
            continue;
        }
        if (blank) out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

CString AttributeValue(const std::string& s, size_t from, size_t to)
{
    return CString(FoldWhiteSpace(DecodeReferences(s.substr(from, to - from))));
}

// Reads the attributes of the tag whose name ends at `i` into `outline`;
// returns the position behind the tag's '>' (or the end of the text).
size_t ReadAttributes(const std::string& s, size_t i, OpmlOutline& outline)
{
    bool haveText = false, haveTitle = false, haveUrl = false;
    const size_t n = s.size();
    while (i < n) {
        while (i < n && (IsSpace(s[i]) || s[i] == '/'))
            ++i;
        if (i >= n) break;
        if (s[i] == '>') return i + 1;
        const size_t name = i;
        while (i < n && !IsSpace(s[i]) && s[i] != '=' && s[i] != '>' && s[i] != '/')
            ++i;
        const size_t nameEnd = i;
        while (i < n && IsSpace(s[i]))
            ++i;
        if (i >= n || s[i] != '=') continue; // an attribute without a value
        ++i;
        while (i < n && IsSpace(s[i]))
            ++i;
        size_t value = i, valueEnd;
        if (i < n && (s[i] == '"' || s[i] == '\'')) {
            value = i + 1;
            valueEnd = s.find(s[i], value);
            if (valueEnd == std::string::npos) valueEnd = n;
            i = valueEnd < n ? valueEnd + 1 : n;
        } else {
            while (i < n && !IsSpace(s[i]) && s[i] != '>')
                ++i;
            valueEnd = i;
        }
        if (!haveText && SameNameNoCase(s, name, nameEnd, "text")) {
            outline.text = AttributeValue(s, value, valueEnd);
            haveText = true;
        } else if (!haveTitle && SameNameNoCase(s, name, nameEnd, "title")) {
            outline.title = AttributeValue(s, value, valueEnd);
            haveTitle = true;
        } else if (!haveUrl && SameNameNoCase(s, name, nameEnd, "xmlurl")) {
            outline.xmlUrl = AttributeValue(s, value, valueEnd);
            haveUrl = true;
        }
    }
    return n;
}

} // namespace

std::vector<OpmlOutline> ReadOpmlOutlines(const CString& text)
{
    std::vector<OpmlOutline> outlines;
    const std::string& s = text.str();
    const char kTag[] = "outline";
    const size_t tagLength = sizeof kTag - 1;
    size_t i = 0;
    while ((i = s.find('<', i)) != std::string::npos) {
        if (StartsAt(s, i, "<!--")) {
            i = SkipPast(s, i + 4, "-->");
        } else if (StartsAt(s, i, "<![CDATA[")) {
            i = SkipPast(s, i + 9, "]]>");
        } else if (StartsAt(s, i, "<!")) {
            i = SkipDeclaration(s, i + 2);
        } else if (ascii::StartsWithNoCase(s.data() + i + 1, s.size() - i - 1, kTag) &&
                   (i + 1 + tagLength == s.size() || IsSpace(s[i + 1 + tagLength]) ||
                    s[i + 1 + tagLength] == '/' || s[i + 1 + tagLength] == '>')) {
            OpmlOutline outline;
            i = ReadAttributes(s, i + 1 + tagLength, outline);
            if (!outline.xmlUrl.IsEmpty()) outlines.push_back(std::move(outline));
        } else {
            ++i;
        }
    }
    return outlines;
}

OpmlFileStatus ReadOpmlFile(const char* path, std::vector<OpmlOutline>& outlines)
{
    outlines.clear();
    // One byte more than the limit tells a file that is too large; four zero
    // bytes behind the text are what the conversion wants.
    std::string source(kOpmlFileMaxBytes + 1 + 4, '\0');
    unsigned length = 0;
    try {
        CFile file(path, CFile::modeRead | CFile::shareDenyWrite);
        for (unsigned got; length <= kOpmlFileMaxBytes &&
                           (got = file.Read(&source[length], kOpmlFileMaxBytes + 1 - length)) > 0;)
            length += got;
    } catch (const CFileException&) {
        return OpmlFileStatus::unreadable;
    }
    if (length > kOpmlFileMaxBytes) return OpmlFileStatus::tooLarge;
    const uint32_t detection = JisDetectCode(source.data(), length);
    outlines = ReadOpmlOutlines(feed_decode::ConvertDetected(detection, source.data(), length));
    return OpmlFileStatus::read;
}

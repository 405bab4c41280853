// Tag removal as first written: the end of each tag left open is searched to
// the end of the text again. Slow on long titles, but plainly right; the
// tests and the fuzzer compare RemoveTags with it.
#pragma once

#include <string>

#include "feed/title_markup.h"
#include "framework/cstring.h"

namespace reference
{

inline std::string RemoveTags(const std::string& s, TagsRemoved which)
{
    static const std::string kInline = " a abbr b big br cite code del em font i ins kbd mark q s "
                                       "samp small span strike strong sub sup time tt u var wbr ";
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    const size_t n = s.size(), npos = std::string::npos;
    const bool all = which == TagsRemoved::All;
    std::string out;
    size_t from = 0;
    for (size_t at = 0; (at = sjis::Find(s.data(), n, "<", 1, at)) != npos;) {
        if (s.compare(at, 9, "<![CDATA[") == 0) {
            const size_t close = sjis::Find(s.data(), n, "]]>", 3, at + 9);
            if (close == npos) break;
            at = close + 3;
            continue;
        }
        const size_t name = at + 1 + (at + 1 < n && s[at + 1] == '/');
        size_t close = npos, end = 0;
        std::string tag;
        if (all && name == at + 1 && s.compare(name, 3, "!--") == 0) {
            close = sjis::Find(s.data(), n, "-->", 3, name + 3);
            end = close + 3;
        } else if (all && name == at + 1 && name < n && (s[name] == '!' || s[name] == '?')) {
            close = FindTagEnd(s, name + 1);
            end = close + 1;
        } else if (name < n && letter(s[name])) {
            size_t nameEnd = name;
            while (nameEnd < n && (letter(s[nameEnd]) || (s[nameEnd] >= '0' && s[nameEnd] <= '9') ||
                                   s[nameEnd] == ':' || s[nameEnd] == '-'))
                tag += ascii::Lower(s[nameEnd++]);
            const bool ends = nameEnd >= n || std::string(">/ \t\r\n").find(s[nameEnd]) != npos;
            if (ends && (all || kInline.find(" " + tag + " ") != npos)) {
                close = FindTagEnd(s, nameEnd);
                end = close + 1;
            }
        }
        if (close == npos) {
            ++at;
            continue;
        }
        out.append(s, from, at - from);
        if (tag == "br") out += ' ';
        from = at = end;
    }
    return out.append(s, from, npos);
}

} // namespace reference

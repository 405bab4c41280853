// The replace-all steps that NormalizeFeedText and SanitizeFileName each do in
// one pass, and the steps that MakeItemName and MakeItemLink take in one walk,
// written out one step at a time. The tests and the fuzzer compare the
// one-pass rewrites with them.
#pragma once

#include <regex>

#include "feed/character_data.h"
#include "feed/item_text.h"
#include "feed/title_markup.h"
#include "framework/cstring.h"

namespace reference
{

inline void NormalizeFeedText(CString& text)
{
    const char* const steps[][2] = {
        {"<ITEM", "<item"},       {"</ITEM>", "</item>"}, {"<TITLE>", "<title>"},
        {"</TITLE>", "</title>"}, {"<LINK>", "<link>"},   {"</LINK>", "</link>"},
        {"<item ", "<item>"},     {"&amp;", "&"},         {"&#38;", "&"},
        {"&#x26;", "&"},
    };
    for (const auto& step : steps)
        text.Replace(step[0], step[1]);
}

inline void SanitizeFileName(CString& text)
{
    const char* const steps[][2] = {
        {"\r", ""},        {"\n", ""},        {"\\", "\x81\x8F"}, {"/", "\x81\x5E"},
        {":", "\x81\x46"}, {"*", "\x81\x96"}, {"?", "\x81\x48"},  {"\"", "\x81\x68"},
        {"<", "\x81\x83"}, {">", "\x81\x84"}, {"|", "\x81\x62"},
    };
    for (const auto& step : steps)
        text.Replace(step[0], step[1]);
}

// The markup steps, white space made blanks, MakeItemFileTitle, each run of
// blanks made one. (A title without markup passes the markup steps as it is.)
inline bool MakeItemName(CString& title, TitleMarkup markup)
{
    std::string text = title.str();
    if (markup == TitleMarkup::AtomXhtml) text = ::RemoveTags(text, TagsRemoved::All);
    const bool rss = markup == TitleMarkup::Rss;
    text = DecodeCharacterData(text, rss ? CdataContent::Decoded : CdataContent::Literal);
    if (rss) text = ::RemoveTags(text, TagsRemoved::Inline);
    if (markup == TitleMarkup::AtomHtml)
        text = DecodeReferences(::RemoveTags(text, TagsRemoved::All));
    for (char& c : text)
        c = c == '\t' || c == '\r' || c == '\n' ? ' ' : c;
    title = CString(text);
    if (!MakeItemFileTitle(title)) return false;
    while (title.Replace("  ", " ") > 0) {
    }
    return true;
}

inline bool MakeItemLink(CString& link)
{
    link = CString(DecodeCharacterData(link.str()));
    return MakeSafeLink(link);
}

// RemoveTags as first written: each tag's end is searched from its '<', to the end of the text
// when it is left open. Slow on long titles, but plainly right.
inline std::string RemoveTags(const std::string& s, TagsRemoved which)
{
    // The start of a tag of `which`; group 1 matches where it is a <br>.
    static const std::regex kAll("<[!?]|</?(?:([Bb][Rr])|[A-Za-z][A-Za-z0-9:-]*)[>/ \t\r\n]");
    static const std::regex kInline(
        "</?(?:(br)|a|abbr|b|big|cite|code|del|em|font|i|ins|kbd|mark|q|s|samp|small|span|strike|"
        "strong|sub|sup|time|tt|u|var|wbr)[>/ \t\r\n]",
        std::regex::icase);
    const char* const p = s.data();
    const size_t n = s.size(), npos = std::string::npos;
    std::string out;
    size_t from = 0;
    std::smatch m;
    for (size_t at = 0; (at = sjis::Find(p, n, "<", 1, at)) != npos; ++at) {
        const bool comment = s.compare(at, 4, "<!--") == 0;
        size_t close = npos;
        if (s.compare(at, 9, "<![CDATA[") == 0) {
            if ((at = sjis::Find(p, n, "]]>", 3, at + 9)) == npos) break;
        } else if (std::regex_search(s.begin() + at, s.end(), m,
                                     which == TagsRemoved::All ? kAll : kInline,
                                     std::regex_constants::match_continuous)) {
            close = comment ? sjis::Find(p, n, "-->", 3, at + 4) : FindTagEnd(s, at + 1);
        }
        if (close == npos) continue;
        out.append(s, from, at - from) += m[1].matched ? " " : "";
        from = close + (comment ? 3 : 1);
        at = from - 1;
    }
    return out.append(s, from, npos);
}

} // namespace reference

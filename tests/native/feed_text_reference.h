// The replace-all steps that NormalizeFeedText and SanitizeFileName each do in
// one pass, and the steps that MakeItemName and MakeItemLink take in one walk,
// written out one step at a time. The tests and the fuzzer compare the
// one-pass rewrites with them.
#pragma once

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

} // namespace reference

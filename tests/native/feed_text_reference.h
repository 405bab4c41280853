// The replace-all steps that NormalizeFeedText and SanitizeFileName each do in
// one pass, written out one step at a time. The tests and the fuzzer compare
// the one-pass rewrites with them.
#pragma once

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

} // namespace reference

#include <algorithm>
#include <string>

#include "feed/character_data.h"
#include "feed/item_text.h"
#include "feed/title_markup.h"

namespace reference
{

inline bool HasMarkup(const std::string& s)
{
    const size_t amp = s.find('&');
    return s.find('<') != std::string::npos ||
           (amp != std::string::npos && s.find(';', amp) != std::string::npos);
}

// MakeItemName one step a pass: markup, white space made blanks,
// MakeItemFileTitle's own steps, then each run of blanks made one.
inline bool MakeItemName(CString& title, TitleMarkup markup)
{
    std::string text = title.str();
    if (HasMarkup(text)) {
        if (markup == TitleMarkup::AtomXhtml) text = ::RemoveTags(text, TagsRemoved::All);
        text = DecodeCharacterData(text, markup == TitleMarkup::Rss ? CdataContent::Decoded
                                                                    : CdataContent::Literal);
        if (markup == TitleMarkup::Rss) text = ::RemoveTags(text, TagsRemoved::Inline);
        if (markup == TitleMarkup::AtomHtml)
            text = DecodeReferences(::RemoveTags(text, TagsRemoved::All));
    }
    for (const char c : {'\t', '\r', '\n'})
        std::replace(text.begin(), text.end(), c, ' ');
    title = CString(text);
    if (!MakeItemFileTitle(title)) return false;
    while (title.Replace("  ", " ") > 0) {
    }
    return true;
}

inline bool MakeItemLink(CString& link)
{
    if (HasMarkup(link.str())) link = CString(DecodeCharacterData(link.str()));
    return MakeSafeLink(link);
}

} // namespace reference

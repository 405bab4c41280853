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

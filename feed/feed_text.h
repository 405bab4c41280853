// The two text rewrites applied to feed text: the tag and entity
// normalisation done once on the whole decoded feed, and the rewrite that
// makes a title (or a site's display name) usable as a file or folder name.
//
// Both are fixed sequences of replace-all steps, each a CString::Replace over
// the whole string, so they go by Shift_JIS characters: the trail byte 0x5C of
// katakana SO (0x83 0x5C) or 0x7C of PO (0x83 0x7C) is never replaced.
// Platform-free.
#pragma once

#include <array>

#include "framework/cstring.h"

// Lower-cases the item, title and link tags the scan looks for, turns the
// opening item tag with attributes ("<item attr=...>") into "<item>attr=...>"
// and resolves the three spellings of the ampersand. Each step runs once, so a
// doubly escaped "&amp;amp;" comes out as "&amp;".
void NormalizeFeedText(CString& text);

// Removes CR and LF and replaces each character that Windows forbids in file
// names (\ / : * ? " < > |) by its full-width Shift_JIS form. Nothing else is
// touched: blanks, dots and other control characters stay.
void SanitizeFileName(CString& text);

// What SanitizeFileName writes for each one-byte character, by its byte: ""
// for CR and LF, the two bytes of its full-width form for \ / : * ? " < > |,
// null for every other byte, which stays.
extern const std::array<const char*, 256> kFileNameReplacements;

inline const char* FileNameReplacement(unsigned char c)
{
    return kFileNameReplacements[c];
}

// What an item's title and link become: the name of its shortcut and the
// link it opens. A title goes through these steps, in order:
//   1. CDATA sections unwrapped and character references decoded once
//      outside them (DecodeCharacterData);
//   2. markup by the kind of title (see TitleMarkup);
//   3. MakeItemFileTitle, where each run of white space (blanks, tabs, CRs,
//      LFs) becomes one blank once its step 1 has removed what it removes,
//      so that no removed character leaves two blanks side by side.
// A link gets step 1 and then MakeSafeLink. A title or link that holds no
// '<', and no '&' with a ';' behind it, can hold no markup: it skips steps 1
// and 2 and is not copied. Every step is linear in the length of the text.
// Platform-free apart from the character-code library.
#pragma once

#include "framework/cstring.h"

// How a title's text carries markup.
enum class TitleMarkup {
    // RSS, where feeds mix text and escaped HTML: references are decoded
    // inside CDATA sections too, as readers read HTML there; then the inline
    // HTML tags are removed (RemoveTags with TagsRemoved::Inline), any other
    // '<' is text.
    Rss,
    // Atom type="text" or no type: nothing more is removed.
    AtomText,
    // Atom type="html": once decoded, the text is HTML; its tags are removed
    // and its references decoded once more.
    AtomHtml,
    // Atom type="xhtml": the tags, the wrapping <div> included, are removed
    // before the references are decoded once.
    AtomXhtml,
};

// Turns a title as found between its tags into the file name of its
// shortcut by the steps above. Returns false if no name is left.
bool MakeItemName(CString& title, TitleMarkup markup);

// Decodes a link as found (step 1) and checks it with MakeSafeLink; returns
// what that returns.
bool MakeItemLink(CString& link);

// Makes an item's link fit to be the target of an Internet shortcut.
// Leading and trailing blanks, tabs, CRs and LFs are dropped; a link then
// wrapped in "<![CDATA[" ... "]]>" is replaced by what stands between them,
// trimmed the same way. The link is accepted only if it then
//   - starts with "http://" or "https://" (scheme in any case),
//   - has a host part: at least one character after the "//", and that
//     character is not '/', '\\', '?' or '#',
//   - holds no control character (bytes below 0x20, and 0x7F) anywhere.
// Returns false for any other link (file:, UNC paths, javascript:, relative
// links, ...); the link is then left trimmed but must not be used.
bool MakeSafeLink(CString& link);

// Turns an item's title into the file name of its shortcut (without ".url").
//   1. Every control byte (below 0x20, and 0x7F) is removed, and so is every
//      Shift_JIS lead byte that is not followed by a valid trail byte
//      (0x40-0x7E, 0x80-0xFC), e.g. a lone lead byte at the end; otherwise
//      the lead byte would swallow the next character, such as the dot of
//      ".url" or a '/' the sanitising steps must see.
//   2. Leading and trailing blanks are dropped (tabs, CRs and LFs are gone
//      with step 1).
//   3. SanitizeFileName.
//   4. A title that is now empty or made only of dots and blanks is refused:
//      Windows strips trailing dots and blanks, so such a name could stand for
//      the folder itself or its parent.
//   5. If the title names a reserved device (see IsReservedDeviceName), a "_"
//      is put right behind the device name: "CON" -> "CON_",
//      "con.txt" -> "con_.txt", "LPT1 .x" -> "LPT1_ .x".
// Returns false if the title is refused; no shortcut may be made from it.
bool MakeItemFileTitle(CString& title);

// True if Windows takes a file of this name for a device: the part before the
// first dot, with trailing blanks and dots removed, is CON, PRN, AUX, NUL,
// COM1-COM9 or LPT1-LPT9 in any case.
bool IsReservedDeviceName(const CString& name);

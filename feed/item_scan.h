// The item scan: walks normalised feed text from item to item and hands each
// item's title (already made into a safe file name) and link to a sink.
//
// It is a plain search for fixed tags by Shift_JIS characters ("<item>",
// "<title>", "<link>" and their end tags in RSS; <entry>, <title> and the
// link's href attribute in Atom), not an XML parse. Platform-free; the caller decides what becomes
// of each item.
#pragma once

#include <functional>

#include "framework/cstring.h"

using ItemSink = std::function<void(const CString& fileTitle, const CString& link)>;

// Scans text that has been through NormalizeFeedText and calls `emit` once per
// item that has a usable title and link, in feed order. Repeated titles are
// all emitted.
//
// A text whose root element is "feed" or "P:feed" for any prefix P (the
// first element behind white space, the XML declaration, processing
// instructions, comments and a DOCTYPE) is read as Atom (1.0 or 0.3), its
// elements named with that same prefix: each <entry> or <entry ...> up to
// the next </entry> is an item (neither tag counts inside a comment); its
// title is the text between the first <title> or <title ...> and the next
// </title>, its link the href (in single or double quotes) of the first
// <link ...> that has an href and whose rel is absent or "alternate". Title
// and link tags inside comments, CDATA sections and the entry's <source>,
// <content> and <summary> elements do not count. An entry without a usable
// title or link is skipped; the scan goes on.
//
// Any other text is read as RSS. The scan stops at the first empty item (or
// a "</item>" standing before the next "<item>"), at the first empty title
// and at the first empty link, as written between the tags. An item without
// title or link tags, with a link that MakeSafeLink refuses or a title that
// MakeItemFileTitle refuses is skipped and the scan goes on.
void ScanFeedItems(const CString& normalizedText, const ItemSink& emit);

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

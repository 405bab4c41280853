// The item scan: walks normalised feed text from item to item and hands each
// item's title (already made into a safe file name) and link to a sink.
//
// It is a plain search for the fixed tags "<item>", "</item>", "<title>",
// "</title>", "<link>" and "</link>" by Shift_JIS characters, not an XML
// parse. Platform-free; the caller decides what becomes of each item.
#pragma once

#include <functional>

#include "framework/cstring.h"

using ItemSink = std::function<void(const CString& fileTitle, const CString& link)>;

// Scans text that has been through NormalizeFeedText and calls `emit` once per
// item that has a usable title and link, in feed order. Repeated titles are
// all emitted.
//
// The scan stops at the first empty item (or a "</item>" standing before the
// next "<item>"), at the first empty title and at the first empty link, as
// written between the tags. An item without title or link tags, with a link
// that MakeSafeLink refuses or a title that MakeItemFileTitle refuses is
// skipped and the scan goes on.
void ScanFeedItems(const CString& normalizedText, const ItemSink& emit);

// Makes an item's link fit to be the target of an Internet shortcut.
// Leading and trailing blanks, tabs, CRs and LFs are dropped. The link is
// accepted only if it then
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

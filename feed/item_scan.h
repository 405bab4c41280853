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
// The title and link rules the scan applies, for the users of the scan.
#include "feed/item_text.h"

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
// Any other text is read as RSS: each "<item>" up to the next "</item>" is an
// item, its title and link the text between the first "<title>" and
// "</title>", "<link>" and "</link>" of the body. An empty item and a
// "</item>" standing before the next "<item>" are skipped, and so is an
// item without title or link tags, or whose link MakeItemLink or title
// MakeItemName refuses (an empty one among them); the scan goes on.
//
// Atom titles are read by their type attribute, RSS titles as TitleMarkup::Rss.
void ScanFeedItems(const CString& normalizedText, const ItemSink& emit);

// The two item scans behind ScanFeedItems, one per kind of feed. Platform-free.
#pragma once

#include <string>

#include "feed/item_scan.h"

// True if the text's root element is "feed" or "P:feed" for a prefix P: the
// first element behind any white space, XML declaration, processing
// instructions, comments and DOCTYPE. `prefix` is set to "" or "P:".
bool IsAtomFeed(const std::string& text, std::string& prefix);

// Each <entry> ... </entry> of an Atom feed in order (outside comments), its
// elements named with `prefix`.
void ScanAtomEntries(const std::string& text, const std::string& prefix, const ItemSink& emit);

// Each <item> ... </item> of any other feed in order.
void ScanRssItems(const CString& text, const ItemSink& emit);

// The shortcuts a downloaded feed calls for. Platform-free.
#pragma once

#include <vector>

#include "framework/cstring.h"

// One feed item as a shortcut: its file title (without ".url") and its link.
struct ItemShortcut {
    CString title;
    CString link;
};

// Decodes the feed file at `path` (DecodeFeedFile), normalises it and scans
// it: the items ScanFeedItems emits, in feed order, repeated titles
// included. Throws CFileException when the file cannot be opened or read.
std::vector<ItemShortcut> ReadFeedItems(const char* path);

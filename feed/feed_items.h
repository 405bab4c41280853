// The shortcuts a downloaded feed calls for, and a digest of that list.
//
// A feed that comes without a usable date is compared by what it would write:
// the ordered list of (file title, link) pairs. Only a 64-bit digest of the
// list is kept between visits. Platform-free.
#pragma once

#include <cstdint>
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

// 64-bit FNV-1a over the list, each title and link preceded by its length in
// eight bytes, so that moving bytes from one field into the next (or from
// one item into the next) gives a different input. Equal lists give equal
// digests; the empty list has a digest of its own.
uint64_t DigestItems(const std::vector<ItemShortcut>& items);

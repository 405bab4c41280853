// Writes the shortcuts of one site into its folder.
#pragma once

#include <vector>

#include "feed/feed_items.h"

// Makes sure the folder of site `siteName` exists and mirrors the items into
// it, one Internet shortcut per item (MirrorSiteFolder): afterwards the
// folder's shortcuts are exactly the items', a later item of the same file
// name winning. An empty list deletes the folder's shortcuts. Returns false,
// having written nothing, when the folder neither existed nor could be
// created, and false as well when the folder did not take the items whole
// (MirrorSiteFolder).
bool WriteSiteItems(const char* siteName, const std::vector<ItemShortcut>& items);

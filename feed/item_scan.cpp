#include "feed/item_scan.h"

#include "feed/feed_scans.h"

void ScanFeedItems(const CString& text, const ItemSink& emit)
{
    std::string prefix;
    if (IsAtomFeed(text.str(), prefix))
        ScanAtomEntries(text.str(), prefix, emit);
    else
        ScanRssItems(text, emit);
}

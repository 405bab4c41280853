#include "feed/feed_items.h"

#include "feed/decode_feed.h"
#include "feed/feed_text.h"
#include "feed/item_scan.h"

std::vector<ItemShortcut> ReadFeedItems(const char* path)
{
    CString text;
    DecodeFeedFile(path, text);
    NormalizeFeedText(text);
    std::vector<ItemShortcut> items;
    ScanFeedItems(text, [&items](const CString& title, const CString& link) {
        items.push_back({title, link});
    });
    return items;
}

#include "feed/update_site_items.h"

#include "feed/decode_feed.h"
#include "feed/favorites.h"
#include "feed/feed_text.h"
#include "feed/item_scan.h"
#include "framework/file.h"

bool UpdateSiteItems(const char* siteName, const char* downloadPath)
{
    const CString name = siteName;
    if (!SiteFolderExists(name) && !CreateSiteFolder(name)) return true;

    CString text;
    try {
        DecodeFeedFile(downloadPath, text);
    } catch (const CFileException&) {
        // The feed file vanished or cannot be read: the folder is emptied
        // and the poll cycle goes on.
        ClearSiteFolder(name);
        return false;
    }
    NormalizeFeedText(text);
    std::vector<ItemShortcut> items;
    ScanFeedItems(text, [&items](const CString& title, const CString& link) {
        items.push_back({title, link});
    });
    MirrorSiteFolder(name, items);
    return true;
}
